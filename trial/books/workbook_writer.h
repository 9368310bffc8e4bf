// Tables written as an .xlsx workbook (libxlsxwriter), a row at a time, so
// that a sheet of a million rows never sits in memory: each row goes to a
// temporary file beside the target as it comes (libxlsxwriter's
// constant_memory mode). Cells come as the texts of a CSV and are written by
// their column's kind: numbers as number cells shown with the column's
// decimals, dates as date cells shown as written, text as text, never a
// formula. The header row is frozen.
//
// The workbook is written whole or not at all: finish() puts it on the disk
// under a temporary name beside the target, checking every write and the
// sync; commit() then renames it over the target and syncs the folder. A
// workbook not committed leaves the target as it was and no file behind.
#pragma once

#include "trial/trial_fields.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct lxw_workbook;

namespace quarven {

enum class CellKind {
    // "0.1067", "-5", "224" (a point or a comma as the decimal mark): a number
    // cell shown with the column's decimals.
    Number,
    // "2026-07-02", or "02/07" in the workbook's year: a date cell shown as
    // written.
    Date,
    // Always text.
    Text,
    // A trial's own text (a plot, a copied column, a group): a number cell
    // when it reads back as the same text and a spreadsheet shows it whole
    // (at most 10 digits: "101", "2.5"), text otherwise ("01", "1.50").
    Name,
};

struct SheetColumn {
    std::string name;
    CellKind kind = CellKind::Text;
    // Of a Number column; a negative count shows as many as the value needs.
    int decimals = -1;
};

// Excel's bounds of a sheet.
inline constexpr std::size_t kMostSheetRows = 1048576;
inline constexpr std::size_t kMostSheetColumns = 16384;
// Longer texts are cut to this, their last character an ellipsis.
inline constexpr std::size_t kMostCellCharacters = 32767;

class WorkbookWriter {
public:
    // A workbook to take the place of `path`, whose links the caller has
    // followed; `year` is that of dates written without one. A path that is
    // a folder, a FIFO or a device is refused.
    WorkbookWriter(std::string path, int year);
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // A sheet and its header row; its number, for addRow.
    std::size_t addSheet(std::string_view name, const std::vector<SheetColumn>& columns);
    // The sheet's next row, one text per column (fewer: empty cells at its
    // end); an empty text is an empty cell.
    void addRow(std::size_t sheet, Items<std::string_view> cells);
    // The workbook written, synced and closed under its temporary name.
    [[nodiscard]] bool finish();
    // Then in the target's place, the folder synced.
    [[nodiscard]] bool commit();

    // The first failure, in the system's words where it has them; once
    // there is one, rows are no longer written.
    [[nodiscard]] bool failed() const { return !m_error.empty(); }
    [[nodiscard]] const std::string& error() const { return m_error; }

private:
    struct Sheet;
    struct Formats;

    void fail(std::string reason);
    void failWithErrno(int error, std::string_view otherwise);
    void writeCell(Sheet& sheet, std::size_t column, std::string_view text);
    void writeText(Sheet& sheet, std::size_t column, std::string_view text);
    void checkSheetFile(Sheet& sheet);
    void discard();

    std::string m_path;
    std::string m_folder; // of the target, where the temporary files go
    std::string m_temporary;
    int m_year;
    lxw_workbook* m_book = nullptr;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
    std::unique_ptr<Formats> m_formats;
    std::string m_cell; // a text cell as written, reused
    std::string m_error;
    bool m_finished = false;
    bool m_committed = false;
};

} // namespace quarven
