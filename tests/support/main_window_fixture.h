// A main window on the offscreen platform, with scripted dialogs and a
// pinned current year, and the few gestures the widget tests repeat.
#pragma once

#include "support/scripted_dialogs.h"
#include "ui/controls.h"
#include "ui/loss_eng.h"

#include <QStringList>

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
// message, anything else answers a prompt with that text.
void script(ScriptedDialogs& dialogs, const QStringList& steps);

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
