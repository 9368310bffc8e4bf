// The assessment table to and from the clipboard, as spreadsheets write and
// read it: rows of cells separated by tabs (or by semicolons or commas).
// A paste is planned whole before anything is written: every date and level
// passes the prompts' rules, and the first refused cell refuses the paste.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// Where a block of one column goes.
enum class PasteColumn { Dates, Levels };

// The cells a paste writes into one row; nothing for a column it leaves.
struct PastedRow {
    std::optional<std::string> date;
    std::optional<std::string> level;
};

struct PastePlan {
    std::string message; // not empty: nothing may be pasted; say this
    int firstRow = 0;    // 0-based row the block starts at
    std::vector<PastedRow> rows;

    // The rows the table must hold for the block to fit.
    [[nodiscard]] int rowsNeeded() const { return firstRow + static_cast<int>(rows.size()); }
};

// Reads a block of one column (dates, or levels when single is Levels), two
// (date, level) or three (number, date, level; the number is ignored). A
// first row with no digit in it is a header and is skipped, as is the period
// row that CopiedTable writes. An empty cell blanks its cell.
[[nodiscard]] PastePlan PlanPaste(std::string_view text, int firstRow, PasteColumn single,
                                  int currentYear);

// The table as a spreadsheet pastes it into columns: a header, one row per
// assessment (blank cells empty), then the period with its caption. Dates go
// out as yyyy-mm-dd in the given year and numbers with the given decimal
// mark, which spreadsheets in every locale read as dates and numbers.
[[nodiscard]] std::string CopiedTable(const std::vector<std::string>& dates,
                                      const std::vector<std::string>& levels,
                                      const std::string& period, int year, char decimalMark);

// The two results and the period, each after its caption.
[[nodiscard]] std::string CopiedResults(const std::string& losses, const std::string& audpc,
                                        const std::string& period, char decimalMark);

// A date cell as it leaves the window: "yyyy-mm-dd" when a year is given and
// the cell holds a date of it, otherwise the cell as it is. A text that a
// spreadsheet would run as a formula gets a leading apostrophe.
[[nodiscard]] std::string DateCellText(const std::string& cell, std::optional<int> year);

} // namespace quarven
