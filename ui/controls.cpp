#include "controls.h"

#include "entry/dialogs.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace quarven {

int ListBox::selectedRow() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return -1;
    return current.row();
}

void ListBox::mousePressEvent(QMouseEvent* event)
{
    m_pressedOnRow =
        event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    QListWidget::mousePressEvent(event);
}

void ListBox::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    const bool click = m_pressedOnRow && event->button() == Qt::LeftButton;
    m_pressedOnRow = false;
    if (click && selectedRow() >= 0)
        emit clicked();
}

void ListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = selectedRow();
    // Keypad arrows (NumLock off) are arrows too.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    // Taking the focus made a row current without selecting it; the first
    // arrow selects that row rather than moving past it.
    if (before < 0 && arrow && count() > 0 && modifiers == Qt::NoModifier) {
        setCurrentRow(std::max(currentRow(), 0));
        emit clicked();
        return;
    }
    // The keyboard's way to do what a click on the selected row does.
    const bool edit = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                      event->key() == Qt::Key_Space || event->key() == Qt::Key_F2;
    if (edit && before >= 0 && modifiers == Qt::NoModifier) {
        emit clicked();
        return;
    }
    QListWidget::keyPressEvent(event);
    const int after = selectedRow();
    if (after >= 0 && after != before)
        emit clicked();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

// Only a label that takes the focus gets keys: the picture.
void ClickLabel::keyPressEvent(QKeyEvent* event)
{
    if (isActivationKey(*event)) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

// Outside a dialog no button is a default one, so Enter would do nothing.
void CommandButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

bool OptionButton::hitButton(const QPoint& position) const
{
    return rect().contains(position);
}

DigitsOnlyFilter::DigitsOnlyFilter(Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_dialogs(dialogs)
{
}

void DigitsOnlyFilter::guard(QWidget* box)
{
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    // Text may come in by keys only: no menu of the box's own (nor the
    // window's), no drops.
    box->setContextMenuPolicy(Qt::PreventContextMenu);
    box->setAcceptDrops(false);
    box->installEventFilter(this);
}

DigitsOnlyFilter::Verdict DigitsOnlyFilter::judge(const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Verdict::Refuse;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    // Moving the caret or the selection changes no text.
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return Verdict::Pass;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    // Every chord is a typed code other than a digit: Ctrl+Z would undo the
    // count and rebuild the table, Alt+F would type an "f" on some desktops.
    const Qt::KeyboardModifiers chord = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (modifiers & chord)
        return Verdict::Refuse;
    if (key.key() == Qt::Key_Delete || key.key() == Qt::Key_Insert)
        return modifiers & Qt::ShiftModifier ? Verdict::Refuse : Verdict::Pass;
    const QString text = key.text();
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return Verdict::Refuse;
    }
    return Verdict::Pass;
}

bool DigitsOnlyFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claim every refused key, so that no shortcut of the window takes it
        // and the key press comes here to be refused.
        if (judge(*static_cast<QKeyEvent*>(event)) == Verdict::Refuse) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::KeyPress:
        if (judge(*static_cast<QKeyEvent*>(event)) == Verdict::Refuse) {
            m_dialogs.beep();
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // The middle button pastes the X11 selection.
        return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        event->ignore();
        return true;
    case QEvent::ContextMenu:
        // Taken here, so that it does not travel on to the window's menu.
        event->accept();
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool isActivationKey(const QKeyEvent& event)
{
    const bool plain = (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    return plain && (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter ||
                     event.key() == Qt::Key_Space);
}

} // namespace quarven
