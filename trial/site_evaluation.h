// A trial grown at several sites, or in several seasons, judged as a whole.
// Relative AUDPC is not comparable between sites (weather and pressure
// differ), so each site is summarised and placed on the 1-9 scale by its own
// standards; the scale values are then compared and averaged over the sites.
//
// Each site comes as the running sums of its plots (a TrialSummary grouped by
// one column); the standards are given once for all sites. The evaluation
// holds each site's summary, how its standards fit the scale, warnings about
// standards that do not fit, the combined table of groups over the sites and
// the rank correlation between each pair of sites. The command line writes
// its texts; the Trial window shows the same values.
#pragma once

#include "trial_summary.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quarven {

// A site's name and its plots' sums; the sums are not owned and are read only
// while the evaluation is drawn.
struct SiteSums {
    std::string name;
    const TrialSummary* sums = nullptr;
};

// A standard at one site. Slope, fitted value and deviation are empty where
// the site has no scale.
struct StandardFit {
    std::string standard;
    double value = 0.0;
    double relativeAudpcMean = 0.0;
    std::optional<double> slope;
    std::optional<double> fitted;    // slope x mean
    std::optional<double> deviation; // fitted - value
};

struct SiteEvaluation {
    std::string name;
    Summary summary;
    // The standards with a computed plot at the site, in the order given.
    std::vector<StandardFit> fit;
    // Why the site has no scale although standards were given; else empty.
    std::string notice;
    // One line per standard far from its value and per pair that runs
    // against the values.
    std::vector<std::string> warnings;
};

// A group over the sites. `scales` has one entry per site, empty where the
// group was not grown or the site has no scale.
struct CombinedGroup {
    std::string name;
    std::vector<std::optional<double>> scales;
    std::size_t sites = 0; // the sites that gave it a scale
    std::optional<double> mean;
    std::optional<double> sd; // sample deviation, from two sites on
    std::optional<double> cv; // 100 x sd / mean
    // 1 for the lowest mean scale; equal means share the lower rank.
    std::optional<std::size_t> rank;
};

// Spearman's rank correlation of the groups' mean relative AUDPC at two
// sites, over the groups with a computed plot at both (tied means share their
// average rank). Empty with fewer than three such groups, or when either
// site's ranks do not vary.
struct SiteCorrelation {
    std::size_t first = 0; // indices of the sites
    std::size_t second = 0;
    std::size_t shared = 0;
    std::optional<double> rho;
};

struct Evaluation {
    std::vector<SiteEvaluation> sites;         // in the order given
    std::vector<CombinedGroup> combined;       // in the order groups first appear over the sites
    std::vector<SiteCorrelation> correlations; // (0,1), (0,2) ... (1,2) ...
};

// With one site, the rules of TrialSummary::summarise: a standard that is no
// group or has no computed plot, one given twice, a value outside 1..9 and
// standards whose means are all 0 are errors. With several, a standard given
// twice, outside 1..9, or a group at no site is an error; a site leaves out of
// its fit the standards with no computed plot there, and a site where no
// standard is left, or whose standards' means are all 0, has no scale and a
// notice. Standard names are matched as written.
[[nodiscard]] OrError<Evaluation> Evaluate(const std::vector<SiteSums>& sites,
                                           const std::vector<Standard>& standards);

// Every notice and warning, site by site, one line each.
[[nodiscard]] std::vector<std::string> EvaluationMessages(const Evaluation& evaluation);

// The fit's columns after the site and the standard's name.
extern const std::array<NumberColumn<StandardFit>, 5> kFitColumns;
// The combined table's columns between the group's name and the sites' scales.
extern const std::array<NumberColumn<CombinedGroup>, 5> kCombinedColumns;

// The texts, a line feed after each row, numbers with the results' rounding
// and the decimal mark given, text fields quoted where needed and guarded
// against formulas.
//
// The summary of SummaryText; with several sites a `site` column first and
// one block of groups per site.
[[nodiscard]] std::string EvaluationSummaryText(const Evaluation& evaluation, char separator,
                                                DecimalMark mark);
// [site,] standard, value, relative_audpc_mean, slope, fitted, deviation:
// one row per site and standard, the site only when there are several.
[[nodiscard]] std::string FitText(const Evaluation& evaluation, char separator, DecimalMark mark);
// Both with the site column or without it whatever the number of sites, for
// outputs whose columns must not hang on what the trials hold.
[[nodiscard]] std::string EvaluationSummaryText(const Evaluation& evaluation, char separator,
                                                DecimalMark mark, bool siteColumn);
[[nodiscard]] std::string FitText(const Evaluation& evaluation, char separator, DecimalMark mark,
                                  bool siteColumn);
// group, sites, scale_mean, scale_sd, scale_cv, rank, then a column per site
// named after it.
[[nodiscard]] std::string CombinedText(const Evaluation& evaluation, char separator,
                                       DecimalMark mark);

} // namespace quarven
