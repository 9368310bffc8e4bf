#include "trial_results.h"

#include "core/cell_text.h"
#include "core/value_conventions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace quarven {
namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;
// The longest line of a computed plot written at once.
constexpr std::size_t kLongestLine = 256;

// Whether a text may begin like a formula: one compare for the usual name,
// which begins with a letter or a digit.
bool mayLookLikeFormula(std::string_view text)
{
    if (text.empty() || static_cast<unsigned char>(text.front()) > '@')
        return false;
    const char c = text.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// A text field as a spreadsheet may read it safely: after an apostrophe when
// it would run as a formula.
void appendText(std::string& text, std::string_view field, char separator)
{
    if (!mayLookLikeFormula(field) || !LooksLikeFormula(field)) {
        AppendField(text, field, separator);
        return;
    }
    std::string safe;
    AppendFormulaSafe(safe, field);
    AppendField(text, safe, separator);
}

} // namespace

bool NeedsQuotes(std::string_view field, char separator)
{
    if (!field.empty() && (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' ||
                           field.back() == '\t'))
        return true;
    for (const char c : field)
        if (c == separator || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

void AppendField(std::string& text, std::string_view field, char separator)
{
    if (!NeedsQuotes(field, separator)) {
        text.append(field);
        return;
    }
    text += '"';
    for (const char c : field) {
        if (c == '"')
            text += '"';
        text += c;
    }
    text += '"';
}

JoinedColumns JoinColumns(const std::vector<std::vector<std::string>>& trials)
{
    const auto sameName = [](std::string_view a, std::string_view b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    };
    JoinedColumns joined;
    std::vector<std::vector<std::size_t>> joinedOf; // per trial, of each own column
    for (const std::vector<std::string>& names : trials) {
        std::vector<bool> taken(joined.names.size(), false);
        std::vector<std::size_t>& own = joinedOf.emplace_back();
        for (const std::string& name : names) {
            std::size_t at = 0;
            while (at < joined.names.size() && (taken[at] || !sameName(joined.names[at], name)))
                ++at;
            if (at == joined.names.size()) {
                joined.names.push_back(name);
                taken.push_back(false);
            }
            taken[at] = true;
            own.push_back(at);
        }
    }
    for (const std::vector<std::size_t>& own : joinedOf) {
        std::vector<std::size_t>& places =
            joined.places.emplace_back(joined.names.size(), kNoColumn);
        for (std::size_t column = 0; column < own.size(); ++column)
            places[own[column]] = column;
    }
    return joined;
}

ResultsWriter::ResultsWriter(const TrialHeader& header, Output output)
    : ResultsWriter(ResultsColumns{header.separator, false, header.copiedNames, {}, true},
                    std::move(output))
{
}

ResultsWriter::ResultsWriter(ResultsColumns columns, Output output)
    : m_output(std::move(output)), m_separator(columns.separator), m_site(columns.site),
      m_places(std::move(columns.places))
{
    if (!columns.header)
        return;
    if (m_site) {
        m_buffer += "site";
        m_buffer += m_separator;
    }
    AppendField(m_buffer, "plot", m_separator);
    for (const std::string& name : columns.names) {
        m_buffer += m_separator;
        appendText(m_buffer, name, m_separator);
    }
    for (const ResultColumn& column : kResultColumns) {
        m_buffer += m_separator;
        m_buffer += column.name;
    }
    m_buffer += '\n';
}

template <typename Take> void ResultsWriter::eachCopied(const PlotResult& result, Take take) const
{
    if (m_places.empty()) {
        for (const std::string_view field : result.copied)
            take(field);
        return;
    }
    for (const std::size_t place : m_places)
        take(place == kNoColumn ? std::string_view() : result.copied[place]);
}

void ResultsWriter::appendNumber(std::string& text, std::string_view number,
                                 std::vector<std::size_t>* points) const
{
    text += m_separator;
    const std::size_t point = number.find('.');
    if (point == std::string_view::npos) {
        text.append(number);
        return;
    }
    if (!m_markSet && points)
        points->push_back(text.size() + point);
    text.append(number.substr(0, point));
    text += m_mark;
    text.append(number.substr(point + 1));
}

void ResultsWriter::write(const PlotResult& result, std::string_view site)
{
    if (!writeComputed(m_buffer, result, site))
        writeAny(m_buffer, result, site, &m_points);
    flushIfFull();
}

void ResultsWriter::format(std::string& text, const PlotResult& result, std::string_view site) const
{
    if (!writeComputed(text, result, site))
        writeAny(text, result, site, nullptr);
}

void ResultsWriter::writeFormatted(std::string_view text)
{
    if (!m_buffer.empty()) {
        m_output(m_buffer);
        m_buffer.clear();
    }
    m_output(text);
}

// A computed plot whose fields need no quotes, the usual case, with room for
// its line on the stack.
bool ResultsWriter::fitsOneLine(const PlotResult& result, std::string_view site) const
{
    if (!m_markSet || result.refused || !result.note.empty() ||
        result.plot.size() > kLongestLine / 4)
        return false;
    // A separator for each copied column written, the empty ones too.
    std::size_t length = result.plot.size() + result.firstDate.size() + result.lastDate.size() +
                         result.period.size() + m_places.size() + 32;
    if (m_site) {
        if (site.size() > kLongestLine / 4 || mayLookLikeFormula(site) ||
            NeedsQuotes(site, m_separator))
            return false;
        length += site.size() + 1;
    }
    for (const std::string_view measure : result.measures)
        length += measure.size();
    for (const std::string_view field : result.copied)
        length += field.size() + 1;
    if (length > kLongestLine || mayLookLikeFormula(result.plot) ||
        NeedsQuotes(result.plot, m_separator))
        return false;
    for (const std::string_view field : result.copied)
        if (mayLookLikeFormula(field) || NeedsQuotes(field, m_separator))
            return false;
    return true;
}

// Such a plot is written into a line on the stack and appended at once:
// results for a million plots are a fifth of the batch's work when written
// field by field.
bool ResultsWriter::writeComputed(std::string& text, const PlotResult& result,
                                  std::string_view site) const
{
    if (!fitsOneLine(result, site))
        return false;
    // Only what is written into the line is read from it.
    std::array<char, kLongestLine> line;
    char* out = line.data();
    const auto put = [&out](std::string_view field) {
        if (!field.empty())
            std::memcpy(out, field.data(), field.size());
        out += field.size();
    };
    const auto number = [&out, &put, this](std::string_view field) {
        *out++ = m_separator;
        char* const written = out;
        put(field);
        // A number has one point at most.
        if (m_mark != '.')
            if (void* point = std::memchr(written, '.', field.size()))
                *static_cast<char*>(point) = m_mark;
    };
    if (m_site) {
        put(site);
        *out++ = m_separator;
    }
    put(result.plot);
    eachCopied(result, [&](std::string_view field) {
        *out++ = m_separator;
        put(field);
    });
    *out++ = m_separator;
    std::array<char, 12> count{};
    std::size_t digits = 0;
    std::uint32_t assessments = result.assessments;
    do {
        count[digits++] = static_cast<char>('0' + assessments % 10);
        assessments /= 10;
    } while (assessments != 0);
    while (digits > 0)
        *out++ = count[--digits];
    *out++ = m_separator;
    put(result.firstDate);
    *out++ = m_separator;
    put(result.lastDate);
    number(result.period);
    for (const std::string_view measure : result.measures)
        number(measure);
    *out++ = m_separator;
    *out++ = '\n';
    text.append(line.data(), static_cast<std::size_t>(out - line.data()));
    return true;
}

void ResultsWriter::writeAny(std::string& text, const PlotResult& result, std::string_view site,
                             std::vector<std::size_t>* points) const
{
    if (m_site) {
        appendText(text, site, m_separator);
        text += m_separator;
    }
    appendText(text, result.plot, m_separator);
    eachCopied(result, [&](std::string_view field) {
        text += m_separator;
        appendText(text, field, m_separator);
    });
    text += m_separator;
    text += std::to_string(result.assessments);
    text += m_separator;
    text.append(result.firstDate);
    text += m_separator;
    text.append(result.lastDate);
    appendNumber(text, result.period, points);
    for (const std::string_view measure : result.measures)
        appendNumber(text, measure, points);
    text += m_separator;
    if (!result.refused) {
        AppendField(text, result.note, m_separator);
    } else if (!result.message.empty()) {
        std::string message;
        AppendMessage(message, result);
        AppendField(text, message, m_separator);
    }
    text += '\n';
}

void AppendMessage(std::string& text, const PlotResult& result)
{
    if (!result.refused) {
        text.append(result.note);
        return;
    }
    if (result.message.empty())
        return;
    const std::size_t start = text.size();
    text.append(result.message);
    std::replace(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), '\r', ' ');
    if (!result.lines.empty()) {
        text += " (";
        text.append(result.lines);
        text += ')';
    }
}

void ResultsWriter::setDecimalMark(DecimalMark mark)
{
    if (m_markSet)
        return;
    m_markSet = true;
    m_mark = mark == DecimalMark::Comma ? ',' : '.';
    for (const std::size_t point : m_points)
        m_buffer[point] = m_mark;
    m_points.clear();
    m_points.shrink_to_fit();
    flushIfFull();
}

void ResultsWriter::flushIfFull()
{
    // Rows with no number to mend need not wait for the mark.
    if ((m_markSet || m_points.empty()) && m_buffer.size() >= kFlushSize) {
        m_output(m_buffer);
        m_buffer.clear();
    }
}

void ResultsWriter::finish()
{
    if (!m_buffer.empty())
        m_output(m_buffer);
    m_buffer.clear();
}

std::string WriteOnePlot(const OnePlot& plot, char separator)
{
    const auto field = [separator](std::string& text, std::string_view value) {
        AppendField(text, FormulaSafe(value), separator);
    };
    const bool period = !plot.period.empty();
    const bool group = !period && !plot.group.empty();
    const std::size_t copied = std::min(plot.copiedNames.size(), plot.copied.size());
    std::string text = "plot";
    for (std::size_t i = 0; i < copied; ++i) {
        text += separator;
        field(text, plot.copiedNames[i]);
    }
    text += separator;
    text += "date";
    text += separator;
    text += "level";
    if (period || group) {
        text += separator;
        text += period ? "period" : "group";
    }
    text += '\n';
    const std::size_t rows = std::min(plot.dates.size(), plot.levels.size());
    for (std::size_t i = 0; i < rows; ++i) {
        field(text, plot.plot);
        for (std::size_t column = 0; column < copied; ++column) {
            text += separator;
            field(text, plot.copied[column]);
        }
        text += separator;
        field(text, plot.dates[i]);
        text += separator;
        field(text, plot.levels[i]);
        if (period || group) {
            text += separator;
            field(text, period ? plot.period : plot.group);
        }
        text += '\n';
    }
    return text;
}

} // namespace quarven
