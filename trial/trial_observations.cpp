#include "trial_observations.h"

#include "core/value_conventions.h"
#include "plot_index.h"
#include "trial_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <new>
#include <unordered_set>

namespace quarven {
namespace {

constexpr std::size_t kTraitsListed = 10;

std::string_view fieldAt(Items<std::string_view> fields, std::size_t column)
{
    return column < fields.size() ? fields[column] : std::string_view();
}

// Two digits at `pos` of a value no more than `most`; pos moves past them.
bool twoDigits(std::string_view text, std::size_t& pos, int most)
{
    if (pos + 2 > text.size() || !IsDigit(text[pos]) || !IsDigit(text[pos + 1]))
        return false;
    const int value = (text[pos] - '0') * 10 + (text[pos + 1] - '0');
    pos += 2;
    return value <= most;
}

// hh:mm, hh:mm:ss or hh:mm:ss.fff, then perhaps a zone (Z, +hh, +hhmm,
// +hh:mm or the same after -), perhaps after a blank.
bool isTime(std::string_view text)
{
    std::size_t pos = 0;
    if (!twoDigits(text, pos, 23) || pos >= text.size() || text[pos++] != ':' ||
        !twoDigits(text, pos, 59))
        return false;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!twoDigits(text, pos, 60))
            return false;
        if (pos < text.size() && text[pos] == '.') {
            const std::size_t fraction = ++pos;
            while (pos < text.size() && IsDigit(text[pos]))
                ++pos;
            if (pos == fraction)
                return false;
        }
    }
    if (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos == text.size())
        return true;
    if (text[pos] == 'Z' || text[pos] == 'z')
        return pos + 1 == text.size();
    if (text[pos] != '+' && text[pos] != '-')
        return false;
    ++pos;
    if (!twoDigits(text, pos, 23))
        return false;
    if (pos < text.size() && text[pos] == ':')
        ++pos;
    return pos == text.size() || (twoDigits(text, pos, 59) && pos == text.size());
}

// The date of a timestamp as written: what comes before its time, which
// follows a "T" or a blank; the whole text when no time follows it that
// reads as one, to be refused as a date in the plot's message.
std::string_view dateOfTimestamp(std::string_view text)
{
    text = TrimmedBlanks(text);
    const std::size_t split = text.find_first_of("T ");
    if (split == std::string_view::npos || split == 0)
        return text;
    std::string_view time = text.substr(split + 1);
    while (!time.empty() && time.front() == ' ')
        time.remove_prefix(1);
    return isTime(time) ? text.substr(0, split) : text;
}

std::string quotedList(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kTraitsListed; ++i)
        text += (i == 0 ? "\"" : ", \"") + names[i] + "\"";
    if (names.size() > kTraitsListed)
        text += " and " + std::to_string(names.size() - kTraitsListed) + " more";
    return text;
}

} // namespace

bool NamesObservations(Items<std::string_view> header)
{
    for (const std::string_view name : {"plot_id", "trait", "value", "timestamp"})
        if (std::none_of(header.begin(), header.end(),
                         [name](std::string_view field) { return IsColumnName(field, name); }))
            return false;
    return true;
}

// The trait's rows, held until the file ends.
class ObservationSink::Book {
public:
    struct Span {
        std::size_t at = 0;
        std::size_t size = 0;
    };
    struct Observation {
        std::uint32_t plot = 0; // by first appearance
        std::uint32_t line = 0;
        long day = 0; // the date read in a leap year, to order and group by
        bool dated = false;
        std::uint32_t extras = 0; // fields the header does not name
        Span date;
        Span value;
    };

    std::size_t plot = 0, trait = 0, value = 0, time = 0;
    std::vector<std::size_t> others; // named columns handed on, in file order
    std::vector<bool> unnamed;       // by column: a blank heading
    std::size_t width = 0;
    std::uint32_t headerLine = 1;
    std::uint32_t lastLine = 1;

    std::string texts;
    std::vector<Observation> observations;
    PlotIndex plots;
    // Each plot's first row's other fields, others.size() a plot.
    std::vector<Span> otherFields;
    std::unordered_set<std::string> traitsSeen;
    std::string lastTrait;
    bool anyTrait = false;

    Span keep(std::string_view text)
    {
        const Span span{texts.size(), text.size()};
        texts.append(text);
        return span;
    }
    [[nodiscard]] std::string_view at(Span span) const
    {
        return std::string_view(texts).substr(span.at, span.size);
    }
};

ObservationSink::ObservationSink(TrialRowReader& rows, const TrialReading& reading)
    : m_rows(rows), m_reading(reading)
{
}

ObservationSink::~ObservationSink() = default;

void ObservationSink::separator(char separator)
{
    m_separator = separator;
    m_rows.separator(separator);
}

bool ObservationSink::record(std::uint32_t line, Items<std::string_view> fields)
{
    // Nearly every file: one test, and on to the row reader.
    if (m_mode == Mode::PassThrough)
        return m_rows.record(line, fields);
    return observe(line, fields);
}

bool ObservationSink::observe(std::uint32_t line, Items<std::string_view> fields)
{
    if (m_mode == Mode::BeforeHeader) {
        if (std::all_of(fields.begin(), fields.end(), IsBlank) || !NamesObservations(fields)) {
            if (!std::all_of(fields.begin(), fields.end(), IsBlank))
                m_mode = Mode::PassThrough;
            return m_rows.record(line, fields);
        }
        return header(line, fields);
    }
    if (m_error)
        return false;
    Book& book = *m_book;
    book.lastLine = line;
    if (std::all_of(fields.begin(), fields.end(), IsBlank))
        return true;

    const std::string_view trait = fieldAt(fields, book.trait);
    if (!book.anyTrait || trait != book.lastTrait) {
        book.anyTrait = true;
        book.lastTrait = trait;
        if (book.traitsSeen.insert(book.lastTrait).second)
            m_traits.push_back(book.lastTrait);
    }
    // Without a trait named, a second one refuses the file at its end:
    // nothing more need be kept.
    const bool wanted = m_reading.trait.empty() ? m_traits.size() == 1 && trait == m_traits[0]
                                                : trait == m_reading.trait;
    if (!wanted)
        return true;

    const std::string_view plot = fieldAt(fields, book.plot);
    if (IsBlank(plot)) {
        m_error = TrialError{line, "the row names no plot"};
        return false;
    }
    Book::Observation observation;
    observation.line = line;
    const PlotIndex::Found found = book.plots.find(plot);
    if (found.failure == StoreFailure::NoMemory)
        throw std::bad_alloc();
    if (found.failure == StoreFailure::Full) {
        m_error = TrialError{line, "more plot names than this program holds (4 GiB)"};
        return false;
    }
    observation.plot = found.number;
    if (found.added)
        for (const std::size_t column : book.others)
            book.otherFields.push_back(book.keep(fieldAt(fields, column)));
    const std::string_view date = dateOfTimestamp(fieldAt(fields, book.time));
    // In a leap year, as the row reader reads headings: the batch reads the
    // date again in its own year, in which the order of days is the same.
    if (const std::optional<TrialDate> day = ReadTrialDate(date, 2000, m_reading.dates)) {
        observation.day = day->day;
        observation.dated = true;
    }
    observation.date = book.keep(date);
    observation.value = book.keep(fieldAt(fields, book.value));
    for (std::size_t i = 0; i < fields.size(); ++i)
        if ((i >= book.width || book.unnamed[i]) && !IsBlank(fields[i]))
            ++observation.extras;
    book.observations.push_back(observation);
    return true;
}

bool ObservationSink::header(std::uint32_t line, Items<std::string_view> fields)
{
    m_mode = Mode::Observations;
    m_book = std::make_unique<Book>();
    Book& book = *m_book;
    book.headerLine = line;
    book.lastLine = line;
    book.width = fields.size();
    book.unnamed.assign(fields.size(), false);
    const std::array<std::pair<std::string_view, std::size_t*>, 4> roles = {{
        {"plot_id", &book.plot},
        {"trait", &book.trait},
        {"value", &book.value},
        {"timestamp", &book.time},
    }};
    std::array<std::string_view, 4> names{};
    std::array<bool, 4> named{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto role = std::find_if(roles.begin(), roles.end(), [&](const auto& known) {
            return IsColumnName(fields[i], known.first);
        });
        if (role != roles.end()) {
            const auto index = static_cast<std::size_t>(role - roles.begin());
            if (named[index]) {
                m_error = TrialError{line, "the header names the column " +
                                               std::string(role->first) + " twice"};
                return false;
            }
            named[index] = true;
            *role->second = i;
            names[index] = fields[i];
        } else if (IsBlank(fields[i])) {
            book.unnamed[i] = true;
        } else {
            book.others.push_back(i);
        }
    }
    // The row reader takes the plot, the date, the level and the note first,
    // whatever their names, and the other columns as in any trial.
    std::vector<std::string_view> handed{names[0], names[3], names[2], "note"};
    for (const std::size_t column : book.others)
        handed.push_back(fields[column]);
    m_rows.observations();
    if (!m_rows.record(line, Items<std::string_view>(handed.data(), handed.size())))
        return false;
    return true;
}

void ObservationSink::end(std::uint32_t lastLine)
{
    if (m_mode != Mode::Observations) {
        m_rows.end(lastLine);
        return;
    }
    if (m_error)
        return;
    Book& book = *m_book;
    const std::size_t traits = m_traits.size();
    if (m_reading.trait.empty() && traits > 1) {
        m_error =
            TrialError{book.headerLine, "the file holds observations of " + std::to_string(traits) +
                                            " traits (" + quotedList(m_traits) +
                                            "): name the one to read (--trait NAME)"};
        return;
    }
    if (!m_reading.trait.empty() &&
        std::find(m_traits.begin(), m_traits.end(), m_reading.trait) == m_traits.end()) {
        m_error = TrialError{book.headerLine,
                             "the file holds no trait \"" + m_reading.trait + "\"" +
                                 (traits == 0 ? std::string(": it holds no observation")
                                              : "; its traits are " + quotedList(m_traits))};
        return;
    }

    // A plot's days in order, its undated observations last; file order
    // within a day.
    std::stable_sort(book.observations.begin(), book.observations.end(),
                     [](const Book::Observation& a, const Book::Observation& b) {
                         if (a.plot != b.plot)
                             return a.plot < b.plot;
                         if (a.dated != b.dated)
                             return a.dated;
                         return a.dated && a.day < b.day;
                     });

    const bool commaIsPoint = m_separator != ',';
    const std::size_t width = 4 + book.others.size();
    std::vector<std::string_view> fields;
    struct Day {
        std::size_t first = 0, last = 0; // observations [first, last)
        std::string level;
    };
    std::vector<Day> days;
    std::string note;
    const std::string_view blank;
    for (std::size_t first = 0; first < book.observations.size();) {
        const std::uint32_t plot = book.observations[first].plot;
        std::size_t last = first;
        while (last < book.observations.size() && book.observations[last].plot == plot)
            ++last;

        days.clear();
        note.clear();
        for (std::size_t k = first; k < last;) {
            const Book::Observation& head = book.observations[k];
            std::size_t end = k + 1;
            while (end < last && head.dated && book.observations[end].dated &&
                   book.observations[end].day == head.day)
                ++end;
            Day day{k, end, std::string(book.at(head.value))};
            std::size_t values = 0;
            double sum = 0.0;
            bool levels = true;
            // The mark the batch would take from these texts: a comma or a
            // point written, else the whole numbers' mark of the file.
            char mark = '\0';
            for (std::size_t i = k; i < end; ++i) {
                const std::string_view text = book.at(book.observations[i].value);
                if (IsBlank(text))
                    continue;
                double level = 0.0;
                if (values++ == 0)
                    day.level = std::string(text);
                if (mark == '\0' && text.find(',') != std::string_view::npos)
                    mark = ',';
                else if (mark == '\0' && text.find('.') != std::string_view::npos)
                    mark = '.';
                if (levels &&
                    !(ReadWholeNumber(text, commaIsPoint, level) && level >= 0 && level <= 100)) {
                    // Handed on alone, for the batch to refuse in its words.
                    day.level = std::string(text);
                    levels = false;
                }
                sum += level;
            }
            if (values > 1 && levels) {
                std::array<char, 32> buffer{};
                const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                                   sum / static_cast<double>(values));
                day.level.assign(buffer.data(), written.ptr);
                if (mark == ',' || (mark == '\0' && m_separator == ';'))
                    std::replace(day.level.begin(), day.level.end(), '.', ',');
                note += (note.empty() ? "" : "; ") + std::to_string(values) + " observations on " +
                        std::string(book.at(head.date)) + " averaged";
            }
            days.push_back(std::move(day));
            k = end;
        }

        const std::size_t others = std::size_t{plot} * book.others.size();
        for (std::size_t d = 0; d < days.size(); ++d) {
            const Day& day = days[d];
            const Book::Observation& head = book.observations[day.first];
            fields.assign({book.plots.name(plot), book.at(head.date), day.level,
                           d == 0 ? std::string_view(note) : blank});
            for (std::size_t i = 0; i < book.others.size(); ++i)
                fields.push_back(d == 0 ? book.at(book.otherFields[others + i]) : blank);
            // The row reader counts fields past the header; their texts are
            // not shown.
            std::uint32_t extras = 0;
            for (std::size_t i = day.first; i < day.last; ++i)
                extras += book.observations[i].extras;
            if (extras > 0) {
                fields.resize(width, blank);
                fields.insert(fields.end(), extras, std::string_view("+"));
            }
            if (!m_rows.record(head.line, Items<std::string_view>(fields.data(), fields.size())))
                return;
        }
        first = last;
    }
    m_rows.end(std::max(lastLine, book.lastLine));
}

} // namespace quarven
