// The mean disease progress curves of chosen groups: at each day on which
// one of a group's plots was assessed, the mean level over the group's
// plots, a plot not assessed that day giving its level read off the straight
// line between its own assessments either side (a plot gives nothing outside
// its own first..last days).
//
// The trial is read again as the batch reads it (its dates, levels, periods
// and refusals; a plot's group from its first row) by a visitor over the
// reader, so a file may come in pieces. Only the chosen groups' computed
// plots keep their assessments; every other plot is the batch's alone. The
// refused plots and their messages may be kept as well, for a report.
#pragma once

#include "site_evaluation.h"
#include "trial_batch.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// One plot's assessments in the order of their days (day numbers, see
// DayNumber), each day once.
struct PlotSeries {
    std::vector<std::int32_t> days;
    std::vector<double> levels;
};

struct CurvePoint {
    long day = 0;
    double level = 0.0;    // the mean
    std::size_t plots = 0; // the plots whose first..last days hold the day
};

// The mean curve of the plots: one point per day on which any was assessed.
[[nodiscard]] std::vector<CurvePoint> MeanCurve(const std::vector<PlotSeries>& plots);

struct GroupCurve {
    std::string site;
    std::string group;
    std::size_t plots = 0; // computed plots
    bool hasYear = false;  // some date was written with its year
    std::vector<CurvePoint> points;
};

// A plot the batch refused, and why, as the results write it: the message
// on one line, the file lines after it in brackets.
struct RefusedPlot {
    std::string site;
    std::string plot;
    std::string group;
    std::string message;
};

// The groups chosen at each site, the plots found for them, and the refused
// plots when they are kept. Filled by one or more readers, one a file.
class GroupCurves {
public:
    void choose(const std::string& site, const std::string& group);
    void keepRefused() { m_keepRefused = true; }
    [[nodiscard]] bool chosen(std::string_view site, std::string_view group) const;

    // In the order chosen; a group without a computed plot has no point.
    [[nodiscard]] std::vector<GroupCurve> curves() const;
    [[nodiscard]] const std::vector<RefusedPlot>& refused() const { return m_refused; }

private:
    friend class GroupCurveReader;
    struct Group {
        std::string site;
        std::string group;
        bool hasYear = false;
        std::vector<PlotSeries> plots;
    };
    [[nodiscard]] std::optional<std::size_t> indexOf(std::string_view site,
                                                     std::string_view group) const;

    std::vector<Group> m_groups;
    // Site, then group, to the group's index: looked up on every row without
    // a copy of either name.
    std::map<std::string, std::map<std::string, std::size_t, std::less<>>, std::less<>> m_index;
    bool m_keepRefused = false;
    std::vector<RefusedPlot> m_refused;
};

// The curves a breeder compares at each site: its standards with a computed
// plot there, in the order given, then its `mostResistant` best-ranked other
// groups (equal ranks in the order the groups first appear).
void ChooseCurves(const Evaluation& evaluation, const std::vector<Standard>& standards,
                  GroupCurves& curves, std::size_t mostResistant = 5);

// One trial file's plots into the curves. Without a site column every plot
// is at `site`; with one, each row goes to the site its column names, and a
// plot is a plot within its site, read by a batch of that site's own.
class GroupCurveReader final : public TrialVisitor {
public:
    struct Options {
        BatchSettings settings;
        std::string groupBy; // a copied column
        std::string siteBy;  // a copied column, or empty
        std::string site;    // the site of every plot when siteBy is empty
    };

    GroupCurveReader(Options options, GroupCurves& into);
    ~GroupCurveReader() override;
    GroupCurveReader(const GroupCurveReader&) = delete;
    GroupCurveReader& operator=(const GroupCurveReader&) = delete;

    void header(const TrialHeader& header) override;
    void row(const TrialRow& row) override;
    // The long layout's plots, once every row is in. A column the header does
    // not have, or a batch that could not hold the trial, is an error.
    [[nodiscard]] std::optional<TrialError> finish();

private:
    struct Site;
    Site& siteOf(std::string_view name);
    void result(Site& site, const PlotResult& result);
    [[nodiscard]] std::optional<PlotSeries> seriesOf(const TrialRow& row, PlotSeries series,
                                                     bool& hasYear) const;

    Options m_options;
    GroupCurves& m_into;
    std::optional<TrialHeader> m_header;
    std::size_t m_groupColumn = 0;
    std::optional<std::size_t> m_siteColumn;
    std::optional<TrialError> m_error;
    std::vector<std::unique_ptr<Site>> m_sites;
    Site* m_lastSite = nullptr; // of the last row
    std::map<std::string, std::size_t, std::less<>> m_siteIndex;
};

} // namespace quarven
