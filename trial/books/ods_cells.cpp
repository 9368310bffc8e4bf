#include "ods_cells.h"

#include "core/value_conventions.h"

#include <charconv>
#include <cstring>

namespace quarven::books {
namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

// A repeat count; absent is 1, and a count past `most` is `most`.
std::uint64_t repeats(const char* text, std::uint64_t most)
{
    if (text == nullptr)
        return 1;
    std::uint64_t value = 0;
    for (const char* at = text; *at != '\0'; ++at) {
        if (*at < '0' || *at > '9')
            return 1;
        value = value * 10 + static_cast<std::uint64_t>(*at - '0');
        if (value > most)
            return most;
    }
    return value == 0 ? 1 : value;
}

bool readDouble(const char* text, double& value)
{
    const std::string_view trimmed = TrimmedBlanks(text);
    const auto read = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    return read.ec == std::errc() && read.ptr == trimmed.data() + trimmed.size();
}

class ManifestHandler final : public XmlHandler {
public:
    bool encrypted = false;
    void start(const char* name, const char**) override
    {
        if (LocalName(name) == "encryption-data")
            encrypted = true;
    }
    void end(const char*) override {}
    void text(std::string_view) override {}
};

} // namespace

class OdsContentParser::Handler final : public XmlHandler {
public:
    explicit Handler(OdsSheets& sheets) : m_sheets(sheets), m_stream(*this, "content") {}
    XmlStream& stream() { return m_stream; }
    bool spreadsheet() const { return m_spreadsheet; }

    void start(const char* name, const char** attributes) override
    {
        const std::string_view local = LocalName(name);
        if (m_annotation > 0) {
            ++m_annotation;
            return;
        }
        if (local == "spreadsheet" && SpaceOf(name) == kOffice) {
            m_spreadsheet = true;
        } else if (!m_spreadsheet) {
            return; // tables only count within the spreadsheet
        } else if (local == "table" && SpaceOf(name) == kTable) {
            if (++m_tables == 1)
                startTable(attributes);
        } else if (m_tables != 1 || m_rows == nullptr) {
            return;
        } else if (local == "table-row" && SpaceOf(name) == kTable) {
            startRow(attributes);
        } else if ((local == "table-cell" || local == "covered-table-cell") &&
                   SpaceOf(name) == kTable) {
            startCell(attributes);
        } else if (m_inCell && SpaceOf(name) == kText) {
            startText(local, attributes);
        } else if (m_inCell && local == "annotation" && SpaceOf(name) == kOffice) {
            m_annotation = 1; // a comment on the cell, not its value
        }
    }

    void end(const char* name) override
    {
        if (m_annotation > 0) {
            --m_annotation;
            return;
        }
        const std::string_view local = LocalName(name);
        if (local == "table" && SpaceOf(name) == kTable && m_tables > 0) {
            if (m_tables-- == 1)
                endTable();
        } else if (m_tables != 1 || m_rows == nullptr) {
            return;
        } else if (local == "table-row" && SpaceOf(name) == kTable) {
            endRow();
        } else if ((local == "table-cell" || local == "covered-table-cell") &&
                   SpaceOf(name) == kTable) {
            endCell();
        } else if (local == "p" && m_inCell) {
            m_inParagraph = false;
        }
    }

    void text(std::string_view text) override
    {
        if (m_inParagraph && m_takeText && m_annotation == 0)
            add(text);
    }

private:
    void add(std::string_view text)
    {
        if (m_value.size() + text.size() > kMaxCellBytes) {
            refuse("a cell longer than 1 MiB: no trial holds one");
            return;
        }
        m_value.append(text);
    }

    void refuse(std::string message)
    {
        if (m_rows != nullptr)
            m_rows->fail(std::move(message));
        m_stream.stop();
    }

    void startTable(const char** attributes)
    {
        const char* name = Attribute(attributes, "name", kTable);
        m_rows = m_sheets.sheet(name != nullptr ? name : "");
        m_nextRow = 1;
    }

    void endTable()
    {
        if (m_rows == nullptr)
            return;
        SheetRows& rows = *m_rows;
        m_rows = nullptr;
        rows.finish();
        if (rows.error() || !m_sheets.more())
            m_stream.stop();
    }

    // The rows stopped taking cells: refused, or the sheet had enough. The
    // rest of the sheet is passed by, and later sheets read if wanted.
    void halted()
    {
        SheetRows& rows = *m_rows;
        m_rows = nullptr;
        if (rows.error() || !m_sheets.more())
            m_stream.stop();
    }

    void startRow(const char** attributes)
    {
        m_rowRepeats = repeats(Attribute(attributes, "number-rows-repeated", kTable), kMaxRows);
        m_row = m_nextRow;
        m_nextRow += m_rowRepeats;
        m_column = 0;
        // Rows past the last are read only to see that they are empty.
        m_rowOpen = m_row <= kMaxRows;
        if (m_rowOpen && !m_rows->beginRow(static_cast<std::uint32_t>(m_row)))
            halted();
    }

    void endRow()
    {
        if (!m_rowOpen)
            return;
        m_rowOpen = false;
        const std::uint64_t times = std::min<std::uint64_t>(m_rowRepeats, kMaxRows + 1 - m_row);
        if (!m_rows->endRow(static_cast<std::uint32_t>(times)))
            halted();
    }

    void startCell(const char** attributes)
    {
        m_cellRepeats =
            repeats(Attribute(attributes, "number-columns-repeated", kTable), kMaxColumns + 1);
        m_inCell = true;
        m_value.clear();
        m_paragraphs = 0;
        m_takeText = true;
        m_number = false;
        m_show = NumberShow::Plain;
        const char* type = Attribute(attributes, "value-type", kOffice);
        if (type == nullptr)
            return;
        const std::string_view kind = type;
        const char* value = Attribute(attributes, "value", kOffice);
        if ((kind == "float" || kind == "currency" || kind == "percentage") && value != nullptr &&
            readDouble(value, m_numberValue)) {
            m_number = true;
            m_show = kind == "percentage" ? NumberShow::Percent : NumberShow::Plain;
            m_takeText = false;
        } else if (kind == "date") {
            if (const char* date = Attribute(attributes, "date-value", kOffice)) {
                const std::string_view text = date;
                m_value = text.substr(0, text.find('T'));
                m_takeText = false;
            }
        } else if (kind == "boolean") {
            if (const char* truth = Attribute(attributes, "boolean-value", kOffice)) {
                m_value = std::strcmp(truth, "true") == 0 ? "TRUE" : "FALSE";
                m_takeText = false;
            }
        } else if (kind == "string") {
            if (const char* text = Attribute(attributes, "string-value", kOffice)) {
                add(text);
                m_takeText = false;
            }
        }
    }

    void startText(std::string_view local, const char** attributes)
    {
        if (!m_takeText)
            return;
        if (local == "p" || local == "h") {
            if (m_paragraphs++ > 0)
                add("\n");
            m_inParagraph = true;
        } else if (!m_inParagraph) {
            return;
        } else if (local == "s") {
            const std::uint64_t blanks =
                repeats(Attribute(attributes, "c", kText), kMaxCellBytes + 1);
            if (m_value.size() + blanks > kMaxCellBytes)
                refuse("a cell longer than 1 MiB: no trial holds one");
            else
                m_value.append(static_cast<std::size_t>(blanks), ' ');
        } else if (local == "tab") {
            add("\t");
        } else if (local == "line-break") {
            add("\n");
        }
    }

    void endCell()
    {
        if (!m_inCell)
            return;
        m_inCell = false;
        m_inParagraph = false;
        const std::uint64_t column = m_column;
        m_column += m_cellRepeats;
        if (!m_number && IsBlank(m_value))
            return;
        if (!m_rowOpen || column + m_cellRepeats > kMaxColumns) {
            refuse("a cell past the sheet's bounds");
            return;
        }
        const auto at = static_cast<std::uint32_t>(column);
        const bool going = m_number
                               ? m_rows->number(at, m_numberValue, m_show, DateSystem::From1900)
                               : m_rows->text(at, m_value);
        if (!going || !m_rows->repeat(at, static_cast<std::uint32_t>(m_cellRepeats - 1)))
            m_stream.stop();
    }

    OdsSheets& m_sheets;
    XmlStream m_stream;
    SheetRows* m_rows = nullptr;
    bool m_spreadsheet = false;
    int m_tables = 0;
    int m_annotation = 0;
    std::uint64_t m_nextRow = 1;
    std::uint64_t m_row = 1;
    std::uint64_t m_rowRepeats = 1;
    bool m_rowOpen = false;
    std::uint64_t m_column = 0;
    std::uint64_t m_cellRepeats = 1;
    bool m_inCell = false;
    bool m_inParagraph = false;
    bool m_takeText = true;
    int m_paragraphs = 0;
    bool m_number = false;
    double m_numberValue = 0;
    NumberShow m_show = NumberShow::Plain;
    std::string m_value;
};

OdsContentParser::OdsContentParser(OdsSheets& sheets) : m_handler(std::make_unique<Handler>(sheets))
{
}

OdsContentParser::~OdsContentParser() = default;

bool OdsContentParser::feed(std::string_view piece)
{
    return m_handler->stream().feed(piece);
}

void OdsContentParser::finish()
{
    if (!m_handler->stream().stopped())
        m_handler->stream().finish();
}

const Error& OdsContentParser::error() const
{
    return m_handler->stream().error();
}

bool OdsContentParser::spreadsheet() const
{
    return m_handler->spreadsheet();
}

Error CheckOdsPackage(ZipPackage& package)
{
    if (package.has("mimetype")) {
        std::string type;
        if (Error error = package.read("mimetype", [&type](std::string_view piece) {
                type.append(piece.substr(0, 200 - std::min<std::size_t>(type.size(), 200)));
                return type.size() < 200;
            }))
            return error;
        if (type.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) != 0)
            return std::string("not a workbook: an OpenDocument file that is no spreadsheet");
    }
    if (package.has("META-INF/manifest.xml")) {
        ManifestHandler manifest;
        XmlStream stream(manifest, "manifest");
        if (Error error = ParseEntry(package, "META-INF/manifest.xml", stream))
            return error;
        if (manifest.encrypted)
            return std::string("the workbook is encrypted: save it without a password to read it");
    }
    return std::nullopt;
}

Error ReadOdsContent(ZipPackage& package, OdsSheets& sheets)
{
    OdsContentParser parser(sheets);
    if (Error error = package.read(
            "content.xml", [&parser](std::string_view piece) { return parser.feed(piece); }))
        return error;
    parser.finish();
    if (parser.error())
        return parser.error();
    if (!parser.spreadsheet())
        return std::string("not a workbook: an OpenDocument file that is no spreadsheet");
    return std::nullopt;
}

} // namespace quarven::books
