// Positions and sizes are laid out in twips, 1/1440 inch, and turned into
// pixels with the screen's logical DPI (15 twips a pixel at 96 DPI).
#pragma once

#include <QRect>

namespace quarven {

[[nodiscard]] int twipsToPixelsX(int twips);
[[nodiscard]] int twipsToPixelsY(int twips);
[[nodiscard]] QRect twipsRect(int left, int top, int width, int height);

} // namespace quarven
