#include "xls_cells.h"

#include <cstring>
#include <map>

namespace quarven::books {
namespace {

enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kDateMode = 0x0022,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kBoundSheet = 0x0085,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kLabelSst = 0x00FD,
    kLabel = 0x0204,
    kNumber = 0x0203,
    kRk = 0x027E,
    kMulRk = 0x00BD,
    kBoolErr = 0x0205,
    kFormula = 0x0006,
    kString = 0x0207,
};

const std::string kBroken = "not a workbook: a damaged .xls workbook stream";
const std::string kEncrypted = "the workbook is encrypted: save it without a password to read it";

struct Record {
    std::uint16_t type = 0;
    std::string_view body;
    std::size_t next = 0;
};

bool recordAt(std::string_view stream, std::size_t offset, Record& record)
{
    if (offset > stream.size() || stream.size() - offset < 4)
        return false;
    const auto* b = reinterpret_cast<const unsigned char*>(stream.data() + offset);
    record.type = static_cast<std::uint16_t>(b[0] | b[1] << 8);
    const std::size_t length = static_cast<std::size_t>(b[2] | b[3] << 8);
    if (stream.size() - offset - 4 < length)
        return false;
    record.body = stream.substr(offset + 4, length);
    record.next = offset + 4 + length;
    return true;
}

// Little-endian fields of a record, and the characters of a string that may
// run on into CONTINUE records, each of which restarts with a flags byte.
class Fields {
public:
    explicit Fields(std::string_view body) : m_parts{body} {}
    void more(std::string_view body) { m_parts.push_back(body); }
    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] bool atEnd()
    {
        while (m_part < m_parts.size() && m_at == m_parts[m_part].size()) {
            ++m_part;
            m_at = 0;
        }
        return m_part == m_parts.size();
    }

    std::uint32_t get(std::size_t bytes)
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return value;
    }
    void skip(std::uint64_t bytes)
    {
        for (; bytes > 0 && !m_failed;) {
            if (atEnd()) {
                m_failed = true;
                return;
            }
            const std::size_t take = static_cast<std::size_t>(
                std::min<std::uint64_t>(bytes, m_parts[m_part].size() - m_at));
            m_at += take;
            bytes -= take;
        }
    }
    // `count` characters, one byte each (Latin-1) or two (UTF-16), as UTF-8.
    void characters(std::size_t count, bool wide, std::string& out)
    {
        while (count > 0 && !m_failed) {
            if (m_at == m_parts[m_part].size()) {
                if (m_part + 1 == m_parts.size()) {
                    m_failed = true;
                    return;
                }
                ++m_part;
                m_at = 0;
                wide = (byte() & 1) != 0;
                continue;
            }
            const std::string_view part = m_parts[m_part].substr(m_at);
            const std::size_t fit = std::min(count, wide ? part.size() / 2 : part.size());
            if (fit == 0) {
                m_failed = true;
                return;
            }
            append(part.substr(0, wide ? fit * 2 : fit), wide, out);
            m_at += wide ? fit * 2 : fit;
            count -= fit;
        }
    }

private:
    unsigned byte()
    {
        if (atEnd()) {
            m_failed = true;
            return 0;
        }
        return static_cast<unsigned char>(m_parts[m_part][m_at++]);
    }

    static void appendCode(std::string& out, std::uint32_t code)
    {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    static void append(std::string_view bytes, bool wide, std::string& out)
    {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
        if (!wide) {
            for (std::size_t i = 0; i < bytes.size(); ++i)
                appendCode(out, b[i]);
            return;
        }
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            std::uint32_t code = static_cast<std::uint32_t>(b[i] | b[i + 1] << 8);
            if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
                const std::uint32_t low = static_cast<std::uint32_t>(b[i + 2] | b[i + 3] << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (code >= 0xD800 && code < 0xE000)
                code = 0xFFFD; // half a pair
            appendCode(out, code);
        }
    }

    std::vector<std::string_view> m_parts;
    std::size_t m_part = 0;
    std::size_t m_at = 0;
    bool m_failed = false;
};

// A string of BIFF8: its length in `lengthBytes`, flags, the rich text and
// phonetic sizes it announces, its characters, then those runs (skipped).
bool readString(Fields& fields, std::size_t lengthBytes, std::string& out)
{
    const std::size_t count = fields.get(lengthBytes);
    const unsigned flags = fields.get(1);
    const std::uint32_t runs = (flags & 0x08) ? fields.get(2) : 0;
    const std::uint32_t phonetic = (flags & 0x04) ? fields.get(4) : 0;
    if (fields.failed() || count > kMaxCellBytes)
        return false;
    out.clear();
    fields.characters(count, (flags & 1) != 0, out);
    fields.skip(std::uint64_t{runs} * 4 + phonetic);
    return !fields.failed();
}

double rkValue(std::uint32_t rk)
{
    double value = 0;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk & ~std::uint32_t{3}) / 4);
    } else {
        const std::uint64_t bits = std::uint64_t{rk & ~std::uint32_t{3}} << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

std::string_view errorText(unsigned code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

// One sheet's records into rows, row by row.
class SheetReader {
public:
    SheetReader(const XlsxTables& tables, SheetRows& rows) : m_tables(tables), m_rows(rows) {}

    // False once reading is to stop.
    bool cell(std::uint32_t row, std::uint32_t column)
    {
        if (m_rows.stopped())
            return false;
        if (m_row >= 0 && row == static_cast<std::uint32_t>(m_row))
            return true;
        if (m_row >= 0 && row < static_cast<std::uint32_t>(m_row))
            return m_rows.fail("the cells of the sheet are out of order");
        if (m_row >= 0 && !m_rows.endRow())
            return false;
        m_row = row;
        (void)column;
        return m_rows.beginRow(row + 1);
    }
    bool show(std::uint32_t style, NumberShow& show)
    {
        if (style >= m_tables.styles.size() && style != 0 && !m_tables.styles.empty())
            return m_rows.fail("a cell's style " + std::to_string(style) +
                               " is past the workbook's " + std::to_string(m_tables.styles.size()) +
                               " styles");
        show = style < m_tables.styles.size() ? m_tables.styles[style] : NumberShow::Plain;
        return true;
    }
    bool number(std::uint32_t row, std::uint32_t column, std::uint32_t style, double value)
    {
        NumberShow shown = NumberShow::Plain;
        return cell(row, column) && this->show(style, shown) &&
               m_rows.number(column, value, shown, m_tables.system);
    }
    bool text(std::uint32_t row, std::uint32_t column, std::string_view text, bool lasting)
    {
        return cell(row, column) && m_rows.text(column, text, lasting);
    }

    const XlsxTables& m_tables;
    SheetRows& m_rows;
    std::int64_t m_row = -1;
};

} // namespace

Error BiffBook::open(std::string stream)
{
    m_stream = std::move(stream);
    const std::string_view bytes = m_stream;
    Record record;
    if (!recordAt(bytes, 0, record) || record.type != kBof || record.body.size() < 4)
        return kBroken;
    Fields bof(record.body);
    const std::uint32_t version = bof.get(2);
    if (version == 0x0500)
        return std::string("an Excel 5.0/95 workbook, which is not read: save it as .xlsx");
    if (version != 0x0600)
        return kBroken;

    std::map<std::uint32_t, NumberShow> codes;
    std::vector<std::uint32_t> formats;
    for (std::size_t offset = record.next;;) {
        if (!recordAt(bytes, offset, record))
            return kBroken;
        offset = record.next;
        Fields fields(record.body);
        switch (record.type) {
        case kEof:
            break;
        case kFilePass:
            return kEncrypted;
        case kDateMode:
            m_tables.system = fields.get(2) == 1 ? DateSystem::From1904 : DateSystem::From1900;
            continue;
        case kFormat: {
            const std::uint32_t id = fields.get(2);
            std::string code;
            if (readString(fields, 2, code) && codes.size() < 100000)
                codes[id] = ShowOfFormatCode(code);
            continue;
        }
        case kXf:
            fields.get(2);
            if (formats.size() < 1000000)
                formats.push_back(fields.get(2));
            continue;
        case kBoundSheet: {
            const std::uint32_t at = fields.get(4);
            fields.get(1);
            const std::uint32_t kind = fields.get(1);
            std::string name;
            if (!readString(fields, 1, name))
                return kBroken;
            // Charts, macros and modules hold no cells.
            if (kind == 0 && m_names.size() < 100000) {
                m_names.push_back(std::move(name));
                m_offsets.push_back(at);
            }
            continue;
        }
        case kSst: {
            Record next;
            while (recordAt(bytes, offset, next) && next.type == kContinue) {
                fields.more(next.body);
                offset = next.next;
            }
            fields.get(4);
            const std::uint32_t unique = fields.get(4);
            std::string text;
            for (std::uint32_t i = 0; i < unique && !fields.atEnd(); ++i) {
                if (!readString(fields, 2, text))
                    return kBroken;
                if (m_tables.ends.size() >= kMaxSharedStrings ||
                    m_tables.text.size() + text.size() > kMaxSharedText)
                    return std::string("the workbook's shared strings pass 256 MiB: no field "
                                       "book holds that much text");
                m_tables.text += text;
                m_tables.ends.push_back(m_tables.text.size());
            }
            continue;
        }
        default:
            continue;
        }
        break;
    }
    for (const std::uint32_t id : formats) {
        const auto code = codes.find(id);
        m_tables.styles.push_back(code != codes.end() ? code->second : ShowOfBuiltinFormat(id));
    }
    return std::nullopt;
}

Error BiffBook::readSheet(std::size_t index, SheetRows& rows) const
{
    const std::string_view bytes = m_stream;
    Record record;
    if (!recordAt(bytes, m_offsets.at(index), record) || record.type != kBof)
        return "the workbook points outside its own tables: sheet \"" + m_names.at(index) +
               "\" is not where it says";
    SheetReader reader(m_tables, rows);
    int depth = 1;
    bool going = true;
    // A formula whose result is text gives it in the STRING record after it.
    bool pendingText = false;
    std::uint32_t textRow = 0;
    std::uint32_t textColumn = 0;
    for (std::size_t offset = record.next; going && depth > 0;) {
        if (!recordAt(bytes, offset, record))
            return kBroken;
        offset = record.next;
        if (record.type == kBof)
            ++depth; // a chart's records inside the sheet
        else if (record.type == kEof)
            --depth;
        if (depth != 1)
            continue;
        Fields fields(record.body);
        const std::uint32_t row = fields.get(2);
        const std::uint32_t column = fields.get(2);
        const std::uint32_t style = fields.get(2);
        switch (record.type) {
        case kLabelSst: {
            const std::uint32_t string = fields.get(4);
            if (fields.failed())
                return kBroken;
            if (string >= m_tables.ends.size()) {
                rows.fail("a shared string (" + std::to_string(string) + ") past the workbook's " +
                          std::to_string(m_tables.ends.size()) + " strings");
                going = false;
                break;
            }
            going = reader.text(row, column, m_tables.string(string), true);
            break;
        }
        case kLabel: {
            std::string text;
            if (!readString(fields, 2, text))
                return kBroken;
            going = reader.text(row, column, text, false);
            break;
        }
        case kNumber: {
            const std::uint32_t low = fields.get(4);
            const std::uint64_t bits = low | std::uint64_t{fields.get(4)} << 32;
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            if (fields.failed())
                return kBroken;
            going = reader.number(row, column, style, value);
            break;
        }
        case kRk: {
            const double value = rkValue(fields.get(4));
            if (fields.failed())
                return kBroken;
            going = reader.number(row, column, style, value);
            break;
        }
        case kMulRk: {
            // The first cell's style is read above with the cell's fields.
            std::uint32_t at = column;
            std::uint32_t cellStyle = style;
            const std::size_t cells = record.body.size() >= 6 ? (record.body.size() - 6) / 6 : 0;
            for (std::size_t i = 0; i < cells && going; ++i, ++at) {
                if (i > 0)
                    cellStyle = fields.get(2);
                const double value = rkValue(fields.get(4));
                if (fields.failed())
                    return kBroken;
                going = reader.number(row, at, cellStyle, value);
            }
            break;
        }
        case kBoolErr: {
            const std::uint32_t value = fields.get(1);
            const std::uint32_t isError = fields.get(1);
            if (fields.failed())
                return kBroken;
            going = reader.text(row, column,
                                isError ? errorText(value)
                                : value ? "TRUE"
                                        : "FALSE",
                                false);
            break;
        }
        case kFormula: {
            // A number, or past 0xFFFF in its last two bytes the kind of
            // result in its first and a truth or error code in its third.
            const std::uint32_t low = fields.get(4);
            const std::uint32_t high = fields.get(4);
            if (fields.failed())
                return kBroken;
            const unsigned kind = low & 0xFF;
            const unsigned code = (low >> 16) & 0xFF;
            if ((high >> 16) != 0xFFFF) {
                const std::uint64_t bits = low | std::uint64_t{high} << 32;
                double value = 0;
                std::memcpy(&value, &bits, sizeof value);
                going = reader.number(row, column, style, value);
            } else if (kind == 0) {
                pendingText = true;
                textRow = row;
                textColumn = column;
            } else if (kind == 1) {
                going = reader.text(row, column, code ? "TRUE" : "FALSE", false);
            } else if (kind == 2) {
                going = reader.text(row, column, errorText(code), false);
            }
            break;
        }
        case kString: {
            if (!pendingText)
                break;
            Fields text(record.body);
            Record next;
            while (recordAt(bytes, offset, next) && next.type == kContinue) {
                text.more(next.body);
                offset = next.next;
            }
            std::string value;
            if (!readString(text, 2, value))
                return kBroken;
            going = reader.text(textRow, textColumn, value, false);
            pendingText = false;
            break;
        }
        default:
            break;
        }
    }
    if (!going)
        return std::nullopt;
    rows.finish();
    return std::nullopt;
}

XlsBook::XlsBook(const WorkbookSource& source) : m_bytes(source) {}

Error XlsBook::open()
{
    if (m_bytes.openError())
        return m_bytes.openError();
    CompoundFile file(m_bytes);
    if (Error error = file.open())
        return error;
    // An encrypted .xlsx is an OLE2 file of an encrypted package.
    if (file.has("EncryptedPackage"))
        return kEncrypted;
    if (!file.has("Workbook")) {
        if (file.has("Book"))
            return std::string("an Excel 5.0/95 workbook, which is not read: save it as .xlsx");
        return std::string("not a workbook: an OLE2 file with no workbook in it");
    }
    std::string stream;
    if (Error error = file.read("Workbook", stream))
        return error;
    return m_book.open(std::move(stream));
}

} // namespace quarven::books
