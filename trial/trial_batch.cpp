#include "trial_batch.h"

#include "block_memory.h"
#include "core/loss_calculation.h"
#include "core/rejection_messages.h"
#include "core/value_conventions.h"
#include "trial_period.h"
#include "trial_values.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <tuple>
#include <utility>

namespace quarven {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint8_t kFirstHasYear = 1;
constexpr std::uint8_t kLastHasYear = 2;
constexpr std::uint8_t kFallHasYear = 4;
// No potato epidemic is assessed over half a year; dates that span more were
// most likely written month first.
constexpr std::int32_t kLongestSpan = 183;

std::string lineText(std::uint32_t line)
{
    return "line " + std::to_string(line);
}

std::string linesText(std::uint32_t earlier, std::uint32_t later)
{
    if (earlier == later)
        return lineText(later);
    return "lines " + std::to_string(earlier) + " and " + std::to_string(later);
}

// Plots of a trial mostly share their first and last dates: a date's text is
// made again only when its day changes.
void showDate(std::string& text, TrialDate& shown, TrialDate date)
{
    if (!text.empty() && date.day == shown.day && date.hasYear == shown.hasYear)
        return;
    text.clear();
    AppendTrialDate(text, date);
    shown = date;
}

// A measure's text and value. Each measure's function is known when this is
// compiled, so that it is called directly, and inlined, rather than through
// the table on every plot.
template <std::size_t M>
void measureOne(const PlotSums& sums, TrialBatch::Scratch& scratch, PlotResult& result)
{
    constexpr Measure measure = kMeasures[M];
    const double value = measure.of(sums);
    std::string& text = scratch.measures[M];
    text.clear();
    AppendDecimals(text, value, measure.decimals);
    result.measures[M] = text;
    result.values[M] = value;
}

template <std::size_t... M>
void measureAll(const PlotSums& sums, TrialBatch::Scratch& scratch, PlotResult& result,
                std::index_sequence<M...>)
{
    (measureOne<M>(sums, scratch, result), ...);
}

} // namespace

struct TrialBatch::PlotState {
    double audpc = 0.0;
    double firstLevel = 0.0;
    double lastLevel = 0.0;
    std::int32_t firstDay = 0;
    std::int32_t lastDay = 0;
    std::uint32_t count = 0;
    std::uint32_t lastLine = 0;
    std::uint32_t refusal = kNone; // index of its refusal
    std::int16_t period = 0;       // 0: none could be read
    std::uint8_t flags = 0;
    // The first falling level kept, as 1 + its days after the first
    // assessment (a span past kLongestSpan refuses the plot); 0: none.
    std::uint8_t fall = 0;
};

TrialBatch::TrialBatch(BatchSettings settings, ResultHandler onResult)
    : m_settings(settings), m_onResult(std::move(onResult)),
      m_states(std::make_unique<BlockArray<PlotState>>())
{
}

TrialBatch::~TrialBatch() = default;

void TrialBatch::header(const TrialHeader& header)
{
    m_layout = header.layout;
    m_commaIsPoint = header.separator != ',';
    m_wholeMark = header.separator == ';' ? DecimalMark::Comma : DecimalMark::Point;
    m_copiedColumns = header.copiedNames.size();
}

void TrialBatch::row(const TrialRow& row)
{
    if (m_error)
        return;
    if (m_layout == TrialLayout::Wide) {
        wideRow(row);
        return;
    }
    const PlotIndex::Found found = m_index.find(row.plot);
    if ((found.added || found.failure != StoreFailure::None) && !openPlot(found, row))
        return;
    PlotState& state = (*m_states)[found.number];
    if (row.extraFields > 0)
        refuseExtraFields(state, row);
    for (const TrialAssessment& assessment : row.assessments)
        add(state, assessment, row.line);
}

// A wide row holds its whole plot: its result comes at once.
void TrialBatch::wideRow(const TrialRow& row)
{
    PlotState state;
    open(state, row);
    if (row.extraFields > 0)
        refuseExtraFields(state, row);
    for (const TrialAssessment& assessment : row.assessments)
        add(state, assessment, row.line);
    ++m_plots;
    if (giveResult(state, row.plot, row.copied, row.note, m_results, m_onResult))
        ++m_refused;
}

bool TrialBatch::openPlot(const PlotIndex::Found& found, const TrialRow& row)
{
    if (found.failure != StoreFailure::None) {
        m_error = TrialError{row.line, found.failure == StoreFailure::Full
                                           ? "more plot names than this program holds (4 GiB)"
                                           : kOutOfMemory};
        return false;
    }
    if (!m_states->tryPushBack(PlotState{})) {
        m_error = TrialError{row.line, kOutOfMemory};
        return false;
    }
    open((*m_states)[m_states->size() - 1], row);
    if (!row.note.empty())
        m_notes.emplace(static_cast<std::uint32_t>(m_states->size() - 1), row.note);
    return !m_error;
}

// A row with a field too many has most likely been split at a decimal
// comma; its level cannot be trusted.
void TrialBatch::refuseExtraFields(PlotState& state, const TrialRow& row)
{
    refuse(state,
           "The row has more fields than the header names (" + std::to_string(row.extraFields) +
               " more)",
           row.line);
}

void TrialBatch::open(PlotState& state, const TrialRow& row)
{
    state.lastLine = row.line;
    openPeriod(state, row);
    if (m_layout == TrialLayout::Wide || m_copiedColumns == 0)
        return;
    m_scratch.clear();
    for (const std::string_view text : row.copied) {
        const auto length = static_cast<std::uint32_t>(text.size());
        m_scratch.append(reinterpret_cast<const char*>(&length), sizeof length);
        m_scratch.append(text);
    }
    const TextStore::Added stored = m_copied.add(m_scratch);
    if (stored.failure != StoreFailure::None) {
        m_error = TrialError{row.line, stored.failure == StoreFailure::Full
                                           ? "more copied text than this program holds (4 GiB)"
                                           : kOutOfMemory};
        return;
    }
    m_copiedOf.push_back(stored.handle);
}

void TrialBatch::openPeriod(PlotState& state, const TrialRow& row)
{
    TrialPeriod period =
        ReadTrialPeriod(row, m_settings.year, m_commaIsPoint, m_settings.reading.dates);
    state.period = period.from == TrialPeriod::From::Default
                       ? static_cast<std::int16_t>(m_settings.defaultPeriod)
                       : period.days;
    if (period.refusal)
        refuse(state, std::move(*period.refusal), row.line);
}

void TrialBatch::add(PlotState& state, const TrialAssessment& assessment, std::uint32_t line)
{
    // A long row with a date but no level is a day not assessed, as an
    // empty cell is in the wide layout.
    if (IsBlank(assessment.level))
        return;
    if (state.count < std::numeric_limits<std::uint32_t>::max())
        ++state.count;
    if (state.refusal != kNone)
        return;
    // The refusals are made out of line: their messages would otherwise
    // weigh on every row's way through here.
    const std::optional<TrialDate>& date = readDate(assessment.date);
    double level = 0.0;
    if (!date || !ReadWholeNumber(assessment.level, m_commaIsPoint, level) ||
        !(level >= 0 && level <= 100)) {
        refuseAssessment(state, assessment, line, date.has_value());
        return;
    }
    if (!m_levelsMark)
        noteLevelsMark(assessment.level);
    const auto day = static_cast<std::int32_t>(date->day);
    const std::uint8_t hasYear = date->hasYear ? kLastHasYear : 0;
    if (state.count == 1) {
        state.firstDay = state.lastDay = day;
        state.firstLevel = state.lastLevel = level;
        state.lastLine = line;
        state.flags = static_cast<std::uint8_t>((date->hasYear ? kFirstHasYear : 0) | hasYear);
        return;
    }
    // Whole days: in the 16-bit range ToInt16 would give them back unchanged.
    const std::int32_t difference = day - state.lastDay;
    if (difference < std::numeric_limits<std::int16_t>::min() ||
        difference > std::numeric_limits<std::int16_t>::max()) {
        refusePair(state, std::nullopt, line);
        return;
    }
    const PairCheck check =
        AddPair(state.audpc, static_cast<std::int16_t>(difference), state.lastLevel, level);
    if (check == PairCheck::LevelFalls && m_settings.keepFalls) {
        AddTrapezoid(state.audpc, static_cast<std::int16_t>(difference), state.lastLevel, level);
        keepFall(state, day, date->hasYear);
    } else if (check != PairCheck::Summed) {
        refusePair(state, check, line);
        return;
    }
    if (day - state.firstDay > kLongestSpan) {
        refuseSpan(state, day - state.firstDay, line);
        return;
    }
    state.lastDay = day;
    state.lastLevel = level;
    state.lastLine = line;
    state.flags =
        static_cast<std::uint8_t>((state.flags & (kFirstHasYear | kFallHasYear)) | hasYear);
}

void TrialBatch::refuseAssessment(PlotState& state, const TrialAssessment& assessment,
                                  std::uint32_t line, bool dateRead)
{
    double level = 0.0;
    if (!dateRead)
        refuse(state, AssessmentDateRejection(assessment.date), line);
    else if (!ReadWholeNumber(assessment.level, m_commaIsPoint, level))
        refuse(state,
               "The damage level => ( " + std::string(assessment.level) + " ) is not a number",
               line);
    else
        refuse(state, LevelRejection(assessment.level), line);
}

void TrialBatch::refusePair(PlotState& state, std::optional<PairCheck> check, std::uint32_t line)
{
    const long row = static_cast<long>(state.count) - 2;
    if (check)
        refuse(state, PairMessage(*check, row), line, state.lastLine);
    else
        refuse(state,
               "Assessment date input error(assessments #" + SignedText(static_cast<int>(row + 1)) +
                   " and " + SignedText(static_cast<int>(row + 2)) +
                   "). The dates lie more than 32767 days apart",
               line, state.lastLine);
}

void TrialBatch::keepFall(PlotState& state, std::int32_t day, bool hasYear)
{
    if (state.fall != 0)
        return;
    // A fall further on is refused with the span that holds it.
    state.fall = static_cast<std::uint8_t>(std::min(day - state.firstDay, kLongestSpan + 1) + 1);
    state.flags = static_cast<std::uint8_t>(state.flags | (hasYear ? kFallHasYear : 0));
}

void TrialBatch::refuseSpan(PlotState& state, std::int32_t days, std::uint32_t line)
{
    const bool dayFirst = m_settings.reading.dates == DateOrder::DayFirst;
    refuse(state,
           "The assessments span " + std::to_string(days) +
               (dayFirst ? " days, more than half a year: dates are read day first (dd/mm or "
                           "dd/mm/yyyy); were these written month first?"
                         : " days, more than half a year: dates are read month first (mm/dd or "
                           "mm/dd/yyyy); were these written day first?"),
           line);
}

void TrialBatch::noteLevelsMark(std::string_view level)
{
    if (level.find(',') != std::string_view::npos)
        m_levelsMark = DecimalMark::Comma;
    else if (level.find('.') != std::string_view::npos)
        m_levelsMark = DecimalMark::Point;
    else
        m_levelsMark = m_wholeMark;
}

const std::optional<TrialDate>& TrialBatch::readDate(std::string_view text)
{
    // A book sorted by date gives the same date row after row.
    if (m_lastDateRead) {
        if (SameText(std::string_view(m_lastDateRead->text.data(), m_lastDateRead->size), text))
            return m_lastDateRead->date;
        // An entry is compared by its text, so one since given to another date
        // is no false match.
        if (CachedDate* next = m_lastDateRead->next;
            next && SameText(std::string_view(next->text.data(), next->size), text)) {
            m_lastDateRead = next;
            return next->date;
        }
    }
    if (text.size() > std::tuple_size<decltype(CachedDate::text)>::value) {
        m_longDate = ReadTrialDate(text, m_settings.year, m_settings.reading.dates);
        return m_longDate;
    }
    // The first and the last four bytes, where dates differ (day, month, year
    // digits), are enough to spread them.
    std::uint64_t key = text.size();
    if (text.size() >= 4) {
        std::uint32_t head = 0;
        std::uint32_t tail = 0;
        std::memcpy(&head, text.data(), sizeof head);
        std::memcpy(&tail, text.data() + text.size() - sizeof tail, sizeof tail);
        key ^= (std::uint64_t{head} << 32 | tail) << 4;
    } else {
        for (const char c : text)
            key = key << 8 | static_cast<unsigned char>(c);
    }
    // Open addressing over a few neighbours: a book of a hundred dates reads
    // each once, where one place per date read two that clashed again and
    // again. Past that, a date takes the place of another.
    constexpr std::size_t kPlaces = std::tuple_size<decltype(m_dates)>::value;
    static_assert(kPlaces == 128);
    const auto first = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 57);
    CachedDate* entry = &m_dates[first];
    for (std::size_t probe = 0; probe < 8; ++probe) {
        CachedDate& place = m_dates[(first + probe) % kPlaces];
        if (!place.used) {
            entry = &place;
            break;
        }
        if (SameText(std::string_view(place.text.data(), place.size), text)) {
            if (m_lastDateRead)
                m_lastDateRead->next = &place;
            m_lastDateRead = &place;
            return place.date;
        }
    }
    if (m_lastDateRead)
        m_lastDateRead->next = entry;
    m_lastDateRead = entry;
    entry->used = true;
    entry->size = text.size();
    if (!text.empty())
        std::memcpy(entry->text.data(), text.data(), text.size());
    entry->date = ReadTrialDate(text, m_settings.year, m_settings.reading.dates);
    return entry->date;
}

void TrialBatch::refuse(PlotState& state, std::string message, std::uint32_t line,
                        std::uint32_t earlierLine)
{
    if (state.refusal != kNone)
        return;
    state.refusal = static_cast<std::uint32_t>(m_refusals.size());
    m_refusals.push_back(
        {std::move(message), earlierLine ? linesText(earlierLine, line) : lineText(line)});
}

void TrialBatch::finish()
{
    const std::size_t plots = resultsToGive();
    resultsGiven(plots, giveResults(0, plots, m_results, m_onResult));
}

std::size_t TrialBatch::resultsToGive() const
{
    return m_error || m_layout == TrialLayout::Wide ? 0 : m_states->size();
}

std::size_t TrialBatch::giveResults(std::size_t first, std::size_t last, Scratch& scratch,
                                    const ResultHandler& handler) const
{
    std::size_t refused = 0;
    for (std::size_t number = first; number < last; ++number) {
        const PlotState& state = (*m_states)[number];
        scratch.copied.clear();
        if (m_copiedColumns > 0) {
            std::string_view blob = m_copied.at(m_copiedOf[number]);
            while (blob.size() >= sizeof(std::uint32_t)) {
                std::uint32_t length = 0;
                std::memcpy(&length, blob.data(), sizeof length);
                scratch.copied.push_back(blob.substr(sizeof length, length));
                blob.remove_prefix(sizeof length + length);
            }
        }
        std::string_view note;
        if (!m_notes.empty())
            if (const auto found = m_notes.find(static_cast<std::uint32_t>(number));
                found != m_notes.end())
                note = found->second;
        if (giveResult(state, m_index.name(static_cast<std::uint32_t>(number)),
                       Items<std::string_view>(scratch.copied.data(), scratch.copied.size()), note,
                       scratch, handler))
            ++refused;
    }
    return refused;
}

void TrialBatch::resultsGiven(std::size_t plots, std::size_t refused)
{
    m_plots += plots;
    m_refused += refused;
}

bool TrialBatch::giveResult(const PlotState& state, std::string_view plot,
                            Items<std::string_view> copied, std::string_view note, Scratch& scratch,
                            const ResultHandler& handler) const
{
    PlotResult result;
    result.plot = plot;
    result.copied = copied;
    result.assessments = state.count;
    if (state.period != scratch.periodShown) {
        scratch.period.clear();
        if (state.period != 0)
            scratch.period = PlainText(state.period);
        scratch.periodShown = state.period;
    }
    result.period = scratch.period;
    const bool refused = state.refusal != kNone || state.count < 2;
    result.refused = refused;
    if (refused) {
        refusal(state, scratch, result);
    } else {
        measure(state, scratch, result);
        result.note = note;
        if (state.fall != 0) {
            scratch.message.assign(note);
            if (!note.empty())
                scratch.message += "; ";
            scratch.message += "the level falls on ";
            AppendTrialDate(scratch.message,
                            {state.firstDay + state.fall - 1, (state.flags & kFallHasYear) != 0});
            result.note = scratch.message;
        }
    }
    handler(result);
    return refused;
}

void TrialBatch::refusal(const PlotState& state, Scratch& scratch, PlotResult& result) const
{
    if (state.refusal != kNone) {
        result.message = m_refusals[state.refusal].message;
        result.lines = m_refusals[state.refusal].lines;
        return;
    }
    scratch.message =
        "At least two assessments are needed; the plot has " + std::to_string(state.count);
    scratch.lines = lineText(state.lastLine);
    result.message = scratch.message;
    result.lines = scratch.lines;
}

void TrialBatch::measure(const PlotState& state, Scratch& scratch, PlotResult& result)
{
    showDate(scratch.firstDate, scratch.firstShown,
             {state.firstDay, (state.flags & kFirstHasYear) != 0});
    showDate(scratch.lastDate, scratch.lastShown,
             {state.lastDay, (state.flags & kLastHasYear) != 0});
    result.firstDate = scratch.firstDate;
    result.lastDate = scratch.lastDate;
    const PlotSums sums{state.audpc,
                        state.firstLevel,
                        state.lastLevel,
                        static_cast<double>(state.lastDay - state.firstDay),
                        static_cast<double>(state.count),
                        static_cast<double>(state.period)};
    measureAll(sums, scratch, result, std::make_index_sequence<kMeasureCount>());
}

} // namespace quarven
