#include "xlsx_cells.h"

#include "core/value_conventions.h"

#include <charconv>
#include <cstring>
#include <map>

namespace quarven::books {
namespace {

// A whole number of at most nine digits, blanks around allowed.
bool readIndex(std::string_view text, std::size_t& index)
{
    text = TrimmedBlanks(text);
    if (text.empty() || text.size() > 9)
        return false;
    index = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        index = index * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

// Office Open XML writes a control character as _xHHHH_.
void appendUnescaped(std::string& out, std::string_view text)
{
    std::size_t from = 0;
    for (std::size_t at = text.find("_x"); at != std::string_view::npos;
         at = text.find("_x", at + 1)) {
        if (at + 7 > text.size() || text[at + 6] != '_')
            continue;
        unsigned code = 0;
        const auto read = std::from_chars(text.data() + at + 2, text.data() + at + 6, code, 16);
        if (read.ptr != text.data() + at + 6)
            continue;
        out.append(text.substr(from, at - from));
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        from = at + 7;
        at += 6;
    }
    out.append(text.substr(from));
}

class SharedStringsHandler final : public XmlHandler {
public:
    SharedStringsHandler(XlsxTables& tables) : m_tables(tables), m_stream(*this, "shared strings")
    {
    }
    XmlStream& stream() { return m_stream; }

    void start(const char* name, const char**) override
    {
        const std::string_view local = LocalName(name);
        if (local == "si") {
            m_inString = true;
            m_string.clear();
        } else if (local == "rPh") {
            ++m_phonetic; // a reading aid above the text, not the text
        } else if (local == "t" && m_inString && m_phonetic == 0) {
            m_inText = true;
        }
    }
    void end(const char* name) override
    {
        const std::string_view local = LocalName(name);
        if (local == "t") {
            m_inText = false;
        } else if (local == "rPh") {
            --m_phonetic;
        } else if (local == "si" && m_inString) {
            m_inString = false;
            if (m_tables.ends.size() >= kMaxSharedStrings ||
                m_tables.text.size() + m_string.size() > kMaxSharedText) {
                m_stream.stop("the workbook's shared strings pass 256 MiB: no field book "
                              "holds that much text");
                return;
            }
            appendUnescaped(m_tables.text, m_string);
            m_tables.ends.push_back(m_tables.text.size());
        }
    }
    void text(std::string_view text) override
    {
        if (!m_inText)
            return;
        if (m_string.size() + text.size() > kMaxCellBytes) {
            m_stream.stop("a cell longer than 1 MiB: no trial holds one");
            return;
        }
        m_string.append(text);
    }

private:
    XlsxTables& m_tables;
    XmlStream m_stream;
    std::string m_string;
    bool m_inString = false;
    bool m_inText = false;
    int m_phonetic = 0;
};

class StylesHandler final : public XmlHandler {
public:
    StylesHandler(XlsxTables& tables) : m_tables(tables), m_stream(*this, "styles") {}
    XmlStream& stream() { return m_stream; }

    void start(const char* name, const char** attributes) override
    {
        const std::string_view local = LocalName(name);
        if (local == "numFmt") {
            const char* id = Attribute(attributes, "numFmtId");
            const char* code = Attribute(attributes, "formatCode");
            std::size_t number = 0;
            if (id != nullptr && code != nullptr && readIndex(id, number) &&
                m_codes.size() < 100000)
                m_codes[number] = ShowOfFormatCode(code);
        } else if (local == "cellXfs") {
            m_inCellFormats = true;
        } else if (local == "xf" && m_inCellFormats) {
            if (m_formats.size() >= 1000000) {
                m_stream.stop("the workbook's styles pass a million");
                return;
            }
            const char* id = Attribute(attributes, "numFmtId");
            std::size_t number = 0;
            m_formats.push_back(id != nullptr && readIndex(id, number) ? number : 0);
        }
    }
    void end(const char* name) override
    {
        if (LocalName(name) == "cellXfs")
            m_inCellFormats = false;
    }
    void text(std::string_view) override {}

    // The formats' shows, once the codes they may name are all read.
    void settle()
    {
        m_tables.styles.clear();
        for (const std::size_t id : m_formats) {
            const auto code = m_codes.find(id);
            m_tables.styles.push_back(code != m_codes.end()
                                          ? code->second
                                          : ShowOfBuiltinFormat(static_cast<unsigned>(id)));
        }
    }

private:
    XlsxTables& m_tables;
    XmlStream m_stream;
    std::map<std::size_t, NumberShow> m_codes;
    std::vector<std::size_t> m_formats;
    bool m_inCellFormats = false;
};

// Column letters and row digits: "B12" as column 1; false when past the
// sheet's bounds or not a reference.
bool readReference(const char* reference, std::uint32_t& column)
{
    std::uint32_t letters = 0;
    std::uint32_t value = 0;
    const char* at = reference;
    for (; *at != '\0'; ++at) {
        const char c = *at;
        if (c >= 'A' && c <= 'Z')
            value = value * 26 + static_cast<std::uint32_t>(c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            value = value * 26 + static_cast<std::uint32_t>(c - 'a' + 1);
        else
            break;
        if (++letters > 3)
            return false;
    }
    if (letters == 0 || value > kMaxColumns)
        return false;
    std::uint64_t row = 0;
    std::size_t digits = 0;
    for (; *at >= '0' && *at <= '9'; ++at) {
        row = row * 10 + static_cast<std::uint64_t>(*at - '0');
        if (++digits > 8)
            return false;
    }
    if (*at != '\0' || digits == 0 || row == 0 || row > kMaxRows)
        return false;
    column = value - 1;
    return true;
}

bool readRowNumber(const char* text, std::uint32_t& row)
{
    std::size_t value = 0;
    if (!readIndex(text, value) || value == 0 || value > kMaxRows)
        return false;
    row = static_cast<std::uint32_t>(value);
    return true;
}

} // namespace

class XlsxSheetParser::Handler final : public XmlHandler {
public:
    Handler(const XlsxTables& tables, SheetRows& rows)
        : m_tables(tables), m_rows(rows), m_stream(*this, "sheet", false)
    {
    }
    XmlStream& stream() { return m_stream; }
    SheetRows& rows() { return m_rows; }
    bool betweenRows() const { return m_inData && m_level == 0 && !m_stream.stopped(); }

    void start(const char* name, const char** attributes) override
    {
        const std::string_view local = LocalName(name);
        if (!m_inData) {
            m_inData = local == "sheetData";
            return;
        }
        // Rows stand right in the sheet's data, which lets a large sheet be
        // cut between them (sheet_blocks.h).
        if (local == "row" && m_level != 0) {
            refuse("a row inside another element of the sheet");
            return;
        }
        ++m_level;
        if (local == "c")
            startCell(attributes);
        else if (local == "v")
            startValue(false);
        else if (local == "t" && m_inInline && m_phonetic == 0)
            startValue(true);
        else if (local == "is")
            m_inInline = true;
        else if (local == "rPh")
            ++m_phonetic;
        else if (local == "row")
            startRow(attributes);
    }

    void end(const char* name) override
    {
        if (!m_inData)
            return;
        const std::string_view local = LocalName(name);
        if (m_level == 0) {
            m_stream.stop(); // the end of the data: the rest holds no cells
            return;
        }
        --m_level;
        if (local == "v" || local == "t") {
            m_inValue = false;
        } else if (local == "c") {
            endCell();
        } else if (local == "row") {
            if (!m_rows.endRow())
                m_stream.stop();
            m_inRow = false;
        } else if (local == "is") {
            m_inInline = false;
        } else if (local == "rPh") {
            --m_phonetic;
        }
    }

    void text(std::string_view text) override
    {
        if (!m_inValue)
            return;
        if (m_value.size() + text.size() > kMaxCellBytes) {
            refuse("a cell longer than 1 MiB: no trial holds one");
            return;
        }
        m_value.append(text);
    }

    void refuse(std::string message)
    {
        m_rows.fail(std::move(message));
        m_stream.stop();
    }

private:
    void startRow(const char** attributes)
    {
        if (m_inRow && !m_rows.endRow()) {
            m_stream.stop();
            return;
        }
        const char* number = Attribute(attributes, "r");
        std::uint32_t row = m_row + 1;
        if (number != nullptr && !readRowNumber(number, row)) {
            refuse("a row number past the sheet's bounds (" + std::string(number) + ")");
            return;
        }
        m_row = row;
        m_column = 0;
        m_inRow = true;
        if (!m_rows.beginRow(row))
            m_stream.stop();
    }

    void startCell(const char** attributes)
    {
        if (!m_inRow) {
            refuse("a cell outside any row");
            return;
        }
        const char* reference = nullptr;
        const char* type = nullptr;
        const char* style = nullptr;
        for (const char** at = attributes; *at != nullptr; at += 2) {
            const char* attribute = *at;
            if (attribute[0] != '\0' && attribute[1] == '\0') {
                if (attribute[0] == 'r')
                    reference = at[1];
                else if (attribute[0] == 't')
                    type = at[1];
                else if (attribute[0] == 's')
                    style = at[1];
            }
        }
        if (reference != nullptr && !readReference(reference, m_column)) {
            refuse("a cell reference past the sheet's bounds (" + std::string(reference) + ")");
            return;
        }
        m_type = Type::Number;
        if (type != nullptr) {
            const std::string_view t = type;
            m_type = t == "s"           ? Type::Shared
                     : t == "b"         ? Type::Boolean
                     : t == "d"         ? Type::IsoDate
                     : t == "n"         ? Type::Number
                     : t == "inlineStr" ? Type::Inline
                                        : Type::Text;
        }
        m_show = NumberShow::Plain;
        if (style != nullptr) {
            std::size_t index = 0;
            if (!readIndex(style, index) || (index >= m_tables.styles.size() && index != 0)) {
                refuse("a cell's style " + std::string(style) + " is past the workbook's " +
                       std::to_string(m_tables.styles.size()) + " styles");
                return;
            }
            if (index < m_tables.styles.size())
                m_show = m_tables.styles[index];
        }
        m_value.clear();
        m_inCell = true;
    }

    void startValue(bool inlineText)
    {
        if (!m_inCell)
            return;
        if (!inlineText)
            m_value.clear();
        m_inValue = true;
    }

    void endCell()
    {
        if (!m_inCell)
            return;
        m_inCell = false;
        m_inInline = false;
        const std::uint32_t column = m_column++;
        if (m_value.empty())
            return;
        bool going = true;
        switch (m_type) {
        case Type::Shared: {
            std::size_t index = 0;
            if (!readIndex(m_value, index) || index >= m_tables.ends.size()) {
                refuse("a shared string (" + m_value + ") past the workbook's " +
                       std::to_string(m_tables.ends.size()) + " strings");
                return;
            }
            going = m_rows.text(column, m_tables.string(index), true);
            break;
        }
        case Type::Boolean:
            going = m_rows.text(column, TrimmedBlanks(m_value) == "1" ? "TRUE" : "FALSE");
            break;
        case Type::IsoDate: {
            // An ISO 8601 date, its time dropped.
            const std::string_view date = std::string_view(m_value).substr(0, m_value.find('T'));
            going = m_rows.text(column, date);
            break;
        }
        case Type::Number: {
            const std::string_view text = TrimmedBlanks(m_value);
            double value = 0;
            const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
            if (read.ec == std::errc() && read.ptr == text.data() + text.size())
                going = m_rows.number(column, value, m_show, m_tables.system);
            else
                going = m_rows.text(column, text);
            break;
        }
        case Type::Inline: {
            std::string unescaped;
            appendUnescaped(unescaped, m_value);
            going = m_rows.text(column, unescaped);
            break;
        }
        case Type::Text:
            going = m_rows.text(column, m_value);
            break;
        }
        if (!going)
            m_stream.stop();
    }

    enum class Type { Number, Shared, Boolean, IsoDate, Inline, Text };

    const XlsxTables& m_tables;
    SheetRows& m_rows;
    XmlStream m_stream;
    bool m_inData = false;
    int m_level = 0; // elements open within the sheet's data
    bool m_inRow = false;
    bool m_inCell = false;
    bool m_inValue = false;
    bool m_inInline = false;
    int m_phonetic = 0;
    std::uint32_t m_row = 0;
    std::uint32_t m_column = 0;
    Type m_type = Type::Number;
    NumberShow m_show = NumberShow::Plain;
    std::string m_value;
};

XlsxSheetParser::XlsxSheetParser(const XlsxTables& tables, SheetRows& rows)
    : m_handler(std::make_unique<Handler>(tables, rows))
{
}

XlsxSheetParser::~XlsxSheetParser() = default;

bool XlsxSheetParser::feed(std::string_view piece)
{
    return m_handler->stream().feed(piece);
}

void XlsxSheetParser::finish()
{
    XmlStream& stream = m_handler->stream();
    if (!stream.stopped())
        stream.finish();
    if (!stream.error())
        m_handler->rows().finish();
}

bool XlsxSheetParser::betweenRows() const
{
    return m_handler->betweenRows();
}

const Error& XlsxSheetParser::error() const
{
    return m_handler->stream().error();
}

Error ParseSharedStrings(XlsxTables& tables, std::string_view xml)
{
    SharedStringsHandler handler(tables);
    handler.stream().feed(xml);
    handler.stream().finish();
    return handler.stream().error();
}

Error ParseStyles(XlsxTables& tables, std::string_view xml)
{
    StylesHandler handler(tables);
    handler.stream().feed(xml);
    handler.stream().finish();
    handler.settle();
    return handler.stream().error();
}

Error ReadSharedStrings(ZipPackage& package, const std::string& part, XlsxTables& tables)
{
    SharedStringsHandler handler(tables);
    return ParseEntry(package, part, handler.stream());
}

Error ReadStyles(ZipPackage& package, const std::string& part, XlsxTables& tables)
{
    StylesHandler handler(tables);
    if (Error error = ParseEntry(package, part, handler.stream()))
        return error;
    handler.settle();
    return std::nullopt;
}

} // namespace quarven::books
