#include "trial_rows.h"

#include "core/value_conventions.h"
#include "trial_values.h"

#include <algorithm>
#include <array>

namespace quarven {
namespace {

// A row may be shorter than its header: the missing fields are empty.
std::string_view fieldAt(Items<std::string_view> fields, std::size_t column)
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

} // namespace

bool NamesPlotColumn(Items<std::string_view> header)
{
    return std::any_of(header.begin(), header.end(),
                       [](std::string_view name) { return isName(name, "plot"); });
}

enum class TrialRowReader::Role {
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
struct TrialRowReader::HeadingDates {
    std::vector<std::size_t> columns;
    std::size_t notADate = kAbsent;
};

TrialRowReader::TrialRowReader(TrialVisitor& visitor) : m_visitor(visitor) {}

void TrialRowReader::fail(std::uint32_t line, std::string message)
{
    if (!m_error)
        m_error = TrialError{line, std::move(message)};
}

void TrialRowReader::separator(char separator)
{
    // With none, the header is one column and is refused as such.
    m_separatorFound = separator != '\0';
    m_separator = m_separatorFound ? separator : ',';
}

bool TrialRowReader::record(std::uint32_t line, Items<std::string_view> fields)
{
    if (m_error)
        return false;
    // The usual row goes straight on: a plot named, the header read.
    if (m_plotDateLevel && !fields.empty() && !IsBlank(fields[0])) {
        readPlotDateLevel(line, fields);
        return !m_error;
    }
    // Most blank rows show it by their first field.
    if ((fields.empty() || IsBlank(fields[0])) &&
        std::all_of(fields.begin(), fields.end(), IsBlank))
        return true;
    if (m_headerRead)
        readRow(line, fields);
    else
        readHeader(line, fields);
    return !m_error;
}

void TrialRowReader::end(std::uint32_t lastLine)
{
    if (!m_headerRead)
        fail(lastLine, "the file is empty: a header row is needed");
}

void TrialRowReader::readHeader(std::uint32_t line, Items<std::string_view> fields)
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
bool TrialRowReader::matchColumns(std::uint32_t line, Items<std::string_view> fields,
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
bool TrialRowReader::chooseLayout(std::uint32_t line, Items<std::string_view> fields,
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

// readRow for a header of plot, date and level alone, each of whose rows
// names no other column: the row's other views stay empty.
void TrialRowReader::readPlotDateLevel(std::uint32_t line, Items<std::string_view> fields)
{
    TrialRow& row = m_row;
    row.line = line;
    row.plot = fieldAt(fields, m_plot);
    if (row.plot.empty()) {
        fail(line, "the row names no plot");
        return;
    }
    row.extraFields = 0;
    for (std::size_t i = 3; i < fields.size(); ++i)
        if (!IsBlank(fields[i]))
            ++row.extraFields;
    // Each field is read as the two words the tokenizer stored: copied whole,
    // it was one 16-byte load of two 8-byte stores, which waits for them to
    // leave the store buffer, on every row.
    TrialAssessment& assessment = m_assessments[0];
    assessment.date = fieldAt(fields, m_date);
    assessment.level = fieldAt(fields, m_level);
    const bool assessed = !IsBlank(assessment.date) || !IsBlank(assessment.level);
    row.assessments = Items<TrialAssessment>(m_assessments.data(), assessed ? 1 : 0);
    m_visitor.row(row);
}

void TrialRowReader::readRow(std::uint32_t line, Items<std::string_view> fields)
{
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

} // namespace quarven
