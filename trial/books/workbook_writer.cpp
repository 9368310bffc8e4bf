#include "workbook_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarven {

struct WorkbookWriter::Sheet {
    lxw_worksheet* sheet = nullptr;
    std::vector<SheetColumn> columns;
    std::vector<lxw_format*> formats; // of each Number column's cells
    lxw_row_t row = 0;                // the next
};

struct WorkbookWriter::Formats {
    std::map<int, lxw_format*> decimals;
    lxw_format* isoDate = nullptr;
    lxw_format* dayMonth = nullptr;
    // The program's locale with C's numbers, or none when it cannot be made.
    locale_t numbers = nullptr;

    Formats()
    {
        if (const locale_t current = ::duplocale(::uselocale(nullptr)))
            if (!(numbers = ::newlocale(LC_NUMERIC_MASK, "C", current)))
                ::freelocale(current);
    }
    ~Formats()
    {
        if (numbers)
            ::freelocale(numbers);
    }
    Formats(const Formats&) = delete;
    Formats& operator=(const Formats&) = delete;
};

namespace {

// libxlsxwriter as Debian builds it writes numbers through printf, whose
// decimal mark is the locale's: "0,2833" in a workbook's XML is no number.
// Its calls are made with C's numbers on this thread only.
class CNumbers {
public:
    explicit CNumbers(locale_t numbers) : m_saved(numbers ? ::uselocale(numbers) : nullptr) {}
    ~CNumbers()
    {
        if (m_saved)
            ::uselocale(m_saved);
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t m_saved;
};

// libxlsxwriter tells its own failures on standard error, in lines of its
// own; the caller tells them once, in its words.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved < 0 || null < 0 || ::dup2(null, STDERR_FILENO) < 0) {
            if (m_saved >= 0)
                ::close(m_saved);
            m_saved = -1;
        }
        if (null >= 0)
            ::close(null);
    }
    ~QuietStandardError()
    {
        if (m_saved < 0)
            return;
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a regular file's place may not be; empty when it may be written.
std::string targetRefusal(const std::string& path, struct stat& status)
{
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    if (S_ISDIR(status.st_mode))
        return "is a folder";
    if (!S_ISREG(status.st_mode))
        return "is not a regular file";
    return {};
}

int syncFile(int handle)
{
#if defined(__linux__)
    return ::fdatasync(handle) == 0 ? 0 : errno;
#else
    return ::fsync(handle) == 0 ? 0 : errno;
#endif
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits with one point or comma at most, after an optional minus.
bool readNumber(std::string_view text, double& value)
{
    std::array<char, 40> plain{};
    if (text.empty() || text.size() > plain.size())
        return false;
    bool point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ',')
            c = '.';
        if (c == '.' ? point : !isDigit(c) && !(c == '-' && i == 0))
            return false;
        point = point || c == '.';
        plain[i] = c;
    }
    const auto read = std::from_chars(plain.data(), plain.data() + text.size(), value);
    return read.ec == std::errc() && read.ptr == plain.data() + text.size();
}

// A text that a number cell gives back unchanged and that a spreadsheet's
// General format shows whole: no sign but a minus, no leading zero, no
// trailing zero after a point, no exponent, at most 10 digits.
bool readPlainNumber(std::string_view text, double& value)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '-')
        digits.remove_prefix(1);
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    if (whole.empty() || (whole.size() > 1 && whole.front() == '0'))
        return false;
    std::size_t count = whole.size();
    if (point != std::string_view::npos) {
        const std::string_view fraction = digits.substr(point + 1);
        if (fraction.empty() || fraction.back() == '0')
            return false;
        count += fraction.size();
    }
    if (count > 10 || digits.find(',') != std::string_view::npos || !readNumber(text, value))
        return false;
    // A spreadsheet shows -0 as 0.
    return !(value == 0 && text.front() == '-');
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

int digitsOf(std::string_view text)
{
    int value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "yyyy-mm-dd", or "dd/mm" in `year`; the day of a date cell, which Excel's
// calendar holds from 1 March 1900 on (it counts a 29 February 1900).
bool readDate(std::string_view text, int year, lxw_datetime& date, bool& iso)
{
    iso = text.size() == 10 && text[4] == '-' && text[7] == '-';
    int day = 0;
    int month = 0;
    if (iso) {
        year = digitsOf(text.substr(0, 4));
        month = digitsOf(text.substr(5, 2));
        day = digitsOf(text.substr(8, 2));
    } else if (text.size() == 5 && text[2] == '/') {
        day = digitsOf(text.substr(0, 2));
        month = digitsOf(text.substr(3, 2));
    } else {
        return false;
    }
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || (year == 1900 && month < 3))
        return false;
    date = lxw_datetime{year, static_cast<uint8_t>(month), static_cast<uint8_t>(day), 0, 0, 0};
    return true;
}

// Valid UTF-8 with no NUL (each bad byte a U+FFFD), "_xHHHH_" kept from
// being read as an escaped character, and no more characters than a cell
// holds.
void appendCellText(std::string& out, std::string_view text)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size() && characters < kMostCellCharacters; ++characters) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '_' && at + 6 < text.size() && text[at + 1] == 'x' && text[at + 6] == '_' &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 2,
                        text.begin() + static_cast<std::ptrdiff_t>(at) + 6,
                        [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); })) {
            out += "_x005F_";
            ++at;
            continue;
        }
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                                   : c >= 0xE0 && c <= 0xEF ? 3
                                   : c >= 0xF0 && c <= 0xF4 ? 4
                                                            : 0;
        // The second byte's range rules out overlong forms, surrogates and
        // code points past U+10FFFF.
        const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        bool valid = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            valid = i == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (valid) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += kReplacement;
            ++at;
        }
        if (characters + 1 == kMostCellCharacters && at < text.size()) {
            // The last character that fits gives way to an ellipsis.
            out.erase(out.size() - (valid ? length : kReplacement.size()));
            out += "\xE2\x80\xA6";
        }
    }
}

} // namespace

WorkbookWriter::WorkbookWriter(std::string path, int year)
    : m_path(std::move(path)), m_year(year), m_formats(std::make_unique<Formats>())
{
    struct stat target {};
    if (std::string refusal = targetRefusal(m_path, target); !refusal.empty()) {
        fail(std::move(refusal));
        return;
    }
    const bool exists = S_ISREG(target.st_mode);
    // Beside the target, so that the rename is one step on one file system.
    static std::atomic<unsigned> made{0};
    int handle = -1;
    for (unsigned attempt = 0; handle < 0 && attempt < 100; ++attempt) {
        const auto stamp = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.%llx", static_cast<long>(::getpid()),
                      made.fetch_add(1), stamp & 0xFFFFFFULL);
        m_temporary = m_path + suffix;
        handle = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle < 0 && errno != EEXIST) {
            m_temporary.clear();
            failWithErrno(errno, "cannot make a temporary file");
            return;
        }
    }
    if (handle < 0) {
        m_temporary.clear();
        fail("cannot make a temporary file");
        return;
    }
    // The permissions of the file it replaces, as any other output keeps them.
    if (exists)
        (void)::fchmod(handle, target.st_mode & 07777);
    ::close(handle);
    m_folder = folderOf(m_path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_folder.data();
    const CNumbers numbers(m_formats->numbers);
    m_book = workbook_new_opt(m_temporary.c_str(), &options);
    if (!m_book)
        fail("out of memory");
}

WorkbookWriter::~WorkbookWriter()
{
    discard();
}

void WorkbookWriter::fail(std::string reason)
{
    if (m_error.empty())
        m_error = reason.empty() ? std::string("cannot write the workbook") : std::move(reason);
}

void WorkbookWriter::failWithErrno(int error, std::string_view otherwise)
{
    fail(error != 0 ? std::string(std::strerror(error)) : std::string(otherwise));
}

std::size_t WorkbookWriter::addSheet(std::string_view name, const std::vector<SheetColumn>& columns)
{
    m_sheets.push_back(std::make_unique<Sheet>());
    const std::size_t number = m_sheets.size() - 1;
    if (failed())
        return number;
    if (columns.size() > kMostSheetColumns) {
        fail("more columns than a sheet holds (" + std::to_string(kMostSheetColumns) + ")");
        return number;
    }
    Sheet& sheet = *m_sheets.back();
    const CNumbers numbers(m_formats->numbers);
    {
        const QuietStandardError quiet;
        errno = 0;
        sheet.sheet = workbook_add_worksheet(m_book, std::string(name).c_str());
    }
    if (!sheet.sheet) {
        failWithErrno(errno, "cannot make the sheet " + std::string(name));
        return number;
    }
    sheet.columns = columns;
    sheet.formats.assign(columns.size(), nullptr);
    for (std::size_t column = 0; column < columns.size(); ++column) {
        const SheetColumn& kind = columns[column];
        if (kind.kind == CellKind::Number && kind.decimals >= 0) {
            lxw_format*& format = m_formats->decimals[kind.decimals];
            if (!format) {
                format = workbook_add_format(m_book);
                const std::string code =
                    kind.decimals == 0
                        ? "0"
                        : "0." + std::string(static_cast<std::size_t>(kind.decimals), '0');
                format_set_num_format(format, code.c_str());
            }
            sheet.formats[column] = format;
        }
        // Wide enough for its name and a date: a narrower date shows as ####.
        const std::size_t width =
            std::max<std::size_t>(kind.name.size(), kind.kind == CellKind::Date ? 10 : 8);
        worksheet_set_column(sheet.sheet, static_cast<lxw_col_t>(column),
                             static_cast<lxw_col_t>(column), static_cast<double>(width) + 1.5,
                             nullptr);
    }
    worksheet_freeze_panes(sheet.sheet, 1, 0);
    errno = 0;
    for (std::size_t column = 0; column < columns.size(); ++column)
        writeText(sheet, column, columns[column].name);
    ++sheet.row;
    checkSheetFile(sheet);
    return number;
}

void WorkbookWriter::addRow(std::size_t number, Items<std::string_view> cells)
{
    if (failed() || number >= m_sheets.size() || !m_sheets[number]->sheet)
        return;
    Sheet& sheet = *m_sheets[number];
    const CNumbers numbers(m_formats->numbers);
    if (sheet.row >= kMostSheetRows) {
        fail("more rows than a sheet holds (" + std::to_string(kMostSheetRows) + ")");
        return;
    }
    // The previous row goes to the sheet's file as this one's first cell
    // comes; errno then tells why it could not.
    errno = 0;
    const std::size_t count = std::min(cells.size(), sheet.columns.size());
    for (std::size_t column = 0; column < count && !failed(); ++column)
        if (!cells[column].empty())
            writeCell(sheet, column, cells[column]);
    ++sheet.row;
    checkSheetFile(sheet);
}

void WorkbookWriter::writeCell(Sheet& sheet, std::size_t column, std::string_view text)
{
    const auto col = static_cast<lxw_col_t>(column);
    double value = 0.0;
    lxw_error error = LXW_NO_ERROR;
    switch (sheet.columns[column].kind) {
    case CellKind::Number:
        if (!readNumber(text, value))
            return writeText(sheet, column, text);
        error = worksheet_write_number(sheet.sheet, sheet.row, col, value, sheet.formats[column]);
        break;
    case CellKind::Date: {
        lxw_datetime date{};
        bool iso = false;
        if (!readDate(text, m_year, date, iso))
            return writeText(sheet, column, text);
        lxw_format*& format = iso ? m_formats->isoDate : m_formats->dayMonth;
        if (!format) {
            format = workbook_add_format(m_book);
            format_set_num_format(format, iso ? "yyyy-mm-dd" : "dd/mm");
        }
        error = worksheet_write_datetime(sheet.sheet, sheet.row, col, &date, format);
        break;
    }
    case CellKind::Name:
        if (!readPlainNumber(text, value))
            return writeText(sheet, column, text);
        error = worksheet_write_number(sheet.sheet, sheet.row, col, value, nullptr);
        break;
    case CellKind::Text:
        return writeText(sheet, column, text);
    }
    if (error != LXW_NO_ERROR)
        fail(lxw_strerror(error));
}

void WorkbookWriter::writeText(Sheet& sheet, std::size_t column, std::string_view text)
{
    m_cell.clear();
    appendCellText(m_cell, text);
    // A string cell, never a formula, whatever it begins with.
    const lxw_error error = worksheet_write_string(
        sheet.sheet, sheet.row, static_cast<lxw_col_t>(column), m_cell.c_str(), nullptr);
    if (error != LXW_NO_ERROR)
        fail(lxw_strerror(error));
}

// libxlsxwriter does not look at its writes to a sheet's file, so a full disk
// would give a workbook cut short and no error: they are looked at here.
void WorkbookWriter::checkSheetFile(Sheet& sheet)
{
    std::FILE* file = sheet.sheet ? sheet.sheet->optimize_tmpfile : nullptr;
    if (file && std::ferror(file))
        failWithErrno(errno, "cannot write the sheet's temporary file");
}

bool WorkbookWriter::finish()
{
    if (m_finished || failed()) {
        if (failed())
            discard();
        return !failed();
    }
    errno = 0;
    for (const std::unique_ptr<Sheet>& sheet : m_sheets)
        if (sheet->sheet && sheet->sheet->optimize_tmpfile &&
            std::fflush(sheet->sheet->optimize_tmpfile) != 0)
            failWithErrno(errno, "cannot write the sheet's temporary file");
    for (const std::unique_ptr<Sheet>& sheet : m_sheets)
        checkSheetFile(*sheet);
    if (failed()) {
        discard();
        return false;
    }
    lxw_error closed = LXW_NO_ERROR;
    {
        const QuietStandardError quiet;
        const CNumbers numbers(m_formats->numbers);
        errno = 0;
        closed = workbook_close(m_book);
    }
    const int closeError = errno;
    m_book = nullptr;
    m_sheets.clear();
    if (closed != LXW_NO_ERROR) {
        failWithErrno(closeError, lxw_strerror(closed));
        discard();
        return false;
    }
    // libxlsxwriter closes its file without a sync: it is synced here, where
    // a failed write-back is told.
    const int handle = ::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        failWithErrno(errno, "cannot open the written workbook");
    } else {
        if (const int error = syncFile(handle))
            failWithErrno(error, "cannot sync the workbook");
        if (::close(handle) != 0)
            failWithErrno(errno, "cannot close the workbook");
    }
    if (failed()) {
        discard();
        return false;
    }
    m_finished = true;
    return true;
}

bool WorkbookWriter::commit()
{
    if (!finish())
        return false;
    if (m_committed)
        return true;
    // What may have taken the target's place since it was looked at.
    struct stat target {};
    if (std::string refusal = targetRefusal(m_path, target); !refusal.empty()) {
        fail(std::move(refusal));
        discard();
        return false;
    }
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        failWithErrno(errno, "cannot rename the workbook");
        discard();
        return false;
    }
    m_committed = true;
    m_temporary.clear();
    // The rename itself on the disk; some file systems cannot sync a folder.
    const int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        if (::fsync(folder) != 0 && errno != EINVAL && errno != ENOTSUP)
            failWithErrno(errno, "cannot sync the folder");
        ::close(folder);
    }
    return !failed();
}

void WorkbookWriter::discard()
{
    if (m_book) {
        lxw_workbook_free(m_book);
        m_book = nullptr;
    }
    m_sheets.clear();
    if (!m_temporary.empty() && !m_committed) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

} // namespace quarven
