// What the program does with a prompt's answer before it reads it, and how it
// quotes an answer back in a message. Answers come from the keyboard of any
// script and from spreadsheet cells: both bring characters that mean nothing
// to the readers of dates and numbers, or that would reorder a message.
#pragma once

#include "entry/dialogs.h"

#include <optional>
#include <string>
#include <string_view>

namespace quarven {

// Line breaks and tabs at either end are dropped (a copied spreadsheet cell
// ends with one), and every Unicode decimal digit is written as its ASCII
// digit (full-width and Arabic-Indic keyboards type others). Blanks stay:
// a lone blank means a blank cell. UTF-8 in and out.
[[nodiscard]] std::string CleanedAnswer(std::string_view answer);

// The value 0..9 of a Unicode decimal digit, nothing for any other character.
[[nodiscard]] std::optional<int> DecimalDigitValue(char32_t codePoint);

// An answer as a message quotes it. Text that is not plain ASCII is set
// between a first-strong isolate and its pop, so that right-to-left letters
// or bidi controls in it cannot reorder the message's own words; plain ASCII
// cannot, and stays exactly as typed.
[[nodiscard]] std::string QuotedAnswer(std::string_view answer);

// Dialogs::prompt with its answer cleaned.
[[nodiscard]] std::string Ask(Dialogs& dialogs, const std::string& text, const std::string& title,
                              const std::string& defaultAnswer,
                              std::optional<PromptPosition> position = std::nullopt);

} // namespace quarven
