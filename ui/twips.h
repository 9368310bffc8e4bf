// Positions and sizes are laid out in twips, 1/1440 inch, and turned into
// pixels with the screen's logical DPI (15 twips a pixel at 96 DPI).
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace quarven {

[[nodiscard]] int twipsToPixelsX(int twips);
[[nodiscard]] int twipsToPixelsY(int twips);
[[nodiscard]] QRect twipsRect(int left, int top, int width, int height);

// A new control with its name, at its place in its container, in twips.
template <typename Widget>
Widget* place(QWidget* container, const char* name, int left, int top, int width, int height)
{
    auto* widget = new Widget(container);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

} // namespace quarven
