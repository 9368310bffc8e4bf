// Text cells as a spreadsheet will read them back. A cell that begins like a
// formula is run by the spreadsheet that opens the file, so the batch's
// results and the window's Copy and Save write such a text with a leading
// apostrophe, which spreadsheets take as "this is text" (OWASP's advice for
// CSV files). Numbers, negative ones included, are written as they are.
#pragma once

#include <string>
#include <string_view>

namespace quarven {

// True for a text that a spreadsheet would take as a formula: it begins with
// "=", "+", "-", "@", a tab or a carriage return, and is not a number.
[[nodiscard]] bool LooksLikeFormula(std::string_view text);

// The text, after an apostrophe when it looks like a formula.
[[nodiscard]] std::string FormulaSafe(std::string_view text);
void AppendFormulaSafe(std::string& out, std::string_view text);

} // namespace quarven
