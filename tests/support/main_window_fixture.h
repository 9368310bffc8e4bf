// A main window on the offscreen platform, with scripted dialogs and a
// pinned current year, and the few gestures the widget tests repeat.
#pragma once

#include "support/scripted_dialogs.h"
#include "ui/controls.h"
#include "ui/loss_eng.h"

#include <QStringList>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

#include <memory>

namespace quarven::test {

inline constexpr int kCommonYear = 2026;
inline constexpr int kLeapYear = 2024;

class MainWindowFixture {
public:
    // Shows a new main window and waits until it is on screen.
    LossEng& open(int year = kCommonYear);
    void close()
    {
        m_window.reset();
        dialogs.reset();
    }

    ScriptedDialogs dialogs;
    [[nodiscard]] LossEng& window() { return *m_window; }

private:
    std::unique_ptr<LossEng> m_window;
};

// Script steps as text: "!cancel" cancels a prompt, "!ok" acknowledges a
// message, "!yes" and "!no" answer a question, "!file:PATH" a file dialog
// (an empty path cancels it), "!pick:N" a choice; anything else answers a
// prompt with that text.
void script(ScriptedDialogs& dialogs, const QStringList& steps);

// The main window's controls as a user's tools find them: by objectName.
struct MainWindowControls {
    explicit MainWindowControls(const QWidget& window);

    // Spel1 to Spel7 by their number.
    [[nodiscard]] QRadioButton* Spel(int number) const;

    QLabel* Label1;
    ListBox* sNuch;
    ListBox* sTx;
    ListBox* sX;
    ClickLabel* AllsX;
    ClickLabel* Alluch;
    ClickLabel* Picture2;
    QGroupBox* Frame1;
    QLineEdit* sQ;
    QLineEdit* sNx;
    QPushButton* Command1;
    QLineEdit* sPotEvro;
    QLineEdit* sWEvro;

private:
    const QWidget& m_window;
};

// A control of a window, found by its objectName.
template <typename Control> [[nodiscard]] Control* control(const QWidget& window, const char* name)
{
    return window.findChild<Control*>(QString::fromLatin1(name));
}

[[nodiscard]] QStringList items(const QListWidget* list);
// Replaces the texts of the rows through the list's own API.
void setItems(QListWidget* list, const QStringList& texts);
// Key sequences such as "Home", "Shift+End" or "Del", pressed in order.
void pressKeys(QWidget* widget, const QStringList& keys);
// A user's click on a row, as the mouse delivers it.
void clickRow(ListBox* list, int row);

} // namespace quarven::test
