// The About window: the application's title and version, where it comes
// from, a disclaimer and the emblem. It has no owner and is not modal; it is
// created on first use and destroyed when closed.
#pragma once

#include <QDialog>

namespace quarven {

class AboutLossesE : public QDialog {
    Q_OBJECT
public:
    AboutLossesE();

    // Centres the window horizontally, keeps its top, and shows it.
    void openCentred();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void Load();
};

} // namespace quarven
