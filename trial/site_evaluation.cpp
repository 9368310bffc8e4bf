#include "site_evaluation.h"

#include "core/cell_text.h"
#include "core/value_conventions.h"
#include "trial_results.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>

namespace quarven {
namespace {

using GroupIndex = std::map<std::string_view, std::size_t, std::less<>>;

GroupIndex indexOf(const Summary& summary)
{
    GroupIndex index;
    for (std::size_t g = 0; g < summary.groups.size(); ++g)
        index.emplace(summary.groups[g].name, g);
    return index;
}

const GroupSummary* find(const Summary& summary, const GroupIndex& index, std::string_view name)
{
    const auto found = index.find(name);
    return found == index.end() ? nullptr : &summary.groups[found->second];
}

void appendText(std::string& text, std::string_view field, char separator)
{
    AppendField(text, FormulaSafe(field), separator);
}

std::string siteLead(const SiteEvaluation& site)
{
    return "Site " + QuotedName(site.name);
}

std::string standardAndValue(const StandardFit& fit)
{
    return QuotedName(fit.standard) + " of value " + ShortestText(fit.value);
}

// A row per standard, each with a computed plot at the site; the fitted
// values only where the site has a slope.
std::vector<StandardFit> fitOf(const Summary& summary, const std::vector<Standard>& standards)
{
    const GroupIndex index = indexOf(summary);
    std::vector<StandardFit> fit;
    for (const Standard& standard : standards) {
        const GroupSummary* group = find(summary, index, standard.name);
        StandardFit row{standard.name, standard.value, *group->relativeAudpc().mean, {}, {}, {}};
        if (summary.slope) {
            row.slope = summary.slope;
            row.fitted = *summary.slope * row.relativeAudpcMean;
            row.deviation = *row.fitted - standard.value;
        }
        fit.push_back(std::move(row));
    }
    return fit;
}

// A standard 2 or more from its value, judged on the deviation as written, so
// that a row showing 2.0 is always told; then each pair whose means run
// against their values.
std::vector<std::string> warningsOf(const SiteEvaluation& site)
{
    std::vector<std::string> warnings;
    for (const StandardFit& fit : site.fit)
        if (fit.deviation &&
            std::abs(ReadNumber(FormatDecimals(*fit.deviation, kScaleDecimals))) >= 2.0)
            warnings.push_back(siteLead(site) + ": the standard " + standardAndValue(fit) +
                               " is fitted at " + FormatDecimals(*fit.fitted, kScaleDecimals) +
                               ", 2 units or more from its value");
    for (std::size_t i = 0; i < site.fit.size(); ++i)
        for (std::size_t j = i + 1; j < site.fit.size(); ++j) {
            const StandardFit* resistant = &site.fit[i];
            const StandardFit* susceptible = &site.fit[j];
            if (resistant->value == susceptible->value || !resistant->fitted)
                continue;
            if (resistant->value > susceptible->value)
                std::swap(resistant, susceptible);
            if (resistant->relativeAudpcMean <= susceptible->relativeAudpcMean ||
                SameMean(resistant->relativeAudpcMean, susceptible->relativeAudpcMean))
                continue;
            warnings.push_back(siteLead(site) + ": the standard " + standardAndValue(*resistant) +
                               " (fitted " + FormatDecimals(*resistant->fitted, kScaleDecimals) +
                               ") is more diseased than " + standardAndValue(*susceptible) +
                               " (fitted " + FormatDecimals(*susceptible->fitted, kScaleDecimals) +
                               "), declared more susceptible");
        }
    return warnings;
}

OrError<Evaluation> oneSite(const SiteSums& only, const std::vector<Standard>& standards)
{
    OrError<Summary> drawn = only.sums->summarise(standards);
    if (auto* error = std::get_if<SummaryError>(&drawn))
        return std::move(*error);
    Evaluation evaluation;
    SiteEvaluation& site = evaluation.sites.emplace_back();
    site.name = only.name;
    site.summary = std::get<Summary>(std::move(drawn));
    site.fit = fitOf(site.summary, standards);
    return evaluation;
}

// Which standards each site can use: those with a computed plot there.
OrError<std::vector<std::vector<Standard>>>
standardsAtSites(const std::vector<SiteEvaluation>& sites, const std::vector<Standard>& standards)
{
    std::vector<GroupIndex> indices;
    std::vector<std::string> allGroups;
    for (const SiteEvaluation& site : sites) {
        indices.push_back(indexOf(site.summary));
        for (const GroupSummary& group : site.summary.groups)
            allGroups.push_back(group.name);
    }
    for (std::size_t i = 0; i < standards.size(); ++i) {
        if (std::optional<SummaryError> error = StandardValueError(standards, i))
            return std::move(*error);
        const std::string& name = standards[i].name;
        if (std::none_of(indices.begin(), indices.end(),
                         [&name](const GroupIndex& index) { return index.count(name) > 0; }))
            return SummaryError{"The standard " + QuotedName(name) + " is no group at any site" +
                                CaseHint(name, allGroups)};
    }
    std::vector<std::vector<Standard>> present(sites.size());
    for (std::size_t s = 0; s < sites.size(); ++s)
        for (const Standard& standard : standards) {
            const GroupSummary* group = find(sites[s].summary, indices[s], standard.name);
            if (group && group->relativeAudpc().mean)
                present[s].push_back(standard);
        }
    return present;
}

OrError<Evaluation> severalSites(const std::vector<SiteSums>& sites,
                                 const std::vector<Standard>& standards)
{
    Evaluation evaluation;
    for (const SiteSums& sums : sites)
        evaluation.sites.push_back(
            {sums.name, std::get<Summary>(sums.sums->summarise({})), {}, {}, {}});
    if (standards.empty())
        return evaluation;
    auto checked = standardsAtSites(evaluation.sites, standards);
    if (auto* error = std::get_if<SummaryError>(&checked))
        return std::move(*error);
    const auto& present = std::get<std::vector<std::vector<Standard>>>(checked);

    for (std::size_t s = 0; s < sites.size(); ++s) {
        SiteEvaluation& site = evaluation.sites[s];
        if (present[s].empty()) {
            site.notice = siteLead(site) + " has no scale: no standard has a computed plot there";
            continue;
        }
        // Only standards whose means are all 0 are refused now.
        OrError<Summary> scaled = sites[s].sums->summarise(present[s]);
        if (Summary* summary = std::get_if<Summary>(&scaled))
            site.summary = std::move(*summary);
        else
            site.notice = siteLead(site) + " has no scale: " +
                          (present[s].size() == 1
                               ? "the mean relative AUDPC of its standard " +
                                     QuotedName(present[s].front().name) + " is 0"
                               : std::string("its standards' mean relative AUDPC are all 0"));
        site.fit = fitOf(site.summary, present[s]);
    }
    return evaluation;
}

std::vector<CombinedGroup> combine(const std::vector<SiteEvaluation>& sites)
{
    std::vector<CombinedGroup> combined;
    std::map<std::string_view, std::size_t, std::less<>> rows;
    for (std::size_t s = 0; s < sites.size(); ++s)
        for (const GroupSummary& group : sites[s].summary.groups) {
            const auto [at, added] = rows.emplace(group.name, combined.size());
            if (added) {
                combined.push_back({group.name, {}, 0, {}, {}, {}, {}});
                combined.back().scales.resize(sites.size());
            }
            combined[at->second].scales[s] = group.scale;
        }

    std::vector<CombinedGroup*> ranked;
    for (CombinedGroup& group : combined) {
        std::vector<double> scales;
        for (const std::optional<double>& scale : group.scales)
            if (scale)
                scales.push_back(*scale);
        group.sites = scales.size();
        if (scales.empty())
            continue;
        const double n = static_cast<double>(scales.size());
        const double mean = std::accumulate(scales.begin(), scales.end(), 0.0) / n;
        group.mean = mean;
        ranked.push_back(&group);
        if (scales.size() < 2)
            continue;
        double squares = 0.0;
        for (const double scale : scales)
            squares += (scale - mean) * (scale - mean);
        group.sd = std::sqrt(squares / (n - 1.0));
        if (mean != 0.0)
            group.cv = 100.0 * *group.sd / mean;
    }
    std::stable_sort(
        ranked.begin(), ranked.end(),
        [](const CombinedGroup* a, const CombinedGroup* b) { return *a->mean < *b->mean; });
    for (std::size_t i = 0; i < ranked.size(); ++i)
        ranked[i]->rank =
            i > 0 && SameMean(*ranked[i]->mean, *ranked[i - 1]->mean) ? ranked[i - 1]->rank : i + 1;
    return combined;
}

// Ranks from 1, tied values (the same mean) sharing the average of their places.
std::vector<double> averageRanks(const std::vector<double>& values)
{
    std::vector<std::size_t> order(values.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&values](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    std::vector<double> ranks(values.size());
    for (std::size_t first = 0; first < order.size();) {
        std::size_t last = first + 1;
        while (last < order.size() && SameMean(values[order[last]], values[order[last - 1]]))
            ++last;
        const double shared = static_cast<double>(first + 1 + last) / 2.0;
        for (std::size_t i = first; i < last; ++i)
            ranks[order[i]] = shared;
        first = last;
    }
    return ranks;
}

SiteCorrelation correlate(const std::vector<SiteEvaluation>& sites,
                          const std::vector<GroupIndex>& indices, std::size_t a, std::size_t b)
{
    std::vector<double> here, there;
    for (const GroupSummary& group : sites[a].summary.groups) {
        const GroupSummary* found = find(sites[b].summary, indices[b], group.name);
        if (group.relativeAudpc().mean && found && found->relativeAudpc().mean) {
            here.push_back(*group.relativeAudpc().mean);
            there.push_back(*found->relativeAudpc().mean);
        }
    }
    SiteCorrelation correlation{a, b, here.size(), {}};
    if (here.size() < 3)
        return correlation;
    const std::vector<double> x = averageRanks(here);
    const std::vector<double> y = averageRanks(there);
    const double middle = static_cast<double>(x.size() + 1) / 2.0;
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        xy += (x[i] - middle) * (y[i] - middle);
        xx += (x[i] - middle) * (x[i] - middle);
        yy += (y[i] - middle) * (y[i] - middle);
    }
    if (xx > 0.0 && yy > 0.0)
        correlation.rho = xy / std::sqrt(xx * yy);
    return correlation;
}

} // namespace

const std::array<NumberColumn<StandardFit>, 5> kFitColumns{{
    {"value", kShortest, [](const StandardFit& f) -> std::optional<double> { return f.value; }},
    {kMeasures[kRelativeAudpc].mean, kMeasures[kRelativeAudpc].summaryDecimals,
     [](const StandardFit& f) -> std::optional<double> { return f.relativeAudpcMean; }},
    {"slope", kSlopeDecimals, [](const StandardFit& f) { return f.slope; }},
    {"fitted", kScaleDecimals, [](const StandardFit& f) { return f.fitted; }},
    {"deviation", kScaleDecimals, [](const StandardFit& f) { return f.deviation; }},
}};

const std::array<NumberColumn<CombinedGroup>, 5> kCombinedColumns{{
    {"sites", 0,
     [](const CombinedGroup& g) -> std::optional<double> { return static_cast<double>(g.sites); }},
    {"scale_mean", kScaleDecimals, [](const CombinedGroup& g) { return g.mean; }},
    {"scale_sd", kScaleDecimals, [](const CombinedGroup& g) { return g.sd; }},
    {"scale_cv", kScaleDecimals, [](const CombinedGroup& g) { return g.cv; }},
    {"rank", 0,
     [](const CombinedGroup& g) -> std::optional<double> {
         if (!g.rank)
             return std::nullopt;
         return static_cast<double>(*g.rank);
     }},
}};

OrError<Evaluation> Evaluate(const std::vector<SiteSums>& sites,
                             const std::vector<Standard>& standards)
{
    OrError<Evaluation> drawn =
        sites.size() == 1 ? oneSite(sites.front(), standards) : severalSites(sites, standards);
    Evaluation* evaluation = std::get_if<Evaluation>(&drawn);
    if (!evaluation)
        return drawn;
    std::vector<GroupIndex> indices;
    for (SiteEvaluation& site : evaluation->sites) {
        site.warnings = warningsOf(site);
        indices.push_back(indexOf(site.summary));
    }
    evaluation->combined = combine(evaluation->sites);
    for (std::size_t a = 0; a < sites.size(); ++a)
        for (std::size_t b = a + 1; b < sites.size(); ++b)
            evaluation->correlations.push_back(correlate(evaluation->sites, indices, a, b));
    return drawn;
}

std::vector<std::string> EvaluationMessages(const Evaluation& evaluation)
{
    std::vector<std::string> lines;
    for (const SiteEvaluation& site : evaluation.sites) {
        if (!site.notice.empty())
            lines.push_back(site.notice);
        lines.insert(lines.end(), site.warnings.begin(), site.warnings.end());
    }
    return lines;
}

std::string EvaluationSummaryText(const Evaluation& evaluation, char separator, DecimalMark mark)
{
    return EvaluationSummaryText(evaluation, separator, mark, evaluation.sites.size() > 1);
}

std::string EvaluationSummaryText(const Evaluation& evaluation, char separator, DecimalMark mark,
                                  bool siteColumn)
{
    if (!siteColumn)
        return SummaryText(evaluation.sites.front().summary, separator, mark);
    std::string text = "site";
    text += separator;
    AppendSummaryHeader(text, separator);
    for (const SiteEvaluation& site : evaluation.sites) {
        std::string lead;
        appendText(lead, site.name, separator);
        lead += separator;
        AppendSummaryRows(text, site.summary, lead, separator, mark);
    }
    return text;
}

std::string FitText(const Evaluation& evaluation, char separator, DecimalMark mark)
{
    return FitText(evaluation, separator, mark, evaluation.sites.size() > 1);
}

std::string FitText(const Evaluation& evaluation, char separator, DecimalMark mark, bool siteColumn)
{
    const char point = DecimalPoint(separator, mark);
    const bool several = siteColumn;
    std::string text = several ? std::string("site") + separator + "standard" : "standard";
    AppendColumnNames(text, kFitColumns, separator);
    text += '\n';
    for (const SiteEvaluation& site : evaluation.sites)
        for (const StandardFit& fit : site.fit) {
            if (several) {
                appendText(text, site.name, separator);
                text += separator;
            }
            appendText(text, fit.standard, separator);
            AppendNumbers(text, kFitColumns, fit, separator, point);
            text += '\n';
        }
    return text;
}

std::string CombinedText(const Evaluation& evaluation, char separator, DecimalMark mark)
{
    const char point = DecimalPoint(separator, mark);
    std::string text = "group";
    AppendColumnNames(text, kCombinedColumns, separator);
    for (const SiteEvaluation& site : evaluation.sites) {
        text += separator;
        appendText(text, site.name, separator);
    }
    text += '\n';
    for (const CombinedGroup& group : evaluation.combined) {
        appendText(text, group.name, separator);
        AppendNumbers(text, kCombinedColumns, group, separator, point);
        for (const std::optional<double>& scale : group.scales) {
            text += separator;
            AppendNumber(text, scale, kScaleDecimals, point);
        }
        text += '\n';
    }
    return text;
}

} // namespace quarven
