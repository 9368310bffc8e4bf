// An .xlsx workbook (Office Open XML): its package's relationships to the
// workbook part, the sheets it names, the styles that make a number a date or
// a percentage, the shared strings (kept, up to a bound) and each sheet's
// cells, parsed as a stream into SheetRows.
#pragma once

#include "book_rows.h"
#include "zip_xml.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarven::books {

// The shared strings' text is kept whole, up to this much.
inline constexpr std::size_t kMaxSharedText = std::size_t{256} << 20;
inline constexpr std::size_t kMaxSharedStrings = std::size_t{1} << 24;

// Shared strings and the styles' number shows: what a sheet's cells refer to.
struct XlsxTables {
    std::string text;
    std::vector<std::size_t> ends; // of each string in text
    std::vector<NumberShow> styles;
    DateSystem system = DateSystem::From1900;

    [[nodiscard]] std::string_view string(std::size_t index) const
    {
        const std::size_t begin = index == 0 ? 0 : ends[index - 1];
        return std::string_view(text).substr(begin, ends[index] - begin);
    }
};

// The XML parsers, fed directly by the fuzz target as by the workbook.
// Shared strings into tables.text and tables.ends; styles into
// tables.styles. Each returns why the part is refused, if it is.
[[nodiscard]] Error ParseSharedStrings(XlsxTables& tables, std::string_view xml);
[[nodiscard]] Error ParseStyles(XlsxTables& tables, std::string_view xml);
// A sheet's XML in pieces to rows; the pieces' source says what it refuses.
class XlsxSheetParser {
public:
    XlsxSheetParser(const XlsxTables& tables, SheetRows& rows);
    ~XlsxSheetParser();
    XlsxSheetParser(const XlsxSheetParser&) = delete;
    XlsxSheetParser& operator=(const XlsxSheetParser&) = delete;

    bool feed(std::string_view piece);
    // The end of the sheet's XML: the rows' end unless reading stopped.
    void finish();
    // Whether the XML read so far ends between two rows of the sheet's data.
    [[nodiscard]] bool betweenRows() const;
    // Why the XML was refused (the rows keep their own reasons).
    [[nodiscard]] const Error& error() const;

private:
    class Handler;
    std::unique_ptr<Handler> m_handler;
};

// The same two parts read from a package.
[[nodiscard]] Error ReadSharedStrings(ZipPackage& package, const std::string& part,
                                      XlsxTables& tables);
[[nodiscard]] Error ReadStyles(ZipPackage& package, const std::string& part, XlsxTables& tables);

// The workbook's parts (xlsx_book.cpp): the package's relationships to the
// workbook, its sheets, styles and shared strings, and each sheet's cells.
class XlsxBook {
public:
    explicit XlsxBook(ZipPackage& package);

    // Reads the workbook's parts, all but the sheets.
    [[nodiscard]] Error open();
    [[nodiscard]] const std::vector<std::string>& sheetNames() const { return m_names; }
    // Sheet `index`'s cells to rows, then their end.
    [[nodiscard]] Error readSheet(std::size_t index, SheetRows& rows);

private:
    [[nodiscard]] Error readTables(const std::string& styles, const std::string& shared);

    ZipPackage& m_package;
    XlsxTables m_tables;
    std::vector<std::string> m_names;
    std::vector<std::string> m_parts;
};

} // namespace quarven::books
