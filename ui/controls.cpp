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
    // Taking the focus made a row current without selecting it; the first
    // arrow selects that row rather than moving past it.
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (before < 0 && arrow && count() > 0 && event->modifiers() == Qt::NoModifier) {
        setCurrentRow(std::max(currentRow(), 0));
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
    box->installEventFilter(this);
}

bool DigitsOnlyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_dialogs.beep();
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    default:
        break;
    }
    const Qt::KeyboardModifiers shortcut = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = key->text();
    if ((key->modifiers() & shortcut) || text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            m_dialogs.beep();
            return true;
        }
    }
    return false;
}

} // namespace quarven
