// Fonts, colours, pictures and lines of the two windows, kept in one place so
// that the windows' code reads as their layout tables do.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

class QLabel;
class QListWidget;
class QPainter;
class QWidget;

namespace quarven {

// Fusion honours palette colours reliably; "MS Sans Serif" is mapped to a
// metric-compatible family where it is missing.
void setUpApplicationAppearance();

enum class FontVariant {
    TitleBold,     // 12 pt bold
    BoxRegular,    // 12 pt regular
    ResultRegular, // 9.6 pt regular
    HeaderBold     // 7.8 pt bold
};
[[nodiscard]] QFont windowFont();
[[nodiscard]] QFont controlFont(FontVariant variant);

// The two windows draw with Fusion's own palette whatever the desktop's: their
// fixed colours (green title, yellow header, dark green frame) need the
// text and grounds they were chosen against. The "system colours" are this
// palette's.
void useWindowPalette(QWidget* window);
[[nodiscard]] QColor systemColour(QPalette::ColorRole role);
[[nodiscard]] QColor systemScrollBarColour();
void paintBackground(QWidget* widget, const QColor& colour);
void setTextColour(QWidget* widget, const QColor& colour);

[[nodiscard]] QIcon applicationIcon();
[[nodiscard]] QPixmap emblemPicture();

// A label's caption as the layout draws it: plain text from the top,
// wrapped at word boundaries within the label's width.
QLabel* caption(QLabel* label, const QString& text, Qt::Alignment horizontal = Qt::AlignLeft);

// Trims a list's height down to a whole number of rows.
void trimToWholeRows(QListWidget* list);

// A line between two points given in twips, of a width in pixels.
void drawLine(QPainter& painter, QPoint fromTwips, QPoint toTwips, const QColor& colour, int width);

} // namespace quarven
