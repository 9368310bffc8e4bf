// An .ods workbook (OpenDocument): its manifest, which tells an encrypted
// one, and its content, whose tables are the sheets, parsed as a stream into
// SheetRows. Rows and cells repeated in place are handed over as often as
// they stand, but empty ones, such as the repeats that fill a sheet to its
// last row and column, are only counted.
#pragma once

#include "book_rows.h"
#include "zip_xml.h"

#include <memory>
#include <string>
#include <string_view>

namespace quarven::books {

// Which sheets are wanted as the content goes by.
class OdsSheets {
public:
    virtual ~OdsSheets() = default;
    // A sheet begins: the rows to read it into, or null to pass it by.
    virtual SheetRows* sheet(std::string_view name) = 0;
    // A sheet read into rows ended; false when no later sheet is wanted.
    virtual bool more() = 0;
};

// The content's XML in pieces, fed directly by the fuzz target as by the
// workbook.
class OdsContentParser {
public:
    explicit OdsContentParser(OdsSheets& sheets);
    ~OdsContentParser();
    OdsContentParser(const OdsContentParser&) = delete;
    OdsContentParser& operator=(const OdsContentParser&) = delete;

    bool feed(std::string_view piece);
    void finish();
    [[nodiscard]] const Error& error() const;
    // Whether the content was a spreadsheet's.
    [[nodiscard]] bool spreadsheet() const;

private:
    class Handler;
    std::unique_ptr<Handler> m_handler;
};

// Whether an .ods package is encrypted, or no spreadsheet, by its mimetype
// and manifest.
[[nodiscard]] Error CheckOdsPackage(ZipPackage& package);
// The content through the parser.
[[nodiscard]] Error ReadOdsContent(ZipPackage& package, OdsSheets& sheets);

} // namespace quarven::books
