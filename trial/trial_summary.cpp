#include "trial_summary.h"

#include "core/cell_text.h"
#include "core/value_conventions.h"
#include "trial_results.h"
#include "trial_values.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quarven {
namespace {

std::optional<double> plotsOf(const GroupSummary& group)
{
    return static_cast<double>(group.plots);
}

std::optional<double> refusedOf(const GroupSummary& group)
{
    return static_cast<double>(group.refused);
}

template <std::size_t M> std::optional<double> meanOf(const GroupSummary& group)
{
    return group.measures[M].mean;
}

template <std::size_t M> std::optional<double> sdOf(const GroupSummary& group)
{
    return group.measures[M].sd;
}

std::optional<double> rankOf(const GroupSummary& group)
{
    if (!group.rank)
        return std::nullopt;
    return static_cast<double>(*group.rank);
}

std::optional<double> scaleOf(const GroupSummary& group)
{
    return group.scale;
}

template <std::size_t... M>
constexpr std::array<NumberColumn<GroupSummary>, 2 * kMeasureCount + 4>
summaryColumns(std::index_sequence<M...>)
{
    using Value = std::optional<double> (*)(const GroupSummary&);
    constexpr std::array<Value, kMeasureCount> means{meanOf<M>...};
    constexpr std::array<Value, kMeasureCount> sds{sdOf<M>...};
    std::array<NumberColumn<GroupSummary>, 2 * kMeasureCount + 4> columns{
        {{"plots", 0, plotsOf}, {"refused", 0, refusedOf}}};
    for (std::size_t m = 0; m < kMeasureCount; ++m) {
        columns[2 + 2 * m] = {kMeasures[m].mean, kMeasures[m].summaryDecimals, means[m]};
        columns[3 + 2 * m] = {kMeasures[m].sd, kMeasures[m].summaryDecimals, sds[m]};
    }
    columns[columns.size() - 2] = {"rank", 0, rankOf};
    columns[columns.size() - 1] = {"scale", kScaleDecimals, scaleOf};
    return columns;
}

} // namespace

const std::array<NumberColumn<GroupSummary>, 2 * kMeasureCount + 4> kSummaryColumns =
    summaryColumns(std::make_index_sequence<kMeasureCount>());

std::string QuotedName(std::string_view name)
{
    std::string text = "\"";
    for (const char c : name)
        text += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
    return text + '"';
}

bool SameMean(double a, double b)
{
    return std::abs(a - b) <= 1e-12 * std::max(std::abs(a), std::abs(b));
}

std::string CaseHint(std::string_view name, const std::vector<std::string>& groups)
{
    const auto sameLetters = [name](std::string_view group) {
        return std::equal(group.begin(), group.end(), name.begin(), name.end(),
                          [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    };
    std::vector<std::string_view> meant;
    for (const std::string& group : groups) {
        if (group == name)
            return {};
        if (sameLetters(group) && std::find(meant.begin(), meant.end(), group) == meant.end())
            meant.push_back(group);
    }
    std::string hint;
    for (std::size_t i = 0; i < meant.size(); ++i)
        hint += (i == 0 ? "; did you mean " : " or ") + QuotedName(meant[i]);
    return meant.empty() ? hint : hint + '?';
}

SummaryPlot SummaryPlotOf(const PlotResult& result, std::size_t groupColumn)
{
    SummaryPlot plot;
    if (groupColumn < result.copied.size())
        plot.group = result.copied[groupColumn];
    plot.computed = !result.refused;
    plot.values = result.values;
    return plot;
}

OrError<std::size_t> GroupColumn(const std::vector<std::string>& copiedNames, std::string_view name,
                                 std::string_view use)
{
    const auto sameName = [name](std::string_view column) {
        return std::equal(column.begin(), column.end(), name.begin(), name.end(),
                          [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    };
    for (std::size_t i = 0; i < copiedNames.size(); ++i)
        if (sameName(copiedNames[i]))
            return i;
    std::string message = "No column " + QuotedName(name) + " " + std::string(use) + ": the trial ";
    if (copiedNames.empty())
        return SummaryError{message + "has no column besides its plots and assessments"};
    message += "has ";
    for (std::size_t i = 0; i < copiedNames.size(); ++i)
        message += (i == 0 ? "" : ", ") + QuotedName(copiedNames[i]);
    return SummaryError{message};
}

OrError<Standard> ParseStandard(std::string_view text)
{
    const std::size_t equals = text.rfind('=');
    if (equals == std::string_view::npos || IsBlank(text.substr(0, equals)))
        return SummaryError{"The standard " + QuotedName(text) + " is not written NAME=VALUE"};
    const std::optional<double> value = ReadWholeNumber(text.substr(equals + 1), true);
    if (!value)
        return SummaryError{"The standard " + QuotedName(text) + " has no number for its value"};
    return Standard{std::string(TrimmedBlanks(text.substr(0, equals))), *value};
}

std::optional<SummaryError> StandardValueError(const std::vector<Standard>& standards,
                                               std::size_t i)
{
    const Standard& standard = standards[i];
    const std::string name = "The standard " + QuotedName(standard.name);
    for (std::size_t j = 0; j < i; ++j)
        if (standards[j].name == standard.name)
            return SummaryError{name + " is given twice"};
    if (!(standard.value >= 1.0 && standard.value <= 9.0))
        return SummaryError{name + " has the value " + ShortestText(standard.value) +
                            ", outside the scale 1..9"};
    return std::nullopt;
}

TrialSummary::Group& TrialSummary::groupNamed(std::string_view name)
{
    auto found = m_numbers.find(name);
    if (found == m_numbers.end()) {
        found = m_numbers.emplace(std::string(name), m_groups.size()).first;
        m_groups.push_back(Group{std::string(name), 0, 0, {}});
    }
    return m_groups[found->second];
}

void TrialSummary::add(const SummaryPlot& plot)
{
    Group& group = groupNamed(plot.group);
    ++group.plots;
    if (!plot.computed) {
        ++group.refused;
        return;
    }
    const double computed = static_cast<double>(group.plots - group.refused);
    for (std::size_t m = 0; m < kMeasureCount; ++m) {
        Running& running = group.measures[m];
        const double value = plot.values[m];
        const double before = value - running.mean;
        running.mean += before / computed;
        running.squares += before * (value - running.mean);
    }
}

// Chan, Golub and LeVeque's pairwise update of the mean and squared deviations.
void TrialSummary::merge(const TrialSummary& later)
{
    for (const Group& other : later.m_groups) {
        Group& group = groupNamed(other.name);
        const double here = static_cast<double>(group.plots - group.refused);
        const double there = static_cast<double>(other.plots - other.refused);
        group.plots += other.plots;
        group.refused += other.refused;
        if (there == 0.0)
            continue;
        const double both = here + there;
        for (std::size_t m = 0; m < group.measures.size(); ++m) {
            Running& running = group.measures[m];
            const Running& theirs = other.measures[m];
            const double apart = theirs.mean - running.mean;
            running.mean += apart * there / both;
            running.squares += theirs.squares + apart * apart * here * there / both;
        }
    }
}

OrError<Summary> TrialSummary::summarise(const std::vector<Standard>& standards) const
{
    Summary summary = measured();
    std::vector<GroupSummary*> ranked;
    for (GroupSummary& group : summary.groups)
        if (group.relativeAudpc().mean)
            ranked.push_back(&group);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const GroupSummary* a, const GroupSummary* b) {
                         return *a->relativeAudpc().mean < *b->relativeAudpc().mean;
                     });
    for (std::size_t i = 0; i < ranked.size(); ++i)
        ranked[i]->rank = i > 0 && SameMean(*ranked[i]->relativeAudpc().mean,
                                            *ranked[i - 1]->relativeAudpc().mean)
                              ? ranked[i - 1]->rank
                              : i + 1;
    if (std::optional<SummaryError> error = scale(summary, standards))
        return std::move(*error);
    return summary;
}

// The groups with their counts, means and deviations.
Summary TrialSummary::measured() const
{
    Summary summary;
    for (const Group& group : m_groups) {
        GroupSummary& out = summary.groups.emplace_back();
        out.name = group.name;
        out.plots = group.plots;
        out.refused = group.refused;
        const std::size_t computed = group.plots - group.refused;
        for (std::size_t m = 0; m < kMeasureCount; ++m) {
            if (computed > 0)
                out.measures[m].mean = group.measures[m].mean;
            if (computed > 1)
                out.measures[m].sd =
                    std::sqrt(group.measures[m].squares / static_cast<double>(computed - 1));
        }
    }
    return summary;
}

// The slope through the origin of the standards' values on their mean
// relative AUDPC, by least squares, and each group's place on the scale.
std::optional<SummaryError> TrialSummary::scale(Summary& summary,
                                                const std::vector<Standard>& standards) const
{
    if (standards.empty())
        return std::nullopt;
    double products = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < standards.size(); ++i) {
        const Standard& standard = standards[i];
        if (std::optional<SummaryError> error = StandardValueError(standards, i))
            return error;
        const std::string name = "The standard " + QuotedName(standard.name);
        const auto found = m_numbers.find(standard.name);
        if (found == m_numbers.end()) {
            std::vector<std::string> groups;
            for (const Group& group : m_groups)
                groups.push_back(group.name);
            return SummaryError{name + " is no group of the trial" +
                                CaseHint(standard.name, groups)};
        }
        const std::optional<double>& mean = summary.groups[found->second].relativeAudpc().mean;
        if (!mean)
            return SummaryError{name + " has no computed plot"};
        products += standard.value * *mean;
        squares += *mean * *mean;
    }
    if (!(squares > 0.0))
        return SummaryError{standards.size() == 1
                                ? "The standard " + QuotedName(standards.front().name) +
                                      " has a mean relative AUDPC of 0: it gives no scale"
                                : std::string("The standards' mean relative AUDPC are all 0: "
                                              "they give no scale")};
    summary.slope = products / squares;
    for (GroupSummary& group : summary.groups)
        if (group.relativeAudpc().mean)
            group.scale = *summary.slope * *group.relativeAudpc().mean;
    return std::nullopt;
}

std::string SummaryText(const Summary& summary, char separator, DecimalMark mark)
{
    std::string text;
    AppendSummaryHeader(text, separator);
    AppendSummaryRows(text, summary, {}, separator, mark);
    return text;
}

void AppendSummaryHeader(std::string& text, char separator)
{
    text += "group";
    AppendColumnNames(text, kSummaryColumns, separator);
    text += '\n';
}

void AppendSummaryRows(std::string& text, const Summary& summary, std::string_view before,
                       char separator, DecimalMark mark)
{
    const char point = DecimalPoint(separator, mark);
    for (const GroupSummary& group : summary.groups) {
        text += before;
        AppendField(text, FormulaSafe(group.name), separator);
        AppendNumbers(text, kSummaryColumns, group, separator, point);
        text += '\n';
    }
}

} // namespace quarven
