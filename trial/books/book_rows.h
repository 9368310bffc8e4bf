// A sheet's cells to records of fields, for any kind of workbook: each row's
// cells from column A on, in a FieldSink's terms, as the tokenizer hands a
// text's lines. Numbers, dates and percentages are written as text here, in
// one way for every kind of workbook, so that a trial reads the same from an
// .xlsx, an .ods, an .xls or the CSV the spreadsheet exports.
#pragma once

#include "trial/trial_fields.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven::books {

// A sheet's bounds in every kind of workbook (the largest any spreadsheet
// program offers), and the longest cell, as the tokenizer's longest field.
inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxColumns = 16384;
inline constexpr std::size_t kMaxCellBytes = std::size_t{1} << 20;
// Cells handed over from one sheet; a repeated row or cell past it is a
// trick, not a field book.
inline constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 28;

// How a number cell is shown.
enum class NumberShow { Plain, Date, Percent };
enum class DateSystem { From1900, From1904 };

// A spreadsheet's number format code ("yyyy-mm-dd", "0.0%", "General"): a
// date when it shows a day, month or year, a percentage when it has "%".
[[nodiscard]] NumberShow ShowOfFormatCode(std::string_view code);
// Excel's built-in formats by number, as both .xlsx and .xls number them.
[[nodiscard]] NumberShow ShowOfBuiltinFormat(unsigned id);

// The shortest text that reads back as the same double, never with an
// exponent ("100000", not "1e+05"), whatever the locale.
void AppendNumber(std::string& text, double value);
// yyyy-mm-dd of a serial day number (its time of day dropped); false when the
// serial is no date of the system (before its first day, after 9999). The
// 1900 system's day 60 is its fictitious 29 February 1900.
[[nodiscard]] bool AppendSerialDate(std::string& text, double serial, DateSystem system);
// A number cell as text: its date, its percentage or itself.
void AppendShown(std::string& text, double value, NumberShow show, DateSystem system);

// Gathers one row's cells at a time and hands each row over as a record, its
// fields from column A to its last cell that is not empty. Empty rows are not
// handed over; a row's number is its line.
class SheetRows {
public:
    explicit SheetRows(FieldSink& sink);

    // The next row, numbered from 1; rows come in increasing order. False
    // once reading is to stop (the sink has had enough, or an error).
    bool beginRow(std::uint32_t row);
    // A cell of the row begun, its text with the blanks around dropped.
    // `lasting` text stays put until the sheet is read (a shared string), and
    // is not copied.
    bool text(std::uint32_t column, std::string_view text, bool lasting = false);
    bool number(std::uint32_t column, double value, NumberShow show, DateSystem system);
    // The cell at `column` again at each of the next `count` columns.
    bool repeat(std::uint32_t column, std::uint32_t count);
    // Ends the row, handing it over `times` times (a row repeated in place,
    // on as many lines).
    bool endRow(std::uint32_t times = 1);
    // The end of the sheet: the sink's end, unless reading stopped.
    void finish();

    // Why the sheet was refused; the sink keeps its own reasons.
    [[nodiscard]] const std::optional<TrialError>& error() const { return m_error; }
    [[nodiscard]] bool stopped() const { return m_stopped; }
    [[nodiscard]] std::uint32_t row() const { return m_row; }
    // Refuses the sheet at the current row, or at `row`.
    bool fail(std::string message);
    bool failAt(std::uint32_t row, std::string message);
    // A record made by other rows (a sheet read in blocks), handed on in
    // turn; its line must come after the last.
    bool passOn(std::uint32_t line, Items<std::string_view> fields);
    // An empty row seen by those other rows, for the end's line.
    void seenRow(std::uint32_t row);
    [[nodiscard]] std::uint32_t lastRow() const { return m_lastRow; }

private:
    struct Cell {
        const char* lasting = nullptr; // or an offset into m_text
        std::size_t offset = 0;
        std::size_t size = 0;
    };
    bool place(std::uint32_t column, Cell cell);

    FieldSink& m_sink;
    std::optional<TrialError> m_error;
    bool m_stopped = false;
    bool m_inRow = false;
    std::uint32_t m_row = 0;
    std::uint32_t m_lastRow = 0;    // the last row seen, empty or not
    std::uint32_t m_lastRecord = 0; // the last row handed over
    std::uint64_t m_cells = 0;
    std::string m_text;
    std::vector<Cell> m_cellsOfRow;
    std::vector<std::string_view> m_fields;
};

} // namespace quarven::books
