#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtMath>

namespace quarven {
namespace {

constexpr double kTwipsPerInch = 1440.0;

double dpi(bool horizontal)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    return horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
}

} // namespace

int twipsToPixelsX(int twips)
{
    return qRound(twips * dpi(true) / kTwipsPerInch);
}

int twipsToPixelsY(int twips)
{
    return qRound(twips * dpi(false) / kTwipsPerInch);
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
                 twipsToPixelsY(height));
}

} // namespace quarven
