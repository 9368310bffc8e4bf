// An .xls workbook (Excel 97 to 2003, BIFF8) in its OLE2 file: the globals'
// sheets, shared strings, formats and date system, then one sheet's cell
// records (formulas by their cached results) into SheetRows, row by row.
#pragma once

#include "book_rows.h"
#include "cfb_file.h"
#include "xlsx_cells.h"

#include <string>
#include <string_view>
#include <vector>

namespace quarven::books {

// A workbook stream's globals and sheets, fed directly by the fuzz target as
// by the workbook.
class BiffBook {
public:
    // The globals: an error when the stream is no BIFF8 workbook, or an
    // encrypted one.
    [[nodiscard]] Error open(std::string stream);
    [[nodiscard]] const std::vector<std::string>& sheetNames() const { return m_names; }
    // Sheet `index`'s cells to rows, then their end.
    [[nodiscard]] Error readSheet(std::size_t index, SheetRows& rows) const;

private:
    std::string m_stream;
    XlsxTables m_tables; // shared strings and formats, as an .xlsx keeps them
    std::vector<std::string> m_names;
    std::vector<std::uint32_t> m_offsets;
};

class XlsBook {
public:
    explicit XlsBook(const WorkbookSource& source);

    [[nodiscard]] Error open();
    [[nodiscard]] const std::vector<std::string>& sheetNames() const { return m_book.sheetNames(); }
    [[nodiscard]] Error readSheet(std::size_t index, SheetRows& rows) const
    {
        return m_book.readSheet(index, rows);
    }

private:
    ByteSource m_bytes;
    BiffBook m_book;
};

} // namespace quarven::books
