#include "trial_results.h"

#include <algorithm>

namespace quarven {
namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;

} // namespace

void AppendField(std::string& text, std::string_view field, char separator)
{
    bool quote = !field.empty() && (field.front() == ' ' || field.front() == '\t' ||
                                    field.back() == ' ' || field.back() == '\t');
    for (const char c : field) {
        if (c == separator || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
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

ResultsWriter::ResultsWriter(const TrialHeader& header, Output output)
    : m_output(std::move(output)), m_separator(header.separator)
{
    AppendField(m_buffer, "plot", m_separator);
    for (const std::string& name : header.copiedNames) {
        m_buffer += m_separator;
        AppendField(m_buffer, name, m_separator);
    }
    for (const char* name : {"assessments", "first_date", "last_date", "period", "audpc",
                             "yield_losses", "relative_audpc", "audps", "message"}) {
        m_buffer += m_separator;
        m_buffer += name;
    }
    m_buffer += '\n';
}

void ResultsWriter::appendNumber(std::string_view number)
{
    m_buffer += m_separator;
    const std::size_t point = number.find('.');
    if (point == std::string_view::npos) {
        m_buffer.append(number);
        return;
    }
    if (!m_markSet)
        m_points.push_back(m_buffer.size() + point);
    m_buffer.append(number.substr(0, point));
    m_buffer += m_mark;
    m_buffer.append(number.substr(point + 1));
}

void ResultsWriter::write(const PlotResult& result)
{
    AppendField(m_buffer, result.plot, m_separator);
    for (const std::string_view text : result.copied) {
        m_buffer += m_separator;
        AppendField(m_buffer, text, m_separator);
    }
    m_buffer += m_separator;
    m_buffer += std::to_string(result.assessments);
    m_buffer += m_separator;
    m_buffer.append(result.firstDate);
    m_buffer += m_separator;
    m_buffer.append(result.lastDate);
    appendNumber(result.period);
    appendNumber(result.audpc);
    appendNumber(result.losses);
    appendNumber(result.relativeAudpc);
    appendNumber(result.audps);
    m_buffer += m_separator;
    if (!result.message.empty()) {
        std::string message(result.message);
        for (char& c : message)
            if (c == '\r')
                c = ' ';
        if (!result.lines.empty())
            message += " (" + std::string(result.lines) + ")";
        AppendField(m_buffer, message, m_separator);
    }
    m_buffer += '\n';
    flushIfFull();
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
    if (m_markSet && m_buffer.size() >= kFlushSize) {
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
    const bool period = !plot.period.empty();
    const bool group = !period && !plot.group.empty();
    std::string text = "plot";
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
        AppendField(text, plot.plot, separator);
        text += separator;
        AppendField(text, plot.dates[i], separator);
        text += separator;
        AppendField(text, plot.levels[i], separator);
        if (period || group) {
            text += separator;
            AppendField(text, period ? plot.period : plot.group, separator);
        }
        text += '\n';
    }
    return text;
}

} // namespace quarven
