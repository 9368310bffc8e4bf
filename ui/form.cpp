#include "form.h"

#include "ui/controls.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace quarven::form {
namespace {

QWidget* create(Kind kind, QWidget* container)
{
    switch (kind) {
    case Kind::Label:
        return new QLabel(container);
    case Kind::ClickLabel:
        return new ClickLabel(container);
    case Kind::Picture:
        return new QLabel(container);
    case Kind::ClickPicture:
        return new ClickLabel(container);
    case Kind::ListBox:
        return new ListBox(container);
    case Kind::TextBox:
        return new QLineEdit(container);
    case Kind::Frame:
        return new QGroupBox(container);
    case Kind::Option:
        return new OptionButton(container);
    case Kind::Button:
        return new QPushButton(container);
    case Kind::CommandButton:
        return new CommandButton(container);
    }
    return nullptr;
}

std::optional<QColor> colourOf(const Colour& colour)
{
    switch (colour.from) {
    case Colour::From::System:
        return std::nullopt;
    case Colour::From::Rgb:
        return QColor::fromRgb(colour.rgb);
    case Colour::From::Role:
        return systemColour(colour.role);
    case Colour::From::ScrollBar:
        return systemScrollBarColour();
    }
    return std::nullopt;
}

void setCaption(QWidget* widget, Kind kind, const QString& text, bool centred)
{
    switch (kind) {
    case Kind::Label:
    case Kind::ClickLabel:
        caption(static_cast<QLabel*>(widget), text, centred ? Qt::AlignHCenter : Qt::AlignLeft);
        break;
    case Kind::TextBox:
        static_cast<QLineEdit*>(widget)->setText(text);
        break;
    case Kind::Frame:
        static_cast<QGroupBox*>(widget)->setTitle(text);
        break;
    case Kind::Option:
    case Kind::Button:
    case Kind::CommandButton:
        static_cast<QAbstractButton*>(widget)->setText(text);
        break;
    case Kind::Picture:
    case Kind::ClickPicture:
    case Kind::ListBox:
        break;
    }
}

void setUpPicture(QLabel* picture)
{
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(1);
    picture->setPixmap(emblemPicture());
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setFocusPolicy(Qt::StrongFocus);
}

void apply(QWidget* widget, const Control& row)
{
    const bool centred = (row.style & kCentred) != 0;
    if (row.caption)
        setCaption(widget, row.kind, QString::fromLatin1(row.caption), centred);
    if (row.tooltip)
        widget->setToolTip(QString::fromLatin1(row.tooltip));
    if (row.font)
        widget->setFont(controlFont(*row.font));
    if (const std::optional<QColor> background = colourOf(row.background))
        paintBackground(widget, *background);
    if (const std::optional<QColor> text = colourOf(row.text))
        setTextColour(widget, *text);
    if (row.accessibleName)
        widget->setAccessibleName(QString::fromLatin1(row.accessibleName));

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (row.style & kBordered)
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
        if (row.kind == Kind::Picture || row.kind == Kind::ClickPicture)
            setUpPicture(label);
    }
    if (auto* box = qobject_cast<QLineEdit*>(widget)) {
        if (centred)
            box->setAlignment(Qt::AlignCenter);
        box->setReadOnly((row.style & kReadOnly) != 0);
    }
}

} // namespace

void buildForm(QWidget& window, const Control* controls, std::size_t count)
{
    QWidget* previousInTabOrder = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const Control& row = controls[i];
        QWidget* container = row.container ? control<QWidget>(window, row.container) : &window;
        QWidget* widget = create(row.kind, container);
        widget->setObjectName(QString::fromLatin1(row.name));
        widget->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        apply(widget, row);
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previousInTabOrder)
                QWidget::setTabOrder(previousInTabOrder, widget);
            previousInTabOrder = widget;
        }
    }
}

} // namespace quarven::form
