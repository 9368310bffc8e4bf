#include "book_rows.h"

#include "core/value_conventions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quarven::books {
namespace {

// 1 January 1970 as 0; Howard Hinnant's civil-from-days.
void appendCivil(std::string& text, long days)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long shifted = (5 * dayOfYear + 2) / 153;
    const long day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const long month = shifted < 10 ? shifted + 3 : shifted - 9;
    const long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char buffer[16];
    const int digits[] = {static_cast<int>(year / 1000), static_cast<int>(year / 100 % 10),
                          static_cast<int>(year / 10 % 10), static_cast<int>(year % 10)};
    buffer[0] = static_cast<char>('0' + digits[0]);
    buffer[1] = static_cast<char>('0' + digits[1]);
    buffer[2] = static_cast<char>('0' + digits[2]);
    buffer[3] = static_cast<char>('0' + digits[3]);
    buffer[4] = '-';
    buffer[5] = static_cast<char>('0' + month / 10);
    buffer[6] = static_cast<char>('0' + month % 10);
    buffer[7] = '-';
    buffer[8] = static_cast<char>('0' + day / 10);
    buffer[9] = static_cast<char>('0' + day % 10);
    text.append(buffer, 10);
}

// Days from 1 January 1970 to the two systems' day 0.
constexpr long k1899December30 = -25569;
constexpr long k1904January1 = -24107;
constexpr double kLastSerial1900 = 2958465; // 31 December 9999
constexpr double kLastSerial1904 = kLastSerial1900 - 1462;

} // namespace

NumberShow ShowOfFormatCode(std::string_view code)
{
    bool day = false;
    bool month = false;
    bool time = false;
    bool percent = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = AsciiLower(code[i]);
        if (c == '"') {
            // Quoted text shows as it is.
            const std::size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos)
                break;
            i = close;
        } else if (c == '[') {
            // Colours, conditions and locales; [h], [mm] and [ss] are
            // elapsed time.
            const std::size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos)
                break;
            const std::string_view inside = code.substr(i + 1, close - i - 1);
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                time = true;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i; // an escaped, padding or fill character
        } else if (c == 'd' || c == 'y') {
            day = true;
        } else if (c == 'm') {
            month = true;
        } else if (c == 'h' || c == 's') {
            time = true;
        } else if (c == '%') {
            percent = true;
        }
    }
    // "mm" beside hours or seconds is minutes.
    if (day || (month && !time))
        return NumberShow::Date;
    return percent ? NumberShow::Percent : NumberShow::Plain;
}

NumberShow ShowOfBuiltinFormat(unsigned id)
{
    if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58))
        return NumberShow::Date;
    if (id == 9 || id == 10)
        return NumberShow::Percent;
    return NumberShow::Plain;
}

void AppendNumber(std::string& text, double value)
{
    if (value == 0) {
        text += '0'; // and never "-0"
        return;
    }
    // The shortest fixed text of a double is at most 309 digits and a sign,
    // a point and 324 more for the smallest.
    char buffer[700];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    text.append(buffer, written.ptr);
}

bool AppendSerialDate(std::string& text, double serial, DateSystem system)
{
    // A time of day within half a millisecond of midnight shows as the next
    // day, as the spreadsheet shows it.
    const double day = std::floor(serial + 0.5 / 86400000.0);
    if (system == DateSystem::From1904) {
        if (!(day >= 0 && day <= kLastSerial1904))
            return false;
        appendCivil(text, k1904January1 + static_cast<long>(day));
        return true;
    }
    if (!(day >= 1 && day <= kLastSerial1900))
        return false;
    if (day == 60) {
        text += "1900-02-29"; // Lotus 1-2-3's leap day, kept by Excel
        return true;
    }
    // Days before the fictitious one count from 31 December 1899.
    appendCivil(text, k1899December30 + static_cast<long>(day) + (day < 60 ? 1 : 0));
    return true;
}

void AppendShown(std::string& text, double value, NumberShow show, DateSystem system)
{
    if (show == NumberShow::Date && std::isfinite(value) && AppendSerialDate(text, value, system))
        return;
    if (show == NumberShow::Percent && std::isfinite(value)) {
        // Fifteen digits, so that 0.35 shows as 35% and not 35.00000000000001%.
        char buffer[64];
        const std::to_chars_result written = std::to_chars(
            buffer, buffer + sizeof buffer, value * 100, std::chars_format::general, 15);
        text.append(buffer, written.ptr);
        text += '%';
        return;
    }
    AppendNumber(text, value);
}

SheetRows::SheetRows(FieldSink& sink) : m_sink(sink)
{
    // The results of a workbook are written as those of a CSV file.
    m_sink.separator(',');
}

bool SheetRows::fail(std::string message)
{
    if (!m_error)
        m_error = TrialError{std::max<std::uint32_t>(m_row, 1), std::move(message)};
    m_stopped = true;
    return false;
}

bool SheetRows::failAt(std::uint32_t row, std::string message)
{
    m_row = row;
    return fail(std::move(message));
}

bool SheetRows::passOn(std::uint32_t line, Items<std::string_view> fields)
{
    if (m_stopped)
        return false;
    m_row = line;
    if (line <= m_lastRecord)
        return fail("the rows of the sheet are out of order");
    m_lastRecord = line;
    m_lastRow = std::max(m_lastRow, line);
    if (!m_sink.record(line, fields)) {
        m_stopped = true;
        return false;
    }
    return true;
}

bool SheetRows::beginRow(std::uint32_t row)
{
    if (m_stopped)
        return false;
    if (row == 0 || row > kMaxRows)
        return fail("a row past the sheet's last, " + std::to_string(kMaxRows));
    m_row = row;
    m_inRow = true;
    m_text.clear();
    m_cellsOfRow.clear();
    return true;
}

bool SheetRows::place(std::uint32_t column, Cell cell)
{
    if (column >= kMaxColumns)
        return fail("a cell past the sheet's last column, " + std::to_string(kMaxColumns));
    if (cell.size == 0)
        return true;
    if (++m_cells > kMaxCells)
        return fail("the sheet holds more than " + std::to_string(kMaxCells) +
                    " cells: no field book is that large");
    if (m_cellsOfRow.size() <= column)
        m_cellsOfRow.resize(column + std::size_t{1});
    m_cellsOfRow[column] = cell;
    return true;
}

bool SheetRows::text(std::uint32_t column, std::string_view text, bool lasting)
{
    if (m_stopped)
        return false;
    text = TrimmedBlanks(text);
    if (text.size() > kMaxCellBytes)
        return fail("a cell longer than 1 MiB: no trial holds one");
    if (lasting)
        return place(column, Cell{text.data(), 0, text.size()});
    const std::size_t offset = m_text.size();
    m_text.append(text);
    return place(column, Cell{nullptr, offset, text.size()});
}

bool SheetRows::number(std::uint32_t column, double value, NumberShow show, DateSystem system)
{
    if (m_stopped)
        return false;
    const std::size_t offset = m_text.size();
    AppendShown(m_text, value, show, system);
    return place(column, Cell{nullptr, offset, m_text.size() - offset});
}

bool SheetRows::repeat(std::uint32_t column, std::uint32_t count)
{
    if (m_stopped)
        return false;
    if (column >= m_cellsOfRow.size() || m_cellsOfRow[column].size == 0 || count == 0)
        return true;
    if (count >= kMaxColumns || column + count >= kMaxColumns)
        return fail("a cell past the sheet's last column, " + std::to_string(kMaxColumns));
    const Cell cell = m_cellsOfRow[column];
    for (std::uint32_t i = 1; i <= count; ++i)
        if (!place(column + i, cell))
            return false;
    return true;
}

bool SheetRows::endRow(std::uint32_t times)
{
    if (m_stopped)
        return false;
    m_inRow = false;
    if (m_cellsOfRow.empty()) {
        // Empty rows are skipped, however many, and wherever they stand.
        m_lastRow = std::max(m_lastRow, m_row + (times > 0 ? times - 1 : 0));
        return true;
    }
    if (m_row <= m_lastRecord)
        return fail("the rows of the sheet are out of order");
    m_fields.resize(m_cellsOfRow.size());
    for (std::size_t i = 0; i < m_cellsOfRow.size(); ++i) {
        const Cell& cell = m_cellsOfRow[i];
        m_fields[i] = cell.lasting != nullptr
                          ? std::string_view(cell.lasting, cell.size)
                          : std::string_view(m_text.data() + cell.offset, cell.size);
    }
    if (times > 1 && (m_cells += std::uint64_t{m_cellsOfRow.size()} * (times - 1)) > kMaxCells)
        return fail("the sheet holds more than " + std::to_string(kMaxCells) +
                    " cells: no field book is that large");
    for (std::uint32_t i = 0; i < times; ++i) {
        if (std::uint64_t{m_row} + i > kMaxRows)
            return fail("a row past the sheet's last, " + std::to_string(kMaxRows));
        if (!m_sink.record(m_row + i, Items<std::string_view>(m_fields.data(), m_fields.size()))) {
            m_stopped = true;
            return false;
        }
    }
    m_lastRecord = m_row + (times > 0 ? times - 1 : 0);
    m_lastRow = std::max(m_lastRow, m_lastRecord);
    return true;
}

void SheetRows::seenRow(std::uint32_t row)
{
    m_lastRow = std::max(m_lastRow, row);
}

void SheetRows::finish()
{
    if (m_inRow)
        endRow();
    if (!m_stopped)
        m_sink.end(std::max<std::uint32_t>(m_lastRow, 1));
}

} // namespace quarven::books
