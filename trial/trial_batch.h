// The batch: every plot of a trial through the window's Calculate rules, one
// assessment at a time as the reader hands them over. A plot keeps only what
// its result needs (running sums, its first and last date and level, its
// count, its copied columns, its message once refused), never its rows.
//
// A plot is refused, with the window's message where the window has one, when
// a date cannot be read, a level is not wholly a number or lies outside
// 0..100, a pair of dates does not increase, a level falls, its assessments
// span more than 183 days, its period cannot be used, or it has fewer than
// two assessments; a level that falls is kept on request, with a note in its
// message column. Every message names the file lines it comes from. A long
// row with a date and no level is a day not assessed, like an empty wide cell.
//
// Long layout: results come when the file ends, in the order the plots first
// appear. Wide layout: a row holds the whole plot, so its result comes at the
// end of the row and nothing is kept.
#pragma once

#include "core/loss_calculation.h"
#include "core/tuberization_rules.h"
#include "plot_index.h"
#include "trial_columns.h"
#include "trial_file.h"
#include "trial_values.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quarven {

// One plot's results as text, "." as the decimal point. The views last for
// the call that hands them over.
struct PlotResult {
    std::string_view plot;
    Items<std::string_view> copied;
    std::uint32_t assessments = 0; // its assessment rows or cells, refused or not
    std::string_view firstDate;    // empty when refused
    std::string_view lastDate;
    std::string_view period; // days; empty when the plot's period could not be read
    // Each of kMeasures, as text (empty when refused) and unrounded, for
    // summaries over plots (0 when refused).
    std::array<std::string_view, kMeasureCount> measures{};
    MeasureValues values{};
    // The reason a plot was refused, in the window's words where it has them
    // (its carriage return included), and the file lines it concerns
    // ("line 7", "lines 3 and 7"). Both empty when the plot was computed.
    std::string_view message;
    std::string_view lines;
    bool refused = false; // the writers judge by this, not by the message
    // What the message column says of a computed plot, when anything
    // ("2 observations on 2024-06-03 averaged"); empty for a refused one.
    std::string_view note;
};

struct BatchSettings {
    BatchSettings() = default;
    BatchSettings(int yearOfDates, int periodOfPlots, TrialReading readingOfFile = {})
        : year(yearOfDates), defaultPeriod(periodOfPlots), reading(std::move(readingOfFile))
    {
    }

    int year = 0;                       // of dates written without one
    int defaultPeriod = kDefaultPeriod; // for plots that give none
    TrialReading reading;               // the reader's too
    // A level that falls (a rater's slip, lesions washed off) is summed as
    // the trapezoids give it, and the plot's message notes it, rather than
    // refusing the plot.
    bool keepFalls = false;
};

enum class DecimalMark { Point, Comma };

// The message of a run that memory could not hold.
inline constexpr const char* kOutOfMemory = "out of memory";

class TrialBatch final : public TrialVisitor {
public:
    using ResultHandler = std::function<void(const PlotResult&)>;

    TrialBatch(BatchSettings settings, ResultHandler onResult);
    ~TrialBatch() override;
    TrialBatch(const TrialBatch&) = delete;
    TrialBatch& operator=(const TrialBatch&) = delete;

    void header(const TrialHeader& header) override;
    void row(const TrialRow& row) override;
    // Hands over the results not given yet: all of a long file's.
    void finish();

    // The texts a result is made in, reused from plot to plot.
    struct Scratch {
        std::vector<std::string_view> copied;
        std::string firstDate, lastDate, period;
        std::array<std::string, kMeasureCount> measures;
        std::string message, lines;
        TrialDate firstShown, lastShown; // the days firstDate and lastDate show
        int periodShown = 0;             // the days period shows
    };
    // What finish() does, for a caller that spreads it over threads: the
    // plots whose results are still to come, then their results by ranges,
    // each range with a scratch of its own (ranges may be given at once on
    // several threads once every row is in), then the counts of what was
    // given. giveResults returns how many of its plots were refused.
    [[nodiscard]] std::size_t resultsToGive() const;
    std::size_t giveResults(std::size_t first, std::size_t last, Scratch& scratch,
                            const ResultHandler& handler) const;
    void resultsGiven(std::size_t plots, std::size_t refused);

    [[nodiscard]] std::size_t plots() const { return m_plots; }
    [[nodiscard]] std::size_t refused() const { return m_refused; }
    // The mark of the first level read, once there is one: its own, or for a
    // whole number a comma in a semicolon file and a point in others.
    [[nodiscard]] std::optional<DecimalMark> levelsMark() const { return m_levelsMark; }
    // What stops the run: more plot names or copied text than fit in 4 GiB,
    // or no memory left for them.
    [[nodiscard]] const std::optional<TrialError>& error() const { return m_error; }

private:
    struct PlotState;

    void wideRow(const TrialRow& row);
    // False when the plot could not be held.
    [[gnu::noinline]] bool openPlot(const PlotIndex::Found& found, const TrialRow& row);
    [[gnu::cold]] void refuseExtraFields(PlotState& state, const TrialRow& row);
    void open(PlotState& state, const TrialRow& row);
    void openPeriod(PlotState& state, const TrialRow& row);
    void add(PlotState& state, const TrialAssessment& assessment, std::uint32_t line);
    [[gnu::cold]] void refuseAssessment(PlotState& state, const TrialAssessment& assessment,
                                        std::uint32_t line, bool dateRead);
    // check: why the pair failed; none when its dates lie too far apart.
    [[gnu::cold]] void refusePair(PlotState& state, std::optional<PairCheck> check,
                                  std::uint32_t line);
    [[gnu::cold]] void keepFall(PlotState& state, std::int32_t day, bool hasYear);
    [[gnu::cold]] void refuseSpan(PlotState& state, std::int32_t days, std::uint32_t line);
    [[gnu::cold]] void noteLevelsMark(std::string_view level);
    void refuse(PlotState& state, std::string message, std::uint32_t line,
                std::uint32_t earlierLine = 0);
    // Whether the plot was refused.
    bool giveResult(const PlotState& state, std::string_view plot, Items<std::string_view> copied,
                    std::string_view note, Scratch& scratch, const ResultHandler& handler) const;
    void refusal(const PlotState& state, Scratch& scratch, PlotResult& result) const;
    static void measure(const PlotState& state, Scratch& scratch, PlotResult& result);

    BatchSettings m_settings;
    ResultHandler m_onResult;
    TrialLayout m_layout = TrialLayout::Long;
    bool m_commaIsPoint = false;
    std::size_t m_copiedColumns = 0;
    DecimalMark m_wholeMark = DecimalMark::Point;
    std::optional<DecimalMark> m_levelsMark;
    std::optional<TrialError> m_error;
    std::size_t m_plots = 0;
    std::size_t m_refused = 0;

    // A field book repeats a handful of dates on every plot: each distinct
    // text is read once, here keyed by its bytes.
    struct CachedDate {
        std::array<char, 16> text{};
        std::size_t size = 0;
        bool used = false;
        std::optional<TrialDate> date;
        // The date read just after this one last time: a book sorted by plot
        // gives its dates in the same order plot after plot.
        CachedDate* next = nullptr;
    };
    std::array<CachedDate, 128> m_dates{};
    CachedDate* m_lastDateRead = nullptr;
    // A reference into the cache: an optional returned by value would pass
    // through memory on every row.
    [[nodiscard]] const std::optional<TrialDate>& readDate(std::string_view text);
    std::optional<TrialDate> m_longDate;

    PlotIndex m_index;
    std::unique_ptr<BlockArray<PlotState>> m_states; // by plot number
    TextStore m_copied;
    std::vector<std::uint32_t> m_copiedOf; // handles into m_copied, by plot number
    struct Refusal {
        std::string message;
        std::string lines;
    };
    std::vector<Refusal> m_refusals;
    // Notes by plot number: few plots have one.
    std::unordered_map<std::uint32_t, std::string> m_notes;

    // Reused for every plot, so that results cost no heap call each.
    std::string m_scratch;
    Scratch m_results;
};

} // namespace quarven
