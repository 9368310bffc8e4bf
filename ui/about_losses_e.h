// The About window: the application's title and version, where it comes
// from, a disclaimer and the emblem. It has no owner and is not modal; it is
// created on first use and destroyed when closed.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quarven {

class AboutLossesE : public QDialog {
    Q_OBJECT
public:
    AboutLossesE();

    // Centres the window horizontally, keeps its top, and shows it.
    void openCentred();

    QPushButton* cmdOK = nullptr;
    QLabel* picIcon = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Load();
};

} // namespace quarven
