#include "trial_file.h"

#include "core/value_conventions.h"
#include "trial_values.h"

#include <csv.h>

#if defined(__GNUC__) && defined(__SSE2__)
#include <emmintrin.h>
#define QUARVEN_SPLIT_SSE2 1
#endif
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define QUARVEN_SPLIT_EIGHT_BYTES 1
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

namespace quarven {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The header is looked for within this much text, so that a file with no
// line break at all is refused rather than held in memory.
constexpr std::size_t kLongestFirstLine = std::size_t{1} << 20;
// No field of a trial comes near this; one that passes it is refused while
// it is read, so that memory does not follow it.
constexpr std::size_t kLongestField = std::size_t{1} << 20;
constexpr const char* kLongFieldMessage = "a field longer than 1 MiB: no trial holds one";
constexpr std::size_t kAbsent = std::numeric_limits<std::size_t>::max();

// A row may be shorter than its header: the missing fields are empty.
std::string_view fieldAt(const std::vector<std::string_view>& fields, std::size_t column)
{
    return column < fields.size() ? fields[column] : std::string_view();
}

bool isName(std::string_view text, std::string_view name)
{
    text = TrimmedBlanks(text);
    if (text.size() != name.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (AsciiLower(text[i]) != name[i])
            return false;
    return true;
}

// Digits with "/", "." or "-" between them: a heading meant as a date.
bool writtenLikeDate(std::string_view text)
{
    text = TrimmedBlanks(text);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return false;
    bool separated = false;
    for (const char c : text) {
        if (c == '/' || c == '.' || c == '-')
            separated = true;
        else if (c < '0' || c > '9')
            return false;
    }
    return separated;
}

// The separator is whichever of tab, semicolon and comma the header line holds
// most often outside quotes; a tie goes in that order, since a comma is the
// likeliest to stand inside a name.
char separatorOf(std::string_view line)
{
    std::size_t tabs = 0;
    std::size_t semicolons = 0;
    std::size_t commas = 0;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '\t')
            ++tabs;
        else if (!quoted && c == ';')
            ++semicolons;
        else if (!quoted && c == ',')
            ++commas;
    }
    if (tabs == 0 && semicolons == 0 && commas == 0)
        return '\0';
    if (tabs >= semicolons && tabs >= commas)
        return '\t';
    return semicolons >= commas ? ';' : ',';
}

// The next place of one byte in a piece of text, found once per piece rather
// than once per line.
class NextByte {
public:
    NextByte(std::string_view text, char byte) : m_text(text), m_byte(byte) { find(0); }
    // Whether the byte occurs in [from, to).
    bool within(std::size_t from, std::size_t to)
    {
        if (m_at < from)
            find(from);
        return m_at < to;
    }
    [[nodiscard]] std::size_t at() const { return m_at; }

private:
    void find(std::size_t from)
    {
        const void* found = from < m_text.size()
                                ? std::memchr(m_text.data() + from, m_byte, m_text.size() - from)
                                : nullptr;
        m_at = found ? static_cast<std::size_t>(static_cast<const char*>(found) - m_text.data())
                     : m_text.size();
    }

    std::string_view m_text;
    char m_byte;
    std::size_t m_at = 0;
};

// How long the field being read has grown, as written (quotes and blanks
// included, the carriage return of a line end not), on the routes that do not
// split a line directly: a line still waiting for its end, and libcsv's. It
// counts the file's lines too, since a quoted field may span several.
class FieldMeter {
public:
    void setSeparator(char separator) { m_separator = separator; }
    // A line that does not continue a quoted field.
    void startLine(std::uint32_t line)
    {
        m_quoted = false;
        m_afterCarriageReturn = false;
        m_length = 0;
        m_line = m_fieldLine = line;
    }
    // False once a field passes kLongestField.
    bool take(std::string_view bytes)
    {
        for (const char c : bytes) {
            if (m_afterCarriageReturn) {
                m_afterCarriageReturn = false;
                if (c != '\n')
                    lineEnd();
            }
            if (c == '\r') {
                m_afterCarriageReturn = true;
                continue;
            }
            if (c == '\n') {
                lineEnd();
                continue;
            }
            if (c == '"') {
                m_quoted = !m_quoted;
            } else if (c == m_separator && !m_quoted) {
                m_length = 0;
                m_fieldLine = m_line;
                continue;
            }
            if (++m_length > kLongestField)
                return false;
        }
        return true;
    }
    // Where the field being read began.
    [[nodiscard]] std::uint32_t fieldLine() const { return m_fieldLine; }

private:
    void lineEnd()
    {
        ++m_line;
        if (!m_quoted) {
            m_length = 0;
            m_fieldLine = m_line;
        }
    }

    char m_separator = ',';
    bool m_quoted = false;
    bool m_afterCarriageReturn = false;
    std::size_t m_length = 0;
    std::uint32_t m_line = 0;
    std::uint32_t m_fieldLine = 0;
};

// Cuts a line into fields at the stops findStops hands it, dropping the
// blanks libcsv drops around an unquoted field.
class FieldCutter {
public:
    FieldCutter(std::string_view text, std::size_t start, char separator,
                std::vector<std::string_view>& fields)
        : m_data(text.data()), m_start(start), m_separator(separator),
          m_otherBlank(separator == '\t' ? ' ' : '\t'), m_fields(fields)
    {
    }
    // At a separator or a line feed: ends the field there, and says whether
    // the line ended too.
    bool operator()(std::size_t i)
    {
        if (m_data[i] == m_separator) {
            field(i);
            m_start = i + 1;
            return false;
        }
        field(i > m_start && m_data[i - 1] == '\r' ? i - 1 : i);
        return true;
    }
    void field(std::size_t last)
    {
        std::size_t first = m_start;
        m_longField |= last - first > kLongestField;
        // Blanks around a field are rare: both ends are first looked at for
        // any byte up to the blank, which both blanks are.
        if (first < last && (static_cast<unsigned char>(m_data[first]) <= ' ' ||
                             static_cast<unsigned char>(m_data[last - 1]) <= ' ')) {
            while (first < last && isBlank(m_data[first]))
                ++first;
            while (last > first && isBlank(m_data[last - 1]))
                --last;
        }
        m_fields.emplace_back(m_data + first, last - first);
    }
    [[nodiscard]] bool longField() const { return m_longField; }

private:
    // A tab is a blank too, unless it is the separator.
    [[nodiscard]] bool isBlank(char c) const { return c == ' ' || c == m_otherBlank; }

    const char* m_data;
    std::size_t m_start;
    char m_separator;
    char m_otherBlank;
    std::vector<std::string_view>& m_fields;
    bool m_longField = false;
};

SplitPath chosenPath(SplitPath path)
{
    if (path != SplitPath::Widest && HasSplitPath(path))
        return path;
#if defined(QUARVEN_SPLIT_SSE2)
    return SplitPath::Sse2;
#elif defined(QUARVEN_SPLIT_EIGHT_BYTES)
    return SplitPath::EightBytes;
#else
    return SplitPath::Bytes;
#endif
}

// Each loop below hands the separators and line feeds of the text from `at`
// on to `stop`, in order, until it answers that the line ended, and returns
// the place after that; or it moves `at` past the whole steps it took and
// returns kAbsent, leaving the rest to a narrower loop.

#if defined(QUARVEN_SPLIT_SSE2)
// A field book's line takes one or two steps. The separator is spread from a
// register: set1_epi8 went through memory, a byte stored and four loaded
// back, which stalled every line.
template <typename Stop>
std::size_t sixteenByteStops(std::string_view text, std::size_t& at, char separator, Stop& stop)
{
    const __m128i separatorBytes =
        _mm_set1_epi32(static_cast<int>(0x01010101U * static_cast<unsigned char>(separator)));
    const __m128i lineFeedBytes = _mm_set1_epi32(0x0A0A0A0A);
    for (; at + 16 <= text.size(); at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        for (auto stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                 _mm_cmpeq_epi8(bytes, separatorBytes), _mm_cmpeq_epi8(bytes, lineFeedBytes))));
             stops != 0; stops &= stops - 1) {
            const std::size_t i = at + static_cast<std::size_t>(__builtin_ctz(stops));
            if (stop(i))
                return i + 1;
        }
    }
    return kAbsent;
}
#endif

#if defined(QUARVEN_SPLIT_EIGHT_BYTES)
// A mask of the bytes that are the separator or a line feed, taken bit by bit.
template <typename Stop>
std::size_t eightByteStops(std::string_view text, std::size_t& at, char separator, Stop& stop)
{
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const std::uint64_t separators = 0x0101010101010101ULL * static_cast<unsigned char>(separator);
    const std::uint64_t lineFeeds = 0x0101010101010101ULL * static_cast<unsigned char>('\n');
    const auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, sizeof word);
        for (std::uint64_t stops = zeroBytes(word ^ separators) | zeroBytes(word ^ lineFeeds);
             stops != 0; stops &= stops - 1) {
            const std::size_t i = at + static_cast<std::size_t>(__builtin_ctzll(stops) / 8);
            if (stop(i))
                return i + 1;
        }
    }
    return kAbsent;
}
#endif

template <typename Stop>
std::size_t byteStops(std::string_view text, std::size_t& at, char separator, Stop& stop)
{
    for (; at < text.size(); ++at)
        if ((text[at] == separator || text[at] == '\n') && stop(at))
            return at + 1;
    return kAbsent;
}

// The one place where a line is searched: the path (never Widest) names the
// loop to begin with.
template <typename Stop>
std::size_t findStops(SplitPath path, std::string_view text, std::size_t at, char separator,
                      Stop& stop)
{
#if defined(QUARVEN_SPLIT_SSE2)
    if (path == SplitPath::Sse2)
        if (const std::size_t next = sixteenByteStops(text, at, separator, stop); next != kAbsent)
            return next;
#endif
#if defined(QUARVEN_SPLIT_EIGHT_BYTES)
    if (path != SplitPath::Bytes)
        if (const std::size_t next = eightByteStops(text, at, separator, stop); next != kAbsent)
            return next;
#endif
    static_cast<void>(path);
    return byteStops(text, at, separator, stop);
}

enum class Role {
    Ignored,
    Plot,
    Date,
    Level,
    Period,
    Group,
    Budding,
    Desiccation,
    Assessment,
    Copied
};

// Headings read as dates, and the first written like a date that is none.
struct HeadingDates {
    std::vector<std::size_t> columns;
    std::size_t notADate = kAbsent;
};

} // namespace

class TrialReader::Impl {
public:
    Impl(TrialVisitor& visitor, Options options)
        : m_visitor(visitor), m_options(options), m_splitPath(chosenPath(options.splitPath))
    {
    }
    ~Impl()
    {
        if (m_parserReady)
            csv_free(&m_parser);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    std::optional<TrialError> read(std::string_view chunk);
    std::optional<TrialError> finish();

private:
    // judgeLength: whether a first line still without its end may be refused
    // for its length.
    bool start(bool atEnd, bool judgeLength = true);
    void learnLineEnds(bool atEnd);
    void appendWithLineFeeds(std::string& out, std::string_view in);
    void readText(std::string_view text);
    void readLines(std::string_view text);
    // metered: how much of the line the field meter has seen while it waited.
    void readLine(std::string_view line, bool plain, std::size_t metered);
    void startPending(std::string_view text);
    std::size_t splitLine(std::string_view text, std::size_t pos, bool atEnd);
    static std::size_t lineEnd(std::string_view text, std::size_t pos);
    bool countLine();
    void endRow(std::uint32_t line, const std::vector<std::string_view>& fields);
    void readHeader(std::uint32_t line, const std::vector<std::string_view>& fields);
    bool matchColumns(std::uint32_t line, const std::vector<std::string_view>& fields,
                      HeadingDates& dates);
    bool chooseLayout(std::uint32_t line, const std::vector<std::string_view>& fields,
                      const HeadingDates& dates);
    void readRow(std::uint32_t line, const std::vector<std::string_view>& fields);
    void fail(std::uint32_t line, std::string message);

    static void onField(void* data, std::size_t size, void* self);
    static void onRowEnd(int terminator, void* self);

    TrialVisitor& m_visitor;
    Options m_options;
    SplitPath m_splitPath;
    std::optional<TrialError> m_error;
    bool m_started = false;
    bool m_headerRead = false;
    std::string m_pending; // a line whose end has not come yet
    // Whether the file's first line break is a carriage return alone, known
    // once that break has been seen. Such a file's lone carriage returns are
    // read as line feeds; one at the end of a piece waits for the next byte.
    bool m_lineEndsKnown = false;
    bool m_carriageReturnLines = false;
    bool m_heldCarriageReturn = false;
    std::string m_withLineFeeds;
    FieldMeter m_meter;
    bool m_longField = false; // splitLine met a field past kLongestField

    csv_parser m_parser{};
    bool m_parserReady = false;
    char m_separator = ',';
    bool m_separatorFound = false;
    std::uint32_t m_lines = 0;      // lines begun so far
    std::uint32_t m_recordLine = 0; // where the record libcsv is reading began
    bool m_inRecord = false;        // libcsv is inside a quoted field across lines
    bool m_rowEnded = false;        // libcsv ended a record in the piece it was handed

    std::vector<std::string_view> m_fields;
    std::string m_fieldText; // libcsv hands fields over one by one; they wait here
    std::vector<std::size_t> m_fieldEnds;

    TrialHeader m_header;
    std::vector<Role> m_roles;
    bool m_someIgnored = false;
    std::size_t m_plot = kAbsent;
    std::size_t m_date = kAbsent;
    std::size_t m_level = kAbsent;
    std::size_t m_period = kAbsent;
    std::size_t m_group = kAbsent;
    std::size_t m_budding = kAbsent;
    std::size_t m_desiccation = kAbsent;
    std::vector<std::size_t> m_copiedColumns;
    std::vector<std::size_t> m_dateColumns; // wide layout
    std::vector<std::string_view> m_copied;
    std::vector<TrialAssessment> m_assessments;
    TrialRow m_row;
    // The header names plot, date and level, and no other column.
    bool m_plotDateLevel = false;
};

void TrialReader::Impl::fail(std::uint32_t line, std::string message)
{
    if (!m_error)
        m_error = TrialError{line, std::move(message)};
}

std::optional<TrialError> TrialReader::Impl::read(std::string_view chunk)
{
    if (m_error)
        return m_error;
    // Until the header is found, the file waits in m_pending. A large first
    // piece is taken a little at a time, and the rest read where it lies, as
    // if it had come in more pieces; the first line's length is judged once
    // the whole piece is in, as it would be in one.
    constexpr std::size_t kWaiting = std::size_t{1} << 12;
    std::size_t taken = 0;
    while (!m_started) {
        const std::string_view part = chunk.substr(taken, kWaiting);
        if (m_carriageReturnLines)
            appendWithLineFeeds(m_pending, part);
        else
            m_pending.append(part);
        taken += part.size();
        const bool whole = taken == chunk.size();
        if (!start(false, whole)) {
            if (m_error || whole)
                return m_error;
            continue;
        }
        std::string first;
        first.swap(m_pending);
        readLines(first);
        if (m_error)
            return m_error;
    }
    readText(chunk.substr(taken));
    return m_error;
}

void TrialReader::Impl::readText(std::string_view text)
{
    if (!m_carriageReturnLines) {
        readLines(text);
        return;
    }
    m_withLineFeeds.clear();
    appendWithLineFeeds(m_withLineFeeds, text);
    readLines(m_withLineFeeds);
}

// The file's first line break decides how its lines end.
void TrialReader::Impl::learnLineEnds(bool atEnd)
{
    const std::size_t lineBreak = m_pending.find_first_of("\r\n");
    if (lineBreak == std::string::npos && !atEnd)
        return;
    if (lineBreak != std::string::npos && m_pending[lineBreak] == '\r' &&
        lineBreak + 1 == m_pending.size() && !atEnd)
        return; // a line feed may follow
    m_lineEndsKnown = true;
    m_carriageReturnLines = lineBreak != std::string::npos && m_pending[lineBreak] == '\r' &&
                            (lineBreak + 1 == m_pending.size() || m_pending[lineBreak + 1] != '\n');
    if (!m_carriageReturnLines)
        return;
    std::string raw;
    raw.swap(m_pending);
    appendWithLineFeeds(m_pending, raw);
    if (atEnd && m_heldCarriageReturn) {
        m_heldCarriageReturn = false;
        m_pending += '\n';
    }
}

// A carriage return with no line feed after it becomes one.
void TrialReader::Impl::appendWithLineFeeds(std::string& out, std::string_view in)
{
    if (in.empty())
        return;
    if (m_heldCarriageReturn) {
        m_heldCarriageReturn = false;
        out += in.front() == '\n' ? '\r' : '\n';
    }
    for (std::size_t from = 0;;) {
        const std::size_t carriageReturn = in.find('\r', from);
        if (carriageReturn == std::string_view::npos) {
            out.append(in.substr(from));
            return;
        }
        out.append(in.substr(from, carriageReturn - from));
        if (carriageReturn + 1 == in.size()) {
            m_heldCarriageReturn = true;
            return;
        }
        out += in[carriageReturn + 1] == '\n' ? '\r' : '\n';
        from = carriageReturn + 1;
    }
}

// Waits for the first line that is not blank, then sets the parser up with
// the separator it shows.
bool TrialReader::Impl::start(bool atEnd, bool judgeLength)
{
    if (m_pending.size() < kByteOrderMark.size() && !atEnd &&
        kByteOrderMark.substr(0, m_pending.size()) == m_pending)
        return false;
    std::size_t from = m_pending.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0
                           ? kByteOrderMark.size()
                           : 0;
    const std::size_t bomEnd = from;
    if (!m_lineEndsKnown)
        learnLineEnds(atEnd);
    if (!m_lineEndsKnown) {
        if (judgeLength && m_pending.size() > kLongestFirstLine)
            fail(1, "no line break in the first 1 MiB: this is not a trial file");
        return false;
    }
    for (;;) {
        const std::size_t end = m_pending.find('\n', from);
        if (end == std::string::npos && !atEnd) {
            if (judgeLength && m_pending.size() > kLongestFirstLine)
                fail(1, "no line break in the first 1 MiB: this is not a trial file");
            return false;
        }
        const std::string_view line =
            std::string_view(m_pending).substr(from, end == std::string::npos ? end : end - from);
        if (!IsBlank(line) && line != "\r") {
            // With none of the three, the header is one column and is refused
            // as such; the comma only keeps both split routes alike till then.
            const char separator = separatorOf(line);
            m_separatorFound = separator != '\0';
            m_separator = m_separatorFound ? separator : ',';
            break;
        }
        if (end == std::string::npos)
            break; // nothing but blank lines: finish() says so
        from = end + 1;
    }
    m_pending.erase(0, bomEnd);
    if (csv_init(&m_parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        fail(1, "out of memory");
        return false;
    }
    m_parserReady = true;
    csv_set_delim(&m_parser, static_cast<unsigned char>(m_separator));
    m_meter.setSeparator(m_separator);
    m_started = true;
    return true;
}

void TrialReader::Impl::readLines(std::string_view text)
{
    std::size_t pos = 0;
    if (!m_pending.empty()) {
        const void* found = std::memchr(text.data(), '\n', text.size());
        if (!found) {
            if (!m_meter.take(text)) {
                fail(m_meter.fieldLine(), kLongFieldMessage);
                return;
            }
            m_pending.append(text);
            return;
        }
        const std::size_t end =
            static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1;
        const std::size_t metered = m_pending.size();
        m_pending.append(text.substr(0, end));
        const std::string_view line = m_pending;
        const std::size_t cr = line.find('\r');
        const bool plain = line.find('"') == std::string_view::npos &&
                           (cr == std::string_view::npos || cr == line.size() - 2);
        readLine(line, plain, metered);
        m_pending.clear();
        pos = end;
    }
    NextByte quote(text, '"');
    NextByte carriageReturn(text, '\r');
    while (pos < text.size() && !m_error) {
        // Most lines are plain: they are split on the way to their end, and
        // handed to libcsv instead when they turn out not to be.
        const bool splitting = !m_inRecord && m_options.splitPlainLines;
        const std::size_t end = splitting ? splitLine(text, pos, false) : lineEnd(text, pos);
        if (end == std::string_view::npos) {
            startPending(text.substr(pos));
            return;
        }
        // A carriage return may end the line just before its line feed.
        const bool plain = !quote.within(pos, end) &&
                           (!carriageReturn.within(pos, end) || carriageReturn.at() == end - 2);
        if (splitting && plain) {
            if (countLine()) {
                // The usual row goes straight on: a plot named, the header read.
                if (m_longField)
                    fail(m_lines, kLongFieldMessage);
                else if (m_plotDateLevel && !m_fields.empty() && !IsBlank(m_fields.front()))
                    readRow(m_lines, m_fields);
                else
                    endRow(m_lines, m_fields);
            }
        } else {
            readLine(text.substr(pos, end - pos), plain, 0);
        }
        pos = end;
    }
}

void TrialReader::Impl::startPending(std::string_view text)
{
    if (!m_inRecord)
        m_meter.startLine(m_lines + 1);
    if (!m_meter.take(text)) {
        fail(m_meter.fieldLine(), kLongFieldMessage);
        return;
    }
    m_pending.assign(text);
}

std::size_t TrialReader::Impl::lineEnd(std::string_view text, std::size_t pos)
{
    const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1
                 : std::string_view::npos;
}

bool TrialReader::Impl::countLine()
{
    if (m_lines == std::numeric_limits<std::uint32_t>::max()) {
        fail(m_lines, "more lines than this program counts");
        return false;
    }
    ++m_lines;
    return true;
}

// Splits the line from pos at the separator into m_fields. Returns where the
// next line begins, or npos when the text ends first (unless atEnd, which
// ends the line there).
std::size_t TrialReader::Impl::splitLine(std::string_view text, std::size_t pos, bool atEnd)
{
    m_fields.clear();
    FieldCutter cutter(text, pos, m_separator, m_fields);
    std::size_t next = findStops(m_splitPath, text, pos, m_separator, cutter);
    if (next == kAbsent) {
        if (!atEnd)
            next = std::string_view::npos;
        else {
            cutter.field(text.size());
            next = text.size();
        }
    }
    m_longField = cutter.longField();
    return next;
}

void TrialReader::Impl::readLine(std::string_view line, bool plain, std::size_t metered)
{
    if (!countLine())
        return;
    if (!m_inRecord && plain && m_options.splitPlainLines) {
        splitLine(line, 0, true);
        if (m_longField)
            fail(m_lines, kLongFieldMessage);
        else
            endRow(m_lines, m_fields);
        return;
    }
    if (metered == 0 && !m_inRecord)
        m_meter.startLine(m_lines);
    if (!m_meter.take(line.substr(metered))) {
        fail(m_meter.fieldLine(), kLongFieldMessage);
        return;
    }
    // A carriage return that no line feed follows ends a line of its own, as
    // libcsv ends a record there.
    for (std::size_t from = 0;;) {
        std::size_t end = line.size();
        for (std::size_t cr = line.find('\r', from); cr != std::string_view::npos;
             cr = line.find('\r', cr + 1)) {
            if (cr + 1 < line.size() && line[cr + 1] != '\n') {
                end = cr + 1;
                break;
            }
        }
        if (!m_inRecord)
            m_recordLine = m_lines;
        const std::string_view piece = line.substr(from, end - from);
        m_rowEnded = false;
        const std::size_t used =
            csv_parse(&m_parser, piece.data(), piece.size(), onField, onRowEnd, this);
        if (m_error)
            return;
        if (used != piece.size()) {
            fail(m_lines, csv_error(&m_parser) == CSV_EPARSE
                              ? "a quote inside a field: a field holding a quote must be quoted "
                                "whole, with each of its quotes doubled"
                              : "out of memory");
            return;
        }
        // The piece ends at a line end; unless a quoted field holds it,
        // libcsv ends the record there.
        m_inRecord = !m_rowEnded;
        if (end == line.size() || !countLine())
            return;
        from = end;
    }
}

void TrialReader::Impl::onField(void* data, std::size_t size, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    impl.m_fieldText.append(static_cast<const char*>(data), size);
    impl.m_fieldEnds.push_back(impl.m_fieldText.size());
}

void TrialReader::Impl::onRowEnd(int, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    impl.m_rowEnded = true;
    if (impl.m_fieldEnds.empty() || impl.m_error)
        return;
    impl.m_fields.clear();
    std::size_t start = 0;
    for (const std::size_t end : impl.m_fieldEnds) {
        impl.m_fields.push_back(std::string_view(impl.m_fieldText).substr(start, end - start));
        start = end;
    }
    impl.endRow(impl.m_recordLine, impl.m_fields);
    impl.m_fieldText.clear();
    impl.m_fieldEnds.clear();
    // The next record begins on this line at the earliest.
    impl.m_recordLine = impl.m_lines;
}

void TrialReader::Impl::endRow(std::uint32_t line, const std::vector<std::string_view>& fields)
{
    // Most rows show it by their first field.
    if ((fields.empty() || IsBlank(fields.front())) &&
        std::all_of(fields.begin(), fields.end(), IsBlank))
        return;
    if (m_headerRead)
        readRow(line, fields);
    else
        readHeader(line, fields);
}

void TrialReader::Impl::readHeader(std::uint32_t line, const std::vector<std::string_view>& fields)
{
    m_headerRead = true;
    m_header.separator = m_separator;
    m_header.line = line;
    if (!m_separatorFound) {
        fail(line, "the header has a single column: its names must be separated by commas, "
                   "semicolons or tabs");
        return;
    }
    HeadingDates dates;
    if (!matchColumns(line, fields, dates) || !chooseLayout(line, fields, dates))
        return;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (m_roles[i] == Role::Copied) {
            m_copiedColumns.push_back(i);
            m_header.copiedNames.emplace_back(fields[i]);
        }
    }
    m_someIgnored = std::find(m_roles.begin(), m_roles.end(), Role::Ignored) != m_roles.end();
    m_copied.assign(m_copiedColumns.size(), std::string_view());
    m_assessments.assign(std::max<std::size_t>(m_dateColumns.size(), 1), TrialAssessment{});
    m_header.hasPeriod = m_period != kAbsent;
    m_header.hasGroup = m_group != kAbsent;
    m_header.hasBudding = m_budding != kAbsent;
    m_header.hasDesiccation = m_desiccation != kAbsent;
    m_plotDateLevel = m_header.layout == TrialLayout::Long && !m_header.hasPeriod &&
                      !m_header.hasGroup && !m_header.hasBudding && !m_header.hasDesiccation &&
                      m_copiedColumns.empty() && !m_someIgnored;
    m_visitor.header(m_header);
}

// Gives each heading its role; headings read as dates wait in `dates` for the
// layout to be known.
bool TrialReader::Impl::matchColumns(std::uint32_t line,
                                     const std::vector<std::string_view>& fields,
                                     HeadingDates& dates)
{
    struct Known {
        std::string_view name;
        Role role;
        std::size_t* column;
    };
    const std::array<Known, 7> known = {{
        {"plot", Role::Plot, &m_plot},
        {"date", Role::Date, &m_date},
        {"level", Role::Level, &m_level},
        {"period", Role::Period, &m_period},
        {"group", Role::Group, &m_group},
        {"budding", Role::Budding, &m_budding},
        {"desiccation", Role::Desiccation, &m_desiccation},
    }};
    m_roles.assign(fields.size(), Role::Copied);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view name = fields[i];
        const auto match = std::find_if(known.begin(), known.end(),
                                        [&](const Known& k) { return isName(name, k.name); });
        if (match != known.end()) {
            if (*match->column != kAbsent) {
                fail(line, "the header names the column " + std::string(match->name) + " twice");
                return false;
            }
            *match->column = i;
            m_roles[i] = match->role;
        } else if (IsBlank(name)) {
            // Spreadsheets leave unnamed columns after the last one; what stands
            // in them is counted as extra fields.
            m_roles[i] = Role::Ignored;
        } else if (ReadTrialDate(name, 2000)) {
            // Read in a leap year here: the date column of 29/02 is known as
            // one, and its cells are refused per plot if the year has no such day.
            dates.columns.push_back(i);
        } else if (dates.notADate == kAbsent && writtenLikeDate(name)) {
            dates.notADate = i;
        }
    }
    return true;
}

// Date and level columns make the long layout, dated headings the wide one.
bool TrialReader::Impl::chooseLayout(std::uint32_t line,
                                     const std::vector<std::string_view>& fields,
                                     const HeadingDates& dates)
{
    if (m_plot == kAbsent) {
        fail(line, "the header names no plot column");
        return false;
    }
    if ((m_date == kAbsent) != (m_level == kAbsent)) {
        fail(line, m_date == kAbsent ? "the header names a level column but no date column"
                                     : "the header names a date column but no level column");
        return false;
    }
    if (m_date != kAbsent) {
        m_header.layout = TrialLayout::Long;
        return true;
    }
    if (dates.columns.empty() && dates.notADate == kAbsent) {
        fail(line, "the header names neither date and level columns nor any assessment date");
        return false;
    }
    // Its assessments would be lost, or the dates read in the wrong order,
    // as a month-first spreadsheet writes them.
    if (dates.notADate != kAbsent) {
        fail(line, "column " + std::to_string(dates.notADate + 1) + " of the header (" +
                       std::string(TrimmedBlanks(fields[dates.notADate])) +
                       ") is written like a date but is none: dates are read day first, "
                       "dd/mm or dd/mm/yyyy");
        return false;
    }
    m_header.layout = TrialLayout::Wide;
    for (const std::size_t column : dates.columns) {
        m_roles[column] = Role::Assessment;
        m_dateColumns.push_back(column);
        m_header.dates.emplace_back(TrimmedBlanks(fields[column]));
    }
    return true;
}

void TrialReader::Impl::readRow(std::uint32_t line, const std::vector<std::string_view>& fields)
{
    if (m_error)
        return;
    // One row object serves every row: it holds only views, each set anew.
    TrialRow& row = m_row;
    row.line = line;
    row.plot = fieldAt(fields, m_plot);
    if (row.plot.empty()) {
        fail(line, "the row names no plot");
        return;
    }
    // The usual book's row names plot, date and level only: its other views
    // stay empty, as the header left them.
    if (!m_plotDateLevel) {
        row.period = fieldAt(fields, m_period);
        row.group = fieldAt(fields, m_group);
        row.budding = fieldAt(fields, m_budding);
        row.desiccation = fieldAt(fields, m_desiccation);
        for (std::size_t i = 0; i < m_copiedColumns.size(); ++i)
            m_copied[i] = fieldAt(fields, m_copiedColumns[i]);
        row.copied = Items<std::string_view>(m_copied.data(), m_copied.size());
    }

    row.extraFields = 0;
    for (std::size_t i = m_someIgnored ? 0 : m_roles.size(); i < fields.size(); ++i)
        if ((i >= m_roles.size() || m_roles[i] == Role::Ignored) && !IsBlank(fields[i]))
            ++row.extraFields;

    std::size_t assessments = 0;
    if (m_header.layout == TrialLayout::Long) {
        TrialAssessment& assessment = m_assessments[0];
        assessment.date = fieldAt(fields, m_date);
        assessment.level = fieldAt(fields, m_level);
        if (!IsBlank(assessment.date) || !IsBlank(assessment.level))
            assessments = 1;
    } else {
        for (std::size_t k = 0; k < m_dateColumns.size(); ++k) {
            const std::string_view level = fieldAt(fields, m_dateColumns[k]);
            if (!IsBlank(level))
                m_assessments[assessments++] = {m_header.dates[k], level};
        }
    }
    row.assessments = Items<TrialAssessment>(m_assessments.data(), assessments);
    m_visitor.row(row);
}

std::optional<TrialError> TrialReader::Impl::finish()
{
    if (m_error)
        return m_error;
    // A carriage return that ends the file ends its last line.
    if (m_heldCarriageReturn) {
        m_heldCarriageReturn = false;
        if (m_started)
            readLines("\n");
        else
            m_pending += '\n';
    }
    if (!m_error && !m_started) {
        if (!start(true))
            return m_error;
        std::string first;
        first.swap(m_pending);
        readLines(first);
    }
    if (!m_error && !m_pending.empty()) {
        const std::string_view line = m_pending;
        // A last line with no line break ends its record here; libcsv is told
        // so through csv_fini below.
        const bool plain =
            line.find('"') == std::string_view::npos && line.find('\r') == std::string_view::npos;
        readLine(line, plain, line.size());
        m_pending.clear();
    }
    if (!m_error && m_parserReady) {
        if (csv_fini(&m_parser, onField, onRowEnd, this) != 0)
            fail(m_recordLine, "a quoted field is not closed before the end of the file");
        m_inRecord = false;
    }
    if (!m_error && !m_headerRead)
        fail(std::max<std::uint32_t>(m_lines, 1), "the file is empty: a header row is needed");
    return m_error;
}

bool HasSplitPath(SplitPath path)
{
    switch (path) {
    case SplitPath::Sse2:
#if defined(QUARVEN_SPLIT_SSE2)
        return true;
#else
        return false;
#endif
    case SplitPath::EightBytes:
#if defined(QUARVEN_SPLIT_EIGHT_BYTES)
        return true;
#else
        return false;
#endif
    case SplitPath::Widest:
    case SplitPath::Bytes:
        break;
    }
    return true;
}

TrialReader::TrialReader(TrialVisitor& visitor) : TrialReader(visitor, Options{}) {}

TrialReader::TrialReader(TrialVisitor& visitor, Options options)
    : m_impl(std::make_unique<Impl>(visitor, options))
{
}

TrialReader::~TrialReader() = default;

std::optional<TrialError> TrialReader::read(std::string_view chunk)
{
    return m_impl->read(chunk);
}

std::optional<TrialError> TrialReader::finish()
{
    return m_impl->finish();
}

std::optional<TrialError> ReadTrial(std::string_view text, TrialVisitor& visitor,
                                    TrialReader::Options options)
{
    TrialReader reader(visitor, options);
    if (std::optional<TrialError> error = reader.read(text))
        return error;
    return reader.finish();
}

} // namespace quarven
