// The two self-correcting text boxes (row count and period) as their change
// handlers see them. setText behaves like the real box: a differing text
// raises the box's change handler again, nested inside the call; the same
// text raises nothing. That re-entry is what normalises the text, so the
// handlers below re-read text() after every setText.
#pragma once

#include <string>

namespace quarven {

class TextBox {
public:
    virtual ~TextBox() = default;
    [[nodiscard]] virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
    // Puts a text back without raising the change handler.
    virtual void restoreText(const std::string& text) = 0;
};

} // namespace quarven
