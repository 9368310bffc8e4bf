#include "trial_rows.h"

#include "core/value_conventions.h"
#include "trial_values.h"

#include <algorithm>
#include <array>
#include <map>

namespace quarven {
namespace {

// A row may be shorter than its header: the missing fields are empty.
std::string_view fieldAt(Items<std::string_view> fields, std::size_t column)
{
    return column < fields.size() ? fields[column] : std::string_view();
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

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Letters, perhaps a "_" or "-" after them, then digits: the prefix, or
// nothing.
std::optional<std::string_view> dayHeadingPrefix(std::string_view text)
{
    text = TrimmedBlanks(text);
    std::size_t prefix = 0;
    while (prefix < text.size() && isAsciiLetter(text[prefix]))
        ++prefix;
    if (prefix == 0)
        return std::nullopt;
    if (prefix < text.size() && (text[prefix] == '_' || text[prefix] == '-'))
        ++prefix;
    if (prefix == text.size() ||
        !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(prefix), text.end(), IsDigit))
        return std::nullopt;
    return text.substr(0, prefix);
}

// The first heading of the prefix that most headings written as letters and a
// number share (E9, E14 ... beside rep1): the columns most likely counted in days.
std::optional<std::size_t> firstDayHeading(Items<std::string_view> header)
{
    struct Seen {
        std::size_t first = 0;
        std::size_t count = 0;
    };
    std::map<std::string, Seen> prefixes; // by the prefix in lower case
    std::optional<std::size_t> best;
    std::size_t bestCount = 0;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::optional<std::string_view> prefix = dayHeadingPrefix(header[i]);
        if (!prefix)
            continue;
        std::string key(*prefix);
        std::transform(key.begin(), key.end(), key.begin(), AsciiLower);
        Seen& seen = prefixes.try_emplace(std::move(key), Seen{i, 0}).first->second;
        ++seen.count;
        if (seen.count > bestCount || (seen.count == bestCount && seen.first < *best)) {
            best = seen.first;
            bestCount = seen.count;
        }
    }
    return best;
}

// A day counted from a date written in the form its reader gives back: with
// its year when the start had one or the count crossed into another year,
// otherwise as the dates of the file are read, which puts it in the same year.
std::string countedDate(long day, TrialDate start, DateOrder order)
{
    std::string text;
    const Date calendar = DateOfDayNumber(day);
    if (start.hasYear || calendar.year != DateOfDayNumber(start.day).year) {
        AppendTrialDate(text, {day, true});
        return text;
    }
    const Date dayMonth =
        order == DateOrder::DayFirst ? calendar : Date{calendar.year, calendar.day, calendar.month};
    text = DayMonthText(dayMonth);
    return text;
}

} // namespace

bool IsColumnName(std::string_view text, std::string_view name)
{
    text = TrimmedBlanks(text);
    if (text.size() != name.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (AsciiLower(text[i]) != name[i])
            return false;
    return true;
}

bool NamesPlotColumn(Items<std::string_view> header)
{
    return std::any_of(header.begin(), header.end(),
                       [](std::string_view name) { return IsColumnName(name, "plot"); });
}

std::optional<std::string> DayHeadingPrefix(Items<std::string_view> header)
{
    const std::optional<std::size_t> column = firstDayHeading(header);
    if (!column)
        return std::nullopt;
    return std::string(*dayHeadingPrefix(header[*column]));
}

std::optional<std::string> DayHeadingsOnly(Items<std::string_view> header, DateOrder order)
{
    const bool dated = std::any_of(header.begin(), header.end(), [order](std::string_view name) {
        return IsColumnName(name, "date") || ReadTrialDate(name, 2000, order).has_value();
    });
    return dated ? std::nullopt : DayHeadingPrefix(header);
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
    Note,
    Copied
};

// An assessment column and the date its cells were taken on, as text.
struct TrialRowReader::Heading {
    std::size_t column = 0;
    std::string date;
};

// Headings read as dates, the first written like a date that is none, and
// the first that counts days past what a trial spans.
struct TrialRowReader::HeadingDates {
    std::vector<Heading> columns;
    std::size_t notADate = kAbsent;
    std::size_t pastBounds = kAbsent;
};

TrialRowReader::TrialRowReader(TrialVisitor& visitor, const TrialReading& reading)
    : m_visitor(visitor), m_dateOrder(reading.dates), m_dayPrefix(reading.dayPrefix),
      m_dayStart(reading.dayStart)
{
    // In lower case, as names are matched.
    std::transform(m_dayPrefix.begin(), m_dayPrefix.end(), m_dayPrefix.begin(), AsciiLower);
}

void TrialRowReader::observations()
{
    m_observations = true;
}

// Past 32767 days, or past the year 9999, no pair of its dates could be
// computed: the heading is refused rather than its column copied.
std::optional<std::string> TrialRowReader::dayHeading(std::string_view name, bool& pastBounds) const
{
    constexpr long kMostDays = 32767;
    pastBounds = false;
    name = TrimmedBlanks(name);
    if (m_dayPrefix.empty() || name.size() <= m_dayPrefix.size() ||
        !IsColumnName(name.substr(0, m_dayPrefix.size()), m_dayPrefix))
        return std::nullopt;
    const std::string_view count = name.substr(m_dayPrefix.size());
    if (!std::all_of(count.begin(), count.end(), IsDigit))
        return std::nullopt;
    long days = 0;
    for (const char c : count) {
        days = days * 10 + (c - '0');
        if (days > kMostDays) {
            pastBounds = true;
            return std::nullopt;
        }
    }
    const long day = m_dayStart.day + days;
    if (!IsCalendarDate(DateOfDayNumber(day))) {
        pastBounds = true;
        return std::nullopt;
    }
    return countedDate(day, m_dayStart, m_dateOrder);
}

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
                      m_copiedColumns.empty() && !m_someIgnored && m_note == kAbsent;
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
    std::size_t first = 0;
    if (m_observations && fields.size() >= 4) {
        m_plot = 0;
        m_date = 1;
        m_level = 2;
        m_note = 3;
        m_roles[0] = Role::Plot;
        m_roles[1] = Role::Date;
        m_roles[2] = Role::Level;
        m_roles[3] = Role::Note;
        first = 4;
    }
    for (std::size_t i = first; i < fields.size(); ++i) {
        const std::string_view name = fields[i];
        auto match = std::find_if(known.begin(), known.end(),
                                  [&](const Known& k) { return IsColumnName(name, k.name); });
        // Beside observations, a column named plot, date or level is copied.
        if (first > 0 && match != known.end() &&
            (match->role == Role::Plot || match->role == Role::Date || match->role == Role::Level))
            match = known.end();
        bool pastBounds = false;
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
        } else if (ReadTrialDate(name, 2000, m_dateOrder)) {
            // Read in a leap year here: the date column of 29/02 is known as
            // one, and its cells are refused per plot if the year has no such day.
            dates.columns.push_back({i, std::string(TrimmedBlanks(name))});
        } else if (std::optional<std::string> date = dayHeading(name, pastBounds)) {
            dates.columns.push_back({i, std::move(*date)});
        } else if (pastBounds) {
            if (dates.pastBounds == kAbsent)
                dates.pastBounds = i;
        } else if (dates.notADate == kAbsent && writtenLikeDate(name)) {
            dates.notADate = i;
        }
    }
    return true;
}

// Date and level columns make the long layout, dated headings the wide one.
bool TrialRowReader::chooseLayout(std::uint32_t line, Items<std::string_view> fields,
                                  HeadingDates& dates)
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
    const auto heading = [&](std::size_t column) {
        return "column " + std::to_string(column + 1) + " of the header (" +
               std::string(TrimmedBlanks(fields[column])) + ")";
    };
    if (dates.columns.empty() && dates.notADate == kAbsent && dates.pastBounds == kAbsent) {
        std::string message = "the header names neither date and level columns nor any "
                              "assessment date";
        // CIP's books head their assessments by days after a date (E9, E14...).
        if (const std::optional<std::size_t> column = firstDayHeading(fields))
            message += "; a heading such as " + std::string(TrimmedBlanks(fields[*column])) +
                       " may count days after a date: give the date and the prefix "
                       "(--days-after DATE --day-columns " +
                       std::string(*dayHeadingPrefix(fields[*column])) + ")";
        fail(line, message);
        return false;
    }
    // Its assessments would be lost, or the dates read in the wrong order,
    // as a month-first spreadsheet writes them.
    if (dates.notADate != kAbsent) {
        fail(line, heading(dates.notADate) +
                       " is written like a date but is none: dates are read " +
                       DateOrderText(m_dateOrder));
        return false;
    }
    if (dates.pastBounds != kAbsent) {
        fail(line, heading(dates.pastBounds) + " counts more days than a trial can span");
        return false;
    }
    m_header.layout = TrialLayout::Wide;
    for (Heading& date : dates.columns) {
        m_roles[date.column] = Role::Assessment;
        m_dateColumns.push_back(date.column);
        m_header.dates.push_back(std::move(date.date));
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
        if (m_note != kAbsent)
            row.note = fieldAt(fields, m_note);
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
