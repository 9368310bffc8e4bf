// Small widgets that give Qt controls the events the main window answers:
// a list whose Click comes only from the user, a label that can be clicked,
// and the digits-only key filter of the two number boxes.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace quarven {

class Dialogs;

// Raises clicked() when the user selects a row with the mouse (also the row
// already selected) or moves the selection with the keys, never when the
// program fills or clears the list or when the list takes the focus. It is
// raised after the list has handled the mouse release, so a modal prompt
// opened from it leaves no drag selection running behind it.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

    // The row the user selected, -1 when none is.
    [[nodiscard]] int selectedRow() const;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_pressedOnRow = false;
};

// A label or picture that answers a mouse click, and Enter or Space when it
// has the focus.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A push button that Enter clicks when it has the focus, as Space does.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// An option button that answers a click anywhere in its box, not only on its
// circle and caption.
class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& position) const override;
};

// Lets only typed digits into a text box: every other typed character and
// every chord (Ctrl, Alt or Meta with a key; Shift+Insert, Shift+Delete),
// Backspace and Enter included, is dropped with a beep. Keys that type
// nothing (Delete, arrows, Home, End, Tab) still work. The box's own menu,
// middle-click paste and drops are shut off, so typed digits are the only
// way in. Decides by key() first, since key texts differ between X11 and
// synthesised events (Delete is "\x7f" from X11 but empty from QTest).
class DigitsOnlyFilter : public QObject {
public:
    DigitsOnlyFilter(Dialogs& dialogs, QObject* parent);

    // Also turns input methods off: their committed text bypasses key events.
    void guard(QWidget* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Verdict { Pass, Refuse };
    [[nodiscard]] static Verdict judge(const QKeyEvent& key);

    Dialogs& m_dialogs;
};

// Enter, Return or Space with no modifier but the keypad's.
[[nodiscard]] bool isActivationKey(const QKeyEvent& event);

} // namespace quarven
