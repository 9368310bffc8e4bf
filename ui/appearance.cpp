#include "appearance.h"

#include "ui/twips.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleFactory>

#include <cstddef>
#include <memory>

namespace quarven {
namespace {

const char* const kFamily = "MS Sans Serif";

const QPalette& windowPalette()
{
    static const QPalette palette = [] {
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QPalette fixed = fusion->standardPalette();
        // Every role set, even to its own value, so that none is taken over
        // from the application's palette.
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto colourGroup = QPalette::ColorGroup(group);
                const auto colourRole = QPalette::ColorRole(role);
                if (colourRole != QPalette::NoRole)
                    fixed.setBrush(colourGroup, colourRole, fixed.brush(colourGroup, colourRole));
            }
        }
        return fixed;
    }();
    return palette;
}

// A picture loaded without its format has Qt load every image plugin (Qt SVG
// among them) to guess it, which was about 4 % of the start's instructions.
QImage pngImage(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// Fusion draws the period frame from a PNG that it loads by name alone. Read
// here as a PNG and put where the style's load looks first, in the pixmap
// cache under the key that load makes of the file, it is found there. Should
// the key ever differ, the style loads the picture itself, as before.
void primeFusionFrame()
{
    const QString path =
        QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
    const QImage image = pngImage(path);
    if (image.isNull())
        return;
    const QFileInfo info(path);
    // Each byte of the value in memory order, its low half first.
    const auto hex = [](auto value) {
        QString text;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        for (std::size_t at = 0; at < sizeof(value); ++at) {
            text += QLatin1Char("0123456789abcdef"[bytes[at] & 0xf]);
            text += QLatin1Char("0123456789abcdef"[bytes[at] >> 4]);
        }
        return text;
    };
    const QString key = QStringLiteral("qt_pixmap") + info.absoluteFilePath() +
                        hex(uint(info.lastModified().toSecsSinceEpoch())) +
                        hex(quint64(info.size())) + hex(uint(0));
    QPixmapCache::insert(key, QPixmap::fromImage(image));
}

} // namespace

void setUpApplicationAppearance()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    primeFusionFrame();
    QApplication::setPalette(QApplication::style()->standardPalette());
    QFont::insertSubstitutions(QString::fromLatin1(kFamily),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    // Tooltips, prompts and messages share the windows' font, as the
    // platform's own dialogs of that family did; no other face is loaded.
    QApplication::setFont(windowFont());
}

QFont windowFont()
{
    QFont font(QString::fromLatin1(kFamily));
    font.setPointSizeF(8.0);
    return font;
}

QFont controlFont(FontVariant variant)
{
    QFont font(QString::fromLatin1(kFamily));
    switch (variant) {
    case FontVariant::TitleBold:
        font.setPointSizeF(12.0);
        font.setBold(true);
        break;
    case FontVariant::BoxRegular:
        font.setPointSizeF(12.0);
        break;
    case FontVariant::ResultRegular:
        font.setPointSizeF(9.6);
        break;
    case FontVariant::HeaderBold:
        font.setPointSizeF(7.8);
        font.setBold(true);
        break;
    }
    return font;
}

void useWindowPalette(QWidget* window)
{
    window->setPalette(windowPalette());
}

QColor systemColour(QPalette::ColorRole role)
{
    return windowPalette().color(role);
}

QColor systemScrollBarColour()
{
    return windowPalette().color(QPalette::Midlight);
}

void paintBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QIcon applicationIcon()
{
    return QIcon(QPixmap::fromImage(pngImage(QStringLiteral(":/quarven/quarven.png"))));
}

QPixmap emblemPicture()
{
    return QPixmap::fromImage(pngImage(QStringLiteral(":/quarven/emblem.png")));
}

QLabel* caption(QLabel* label, const QString& text, Qt::Alignment horizontal)
{
    label->setText(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

void trimToWholeRows(QListWidget* list)
{
    const int row = list->sizeHintForRow(0);
    if (row <= 0)
        return;
    const int frame = 2 * list->frameWidth();
    const int rows = (list->height() - frame) / row;
    list->resize(list->width(), frame + rows * row);
}

void drawLine(QPainter& painter, QPoint fromTwips, QPoint toTwips, const QColor& colour, int width)
{
    const QPoint from(twipsToPixelsX(fromTwips.x()), twipsToPixelsY(fromTwips.y()));
    const QPoint to(twipsToPixelsX(toTwips.x()), twipsToPixelsY(toTwips.y()));
    // A wide line grows right and down from its coordinates, as the layout
    // places it, rather than being centred on them.
    const QPoint grow = from.y() == to.y() ? QPoint(0, width - 1) : QPoint(width - 1, 0);
    painter.fillRect(QRect(from, to + grow), colour);
}

} // namespace quarven
