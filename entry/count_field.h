// The count box's change handler: at least three assessments, and the table
// rebuilt to the new count for every accepted change of the text, keeping the
// rows that remain.
#pragma once

#include "entry/dialogs.h"
#include "entry/text_box.h"

#include <functional>
#include <string>

namespace quarven {

class CountField {
public:
    // buildTable rebuilds the lists from the box's current text.
    CountField(TextBox& box, Dialogs& dialogs, std::function<void()> buildTable);

    // Runs on every change of the text, typed or set, and again nested inside
    // its own setText whenever the text differs.
    void Change();

private:
    // Asks until the answer has a 16-bit value; whether it is at least 3 is
    // left to the nested run that setting it raises.
    [[nodiscard]] std::string askCount();

    TextBox& m_box;
    Dialogs& m_dialogs;
    std::function<void()> m_buildTable;
    // The text the table was last built from: a count past 32767 is refused
    // and the box goes back to it, so the table the user filled survives.
    std::string m_builtText;
};

} // namespace quarven
