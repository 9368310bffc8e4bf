#include "trial_tokenizer.h"

#include "core/value_conventions.h"
#include "line_split.h"

#include <csv.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace quarven {
namespace {

using line_split::kAbsent;
using line_split::kLongestField;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The header is looked for within this much text, so that a file with no
// line break at all is refused rather than held in memory.
constexpr std::size_t kLongestFirstLine = std::size_t{1} << 20;
constexpr const char* kLongFieldMessage = "a field longer than 1 MiB: no trial holds one";

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

} // namespace

class TrialTokenizer::Impl {
public:
    Impl(FieldSink& sink, Options options)
        : m_sink(sink), m_options(options), m_splitPath(line_split::ChosenPath(options.splitPath))
    {
    }
    ~Impl()
    {
        if (m_parserReady)
            csv_free(&m_parser);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void read(std::string_view chunk);
    void finish();
    [[nodiscard]] const std::optional<TrialError>& error() const { return m_error; }

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
    QUARVEN_SPLIT_INLINE std::size_t splitLine(std::string_view text, std::size_t pos, bool atEnd);
    // Whether a field of a line too long to pass unmeasured is too long.
    [[gnu::cold]] bool measureFields(std::string_view text, std::size_t pos, bool atEnd);
    static std::size_t lineEnd(std::string_view text, std::size_t pos);
    bool countLine();
    void hand(std::uint32_t line);
    [[nodiscard]] bool stopped() const { return m_error || m_refused; }
    void fail(std::uint32_t line, std::string message);

    static void onField(void* data, std::size_t size, void* self);
    static void onRowEnd(int terminator, void* self);

    FieldSink& m_sink;
    Options m_options;
    SplitPath m_splitPath;
    std::optional<TrialError> m_error;
    bool m_refused = false; // by the sink
    bool m_started = false;
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
    char m_otherBlank = line_split::OtherBlank(',');
    std::uint32_t m_lines = 0;      // lines begun so far
    std::uint32_t m_recordLine = 0; // where the record libcsv is reading began
    bool m_inRecord = false;        // libcsv is inside a quoted field across lines
    bool m_rowEnded = false;        // libcsv ended a record in the piece it was handed

    std::vector<std::string_view> m_fields; // its size is its room
    std::size_t m_fieldCount = 0;
    std::string m_fieldText; // libcsv hands fields over one by one; they wait here
    std::vector<std::size_t> m_fieldEnds;
};

void TrialTokenizer::Impl::fail(std::uint32_t line, std::string message)
{
    if (!m_error)
        m_error = TrialError{line, std::move(message)};
}

void TrialTokenizer::Impl::hand(std::uint32_t line)
{
    if (!m_sink.record(line, Items<std::string_view>(m_fields.data(), m_fieldCount)))
        m_refused = true;
}

void TrialTokenizer::Impl::read(std::string_view chunk)
{
    if (stopped())
        return;
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
            if (stopped() || whole)
                return;
            continue;
        }
        std::string first;
        first.swap(m_pending);
        readLines(first);
        if (stopped())
            return;
    }
    readText(chunk.substr(taken));
}

void TrialTokenizer::Impl::readText(std::string_view text)
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
void TrialTokenizer::Impl::learnLineEnds(bool atEnd)
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
void TrialTokenizer::Impl::appendWithLineFeeds(std::string& out, std::string_view in)
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
bool TrialTokenizer::Impl::start(bool atEnd, bool judgeLength)
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
            // With none of the three, the header is refused as one column; the
            // comma only keeps both split routes alike till then.
            const char separator = separatorOf(line);
            m_separator = separator != '\0' ? separator : ',';
            m_otherBlank = line_split::OtherBlank(m_separator);
            m_sink.separator(separator);
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

void TrialTokenizer::Impl::readLines(std::string_view text)
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
                           line.find('\0') == std::string_view::npos &&
                           (cr == std::string_view::npos || cr == line.size() - 2);
        readLine(line, plain, metered);
        m_pending.clear();
        pos = end;
    }
    NextByte quote(text, '"');
    NextByte carriageReturn(text, '\r');
    NextByte nul(text, '\0');
    while (pos < text.size() && !stopped()) {
        // Most lines are plain: they are split on the way to their end, and
        // handed to libcsv instead when they turn out not to be.
        const bool splitting = !m_inRecord && m_options.splitPlainLines;
        const std::size_t end = splitting ? splitLine(text, pos, false) : lineEnd(text, pos);
        if (end == std::string_view::npos) {
            startPending(text.substr(pos));
            return;
        }
        // A carriage return may end the line just before its line feed.
        const bool plain = !quote.within(pos, end) && !nul.within(pos, end) &&
                           (!carriageReturn.within(pos, end) || carriageReturn.at() == end - 2);
        if (splitting && plain) {
            if (countLine()) {
                if (m_longField)
                    fail(m_lines, kLongFieldMessage);
                else
                    hand(m_lines);
            }
        } else {
            readLine(text.substr(pos, end - pos), plain, 0);
        }
        pos = end;
    }
}

void TrialTokenizer::Impl::startPending(std::string_view text)
{
    if (!m_inRecord)
        m_meter.startLine(m_lines + 1);
    if (!m_meter.take(text)) {
        fail(m_meter.fieldLine(), kLongFieldMessage);
        return;
    }
    m_pending.assign(text);
}

std::size_t TrialTokenizer::Impl::lineEnd(std::string_view text, std::size_t pos)
{
    const void* found = std::memchr(text.data() + pos, '\n', text.size() - pos);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) + 1
                 : std::string_view::npos;
}

bool TrialTokenizer::Impl::countLine()
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
std::size_t TrialTokenizer::Impl::splitLine(std::string_view text, std::size_t pos, bool atEnd)
{
    line_split::FieldCutter<false> cutter(text, pos, m_separator, m_otherBlank, m_fields);
    std::size_t next = line_split::FindStops(m_splitPath, text, pos, m_separator, cutter);
    if (next == kAbsent) {
        if (!atEnd)
            return std::string_view::npos;
        cutter.field(text.size());
        next = text.size();
    }
    m_fieldCount = cutter.count();
    m_longField = next - pos > kLongestField && measureFields(text, pos, atEnd);
    return next;
}

bool TrialTokenizer::Impl::measureFields(std::string_view text, std::size_t pos, bool atEnd)
{
    line_split::FieldCutter<true> cutter(text, pos, m_separator, m_otherBlank, m_fields);
    if (line_split::FindStops(SplitPath::Bytes, text, pos, m_separator, cutter) == kAbsent && atEnd)
        cutter.field(text.size());
    return cutter.longField();
}

void TrialTokenizer::Impl::readLine(std::string_view line, bool plain, std::size_t metered)
{
    if (!countLine())
        return;
    if (!m_inRecord && plain && m_options.splitPlainLines) {
        splitLine(line, 0, true);
        if (m_longField)
            fail(m_lines, kLongFieldMessage);
        else
            hand(m_lines);
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
        if (stopped())
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

void TrialTokenizer::Impl::onField(void* data, std::size_t size, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    // A NUL byte would cut a name where C strings and accessible texts end:
    // the results, the Trial window and Go to plot all read U+FFFD instead.
    std::string_view bytes(static_cast<const char*>(data), size);
    for (std::size_t nul = bytes.find('\0'); nul != std::string_view::npos;
         nul = bytes.find('\0')) {
        impl.m_fieldText.append(bytes.substr(0, nul));
        impl.m_fieldText.append("\xEF\xBF\xBD");
        bytes.remove_prefix(nul + 1);
    }
    impl.m_fieldText.append(bytes);
    impl.m_fieldEnds.push_back(impl.m_fieldText.size());
}

void TrialTokenizer::Impl::onRowEnd(int, void* self)
{
    auto& impl = *static_cast<Impl*>(self);
    impl.m_rowEnded = true;
    if (impl.m_fieldEnds.empty() || impl.stopped())
        return;
    impl.m_fields.clear();
    std::size_t start = 0;
    for (const std::size_t end : impl.m_fieldEnds) {
        impl.m_fields.push_back(std::string_view(impl.m_fieldText).substr(start, end - start));
        start = end;
    }
    impl.m_fieldCount = impl.m_fields.size();
    impl.hand(impl.m_recordLine);
    impl.m_fieldText.clear();
    impl.m_fieldEnds.clear();
    // The next record begins on this line at the earliest.
    impl.m_recordLine = impl.m_lines;
}

void TrialTokenizer::Impl::finish()
{
    if (stopped())
        return;
    // A carriage return that ends the file ends its last line.
    if (m_heldCarriageReturn) {
        m_heldCarriageReturn = false;
        if (m_started)
            readLines("\n");
        else
            m_pending += '\n';
    }
    if (!stopped() && !m_started) {
        if (!start(true))
            return;
        std::string first;
        first.swap(m_pending);
        readLines(first);
    }
    if (!stopped() && !m_pending.empty()) {
        const std::string_view line = m_pending;
        // A last line with no line break ends its record here; libcsv is told
        // so through csv_fini below.
        const bool plain = line.find('"') == std::string_view::npos &&
                           line.find('\r') == std::string_view::npos &&
                           line.find('\0') == std::string_view::npos;
        readLine(line, plain, line.size());
        m_pending.clear();
    }
    if (!stopped() && m_parserReady) {
        if (csv_fini(&m_parser, onField, onRowEnd, this) != 0)
            fail(m_recordLine, "a quoted field is not closed before the end of the file");
        m_inRecord = false;
    }
    if (!stopped())
        m_sink.end(std::max<std::uint32_t>(m_lines, 1));
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

TrialTokenizer::TrialTokenizer(FieldSink& sink, Options options)
    : m_impl(std::make_unique<Impl>(sink, options))
{
}

TrialTokenizer::~TrialTokenizer() = default;

void TrialTokenizer::read(std::string_view chunk)
{
    m_impl->read(chunk);
}

void TrialTokenizer::finish()
{
    m_impl->finish();
}

const std::optional<TrialError>& TrialTokenizer::error() const
{
    return m_impl->error();
}

} // namespace quarven
