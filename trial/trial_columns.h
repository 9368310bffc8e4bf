// The columns of the trial's texts, each written once: the per-plot columns
// of the results, and the measures computed for each plot and summarised over
// groups, each with its names, its decimals and how it is computed from a
// plot. The batch, both results writers (the file's and the Trial window's),
// the summary and its window follow these tables, and every number they write
// goes through one rounding rule (AppendDecimals). A new measure is a row of
// kMeasures and its computation.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace quarven {

// What a computed plot's measures are computed from: its AUDPC (the window's
// sum, in its order), its first and last level, the days from its first to
// its last assessment, its number of assessments and its period in days.
struct PlotSums {
    double audpc = 0.0;
    double firstLevel = 0.0;
    double lastLevel = 0.0;
    double days = 0.0;
    double assessments = 0.0;
    double period = 0.0;
};

struct Measure {
    const char* name; // its column in the results
    const char* mean; // its two columns in the summary
    const char* sd;
    const char* meanWords; // the two as the Trial window heads them
    const char* sdWords;
    int decimals;        // in the results and the Trial window's plots
    int summaryDecimals; // of its mean and deviation
    double (*of)(const PlotSums&);
};

// A plain array, so that a new row needs no count changed.
inline constexpr Measure kMeasures[] = {
    // As the window shows it, but 0 where it shows nothing: a statistics
    // package must not read a healthy plot as missing.
    {"audpc", "audpc_mean", "audpc_sd", "AUDPC", "AUDPC SD", 0, 1,
     [](const PlotSums& p) { return p.audpc; }},
    // As the window shows it.
    {"yield_losses", "yield_losses_mean", "yield_losses_sd", "Yield losses", "Yield losses SD", 1,
     2, [](const PlotSums& p) { return p.audpc / p.period; }},
    // Its deviation stands beside it, the one a resistance evaluation reads.
    {"relative_audpc", "relative_audpc_mean", "relative_audpc_sd", "Relative AUDPC", "SD", 4, 4,
     [](const PlotSums& p) { return p.audpc / (100.0 * p.days); }},
    // The area under the disease progress stairs (Simko & Piepho 2012).
    {"audps", "audps_mean", "audps_sd", "AUDPS", "AUDPS SD", 1, 1,
     [](const PlotSums& p) {
         return p.audpc + (p.firstLevel + p.lastLevel) / 2 * p.days / (p.assessments - 1);
     }},
};

inline constexpr std::size_t kMeasureCount = std::size(kMeasures);
using MeasureValues = std::array<double, kMeasureCount>;

// The place in kMeasures of the measure named `name`, for the few that are
// asked for by name; kMeasureCount when there is none.
[[nodiscard]] constexpr std::size_t MeasureIndex(std::string_view name)
{
    for (std::size_t m = 0; m < kMeasureCount; ++m)
        if (name == kMeasures[m].name)
            return m;
    return kMeasureCount;
}

// The two the calculator window shows for a plot.
inline constexpr std::size_t kAudpc = MeasureIndex("audpc");
inline constexpr std::size_t kYieldLosses = MeasureIndex("yield_losses");
// Groups are ranked, and placed on the scale, by their mean relative AUDPC.
inline constexpr std::size_t kRelativeAudpc = MeasureIndex("relative_audpc");
static_assert(kAudpc < kMeasureCount && kYieldLosses < kMeasureCount &&
              kRelativeAudpc < kMeasureCount);

// The decimals of values on the 1-9 susceptibility scale and of the slope
// that places groups on it.
inline constexpr int kScaleDecimals = 1;
inline constexpr int kSlopeDecimals = 4;
// Decimals that ask for the shortest text that reads back as the value.
inline constexpr int kShortest = -1;

// A summary column as the Trial window heads it, by its name in the file;
// the name itself when it has no words.
[[nodiscard]] constexpr std::string_view SummaryWords(std::string_view name)
{
    constexpr std::string_view words[][2] = {{"group", "Group"},         {"standard", "Standard"},
                                             {"site", "Site"},           {"plots", "Plots"},
                                             {"refused", "Refused"},     {"rank", "Rank"},
                                             {"scale", "Scale 1\u20139"}};
    for (const auto& [file, shown] : words)
        if (name == file)
            return shown;
    for (const Measure& measure : kMeasures) {
        if (name == measure.mean)
            return measure.meanWords;
        if (name == measure.sd)
            return measure.sdWords;
    }
    return name;
}

// The results' columns after the plot and its copied columns, in the order
// the batch gives them.
enum class ColumnKind { Number, Date, Text };
struct ResultColumn {
    const char* name;
    ColumnKind kind;
    int decimals = kShortest; // of a Number column, as the results write it
};

namespace detail {
constexpr std::array<ResultColumn, kMeasureCount + 5> resultColumns()
{
    std::array<ResultColumn, kMeasureCount + 5> columns{{{"assessments", ColumnKind::Number, 0},
                                                         {"first_date", ColumnKind::Date},
                                                         {"last_date", ColumnKind::Date},
                                                         {"period", ColumnKind::Number, 0}}};
    for (std::size_t m = 0; m < kMeasureCount; ++m)
        columns[4 + m] = {kMeasures[m].name, ColumnKind::Number, kMeasures[m].decimals};
    columns.back() = {"message", ColumnKind::Text};
    return columns;
}
} // namespace detail

inline constexpr auto kResultColumns = detail::resultColumns();

// A value as the texts write it: with `decimals` decimals under the rounding
// rule of AppendDecimals (or the shortest text, kShortest) and `point` as its
// decimal mark; nothing at all without a value.
void AppendNumber(std::string& text, const std::optional<double>& value, int decimals, char point);
// The shortest text that reads back as the value, "." as its point.
[[nodiscard]] std::string ShortestText(double value);

// A column of numbers in a table of rows: its name, its decimals and how the
// value is taken from a row (none: an empty cell).
template <typename Row> struct NumberColumn {
    const char* name;
    int decimals;
    std::optional<double> (*value)(const Row&);
};

template <typename Row, std::size_t N>
void AppendColumnNames(std::string& text, const std::array<NumberColumn<Row>, N>& columns,
                       char separator)
{
    for (const NumberColumn<Row>& column : columns) {
        text += separator;
        text += column.name;
    }
}

template <typename Row, std::size_t N>
void AppendNumbers(std::string& text, const std::array<NumberColumn<Row>, N>& columns,
                   const Row& row, char separator, char point)
{
    for (const NumberColumn<Row>& column : columns) {
        text += separator;
        AppendNumber(text, column.value(row), column.decimals, point);
    }
}

} // namespace quarven
