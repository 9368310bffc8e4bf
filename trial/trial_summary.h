// A trial at a glance: its plots grouped by the value of one copied column
// (a clone, a treatment), each group's count, refusals, means and sample
// standard deviations of the plot measures, its rank, and its place on the
// 1-9 susceptibility scale drawn from standard cultivars of known value.
//
// Plots are added one at a time, as the batch hands its results over, so that
// the summary comes from the same pass that writes the plot results; only one
// running sum per group and measure is kept. Summaries may be drawn any number
// of times from what was added, with other standards each time.
#pragma once

#include "trial_batch.h"
#include "trial_columns.h"

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quarven {

// What is wrong with the grouping or the standards, in one line.
struct SummaryError {
    std::string message;
};
template <typename T> using OrError = std::variant<T, SummaryError>;

// One plot as the summary takes it. The measures are unrounded and read only
// when the plot was computed.
struct SummaryPlot {
    std::string_view group;
    bool computed = false;
    MeasureValues values{};
};

// The plot of a batch result, grouped by its copied column `groupColumn`.
[[nodiscard]] SummaryPlot SummaryPlotOf(const PlotResult& result, std::size_t groupColumn);

// The index among the trial header's copied columns of the one named `name`,
// matched without regard to case; `use` says what for when there is none.
[[nodiscard]] OrError<std::size_t> GroupColumn(const std::vector<std::string>& copiedNames,
                                               std::string_view name,
                                               std::string_view use = "to group by");

// A standard cultivar: a group and its value on the 1-9 scale.
struct Standard {
    std::string name;
    double value = 0.0;
};
// "NAME=VALUE"; the value may have a decimal point or comma. Its range is
// checked when the summary is drawn.
[[nodiscard]] OrError<Standard> ParseStandard(std::string_view text);
// What is wrong with standards[i] whatever the trial: given before, or a
// value outside 1..9.
[[nodiscard]] std::optional<SummaryError> StandardValueError(const std::vector<Standard>& standards,
                                                             std::size_t i);
// A name inside a one-line message: in quotes, its line breaks and tabs as
// blanks.
[[nodiscard]] std::string QuotedName(std::string_view name);

// Mean and standard deviation over a group's computed plots: no mean without
// a computed plot, no deviation with fewer than two.
struct MeasureSummary {
    std::optional<double> mean;
    std::optional<double> sd;
};

struct GroupSummary {
    std::string name;
    std::size_t plots = 0;
    std::size_t refused = 0;
    std::array<MeasureSummary, kMeasureCount> measures; // as kMeasures
    // 1 for the lowest mean relative AUDPC; equal means share the lower rank.
    std::optional<std::size_t> rank;
    std::optional<double> scale; // with standards only

    [[nodiscard]] const MeasureSummary& relativeAudpc() const { return measures[kRelativeAudpc]; }
};

// The summary's columns after the group's name: plots, refused, each
// measure's mean and deviation, rank, scale.
extern const std::array<NumberColumn<GroupSummary>, 2 * kMeasureCount + 4> kSummaryColumns;

struct Summary {
    std::vector<GroupSummary> groups; // in the order they first appear
    std::optional<double> slope;      // scale value per unit of relative AUDPC
};

class TrialSummary {
public:
    void add(const SummaryPlot& plot);
    // The plots of `later` as if added here after these: results made in
    // blocks on several threads are summarised block by block, then merged
    // in the order the blocks are written.
    void merge(const TrialSummary& later);
    [[nodiscard]] std::size_t groups() const { return m_groups.size(); }
    // Refuses a standard that is no group or has no computed plot, one given
    // twice, a value outside 1..9, and standards whose means are all 0.
    [[nodiscard]] OrError<Summary> summarise(const std::vector<Standard>& standards) const;

private:
    [[nodiscard]] Summary measured() const;
    [[nodiscard]] std::optional<SummaryError> scale(Summary& summary,
                                                    const std::vector<Standard>& standards) const;
    // Welford's running mean and sum of squared deviations: no cancellation
    // when a group's values lie far from 0 and close together.
    struct Running {
        double mean = 0.0;
        double squares = 0.0;
    };
    struct Group {
        std::string name;
        std::size_t plots = 0;
        std::size_t refused = 0;
        std::array<Running, kMeasureCount> measures{};
    };

    Group& groupNamed(std::string_view name);

    std::vector<Group> m_groups;
    std::map<std::string, std::size_t, std::less<>> m_numbers; // group name to index
};

// Means that differ only in the last bits that summing in another order
// changes are the same mean: such groups share a rank.
[[nodiscard]] bool SameMean(double a, double b);

// "; did you mean "Yungay"?" when `name` is none of the groups as written but
// some are without regard to case (ASCII letters); otherwise empty.
[[nodiscard]] std::string CaseHint(std::string_view name, const std::vector<std::string>& groups);

// The decimal point of a summary's numbers: a comma cannot be the decimal
// mark of a comma-separated file.
[[nodiscard]] constexpr char DecimalPoint(char separator, DecimalMark mark)
{
    return mark == DecimalMark::Comma && separator != ',' ? ',' : '.';
}

// The summary as text, a line feed after each row: group, then
// kSummaryColumns, with their decimals and the results' rounding, quoting
// and guard against formulas.
[[nodiscard]] std::string SummaryText(const Summary& summary, char separator, DecimalMark mark);
// Its header line and its rows, each row after `before` (fields already
// written, the separator after them), for texts that put columns first.
void AppendSummaryHeader(std::string& text, char separator);
void AppendSummaryRows(std::string& text, const Summary& summary, std::string_view before,
                       char separator, DecimalMark mark);

} // namespace quarven
