// A window's controls as one table: name, kind, container, place in twips,
// caption, tooltip, font and colours, in tab order. buildForm makes every
// control of a table and sets its tab order; what no table can say (the
// rules, the option group, pictures that size themselves) stays with the
// window that uses it.
#pragma once

#include "ui/appearance.h"

#include <QPalette>
#include <QRgb>
#include <QWidget>

#include <array>
#include <cstddef>
#include <optional>

namespace quarven::form {

enum class Kind {
    Label,         // a caption: plain text from the top, wrapped at words
    ClickLabel,    // a caption that answers a click
    Picture,       // the emblem in a sunken box, taking the focus in its turn
    ClickPicture,  // the same, answering a click, Enter or Space
    ListBox,       // one column of the assessment table
    TextBox,       // a one-line text box
    Frame,         // a captioned frame that holds other controls
    Option,        // an option button of a frame's group
    Button,        // a push button
    CommandButton, // a push button that Enter also clicks when focused
};

// A colour from the table: the system's own for the control's kind, a fixed
// RGB colour, or a system colour role.
struct Colour {
    enum class From { System, Rgb, Role, ScrollBar };
    From from = From::System;
    QRgb rgb = 0;
    QPalette::ColorRole role = QPalette::NoRole;
};

constexpr Colour kSystem{};
constexpr Colour rgb(int red, int green, int blue)
{
    return {Colour::From::Rgb, qRgb(red, green, blue), QPalette::NoRole};
}
constexpr Colour role(QPalette::ColorRole colourRole)
{
    return {Colour::From::Role, 0, colourRole};
}
constexpr Colour kScrollBar{Colour::From::ScrollBar, 0, QPalette::NoRole};

// Styles that may be combined.
enum Style : unsigned {
    kPlain = 0,
    kBordered = 1u << 0, // a single-line border around the control
    kCentred = 1u << 1,  // text centred horizontally
    kReadOnly = 1u << 2, // a text box only the program writes
};

struct Control {
    const char* name;
    Kind kind;
    const char* container; // the name of a Frame above it, or nullptr for the window
    int left;              // twips from the container's client area
    int top;
    int width;
    int height;
    const char* caption;                            // caption, initial text, or nullptr
    const char* tooltip;                            // nullptr for none
    std::optional<FontVariant> font = std::nullopt; // nullopt: the window's font
    Colour background = kSystem;
    Colour text = kSystem;
    unsigned style = kPlain;
    const char* accessibleName = nullptr; // for controls that show no caption
};

// Makes the controls in table order, which is also their tab order.
void buildForm(QWidget& window, const Control* controls, std::size_t count);

template <std::size_t N> void buildForm(QWidget& window, const std::array<Control, N>& controls)
{
    buildForm(window, controls.data(), N);
}

// A control the form made, by its name.
template <typename Widget> [[nodiscard]] Widget* control(const QWidget& window, const char* name)
{
    return window.findChild<Widget*>(QString::fromLatin1(name));
}

} // namespace quarven::form
