#include "group_curves.h"

#include "core/value_conventions.h"
#include "trial_summary.h"
#include "trial_values.h"

#include <algorithm>

namespace quarven {

std::vector<CurvePoint> MeanCurve(const std::vector<PlotSeries>& plots)
{
    std::vector<std::int32_t> days;
    for (const PlotSeries& plot : plots)
        days.insert(days.end(), plot.days.begin(), plot.days.end());
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());

    std::vector<double> sums(days.size(), 0.0);
    std::vector<std::size_t> counts(days.size(), 0);
    for (const PlotSeries& plot : plots) {
        if (plot.days.empty())
            continue;
        auto at = std::lower_bound(days.begin(), days.end(), plot.days.front());
        std::size_t next = 0; // the plot's first assessment on or after the day
        for (; at != days.end() && *at <= plot.days.back(); ++at) {
            const std::int32_t day = *at;
            while (plot.days[next] < day)
                ++next;
            double level = plot.levels[next];
            if (plot.days[next] != day) {
                const std::int32_t before = plot.days[next - 1];
                const double from = plot.levels[next - 1];
                level =
                    from + (level - from) * double(day - before) / double(plot.days[next] - before);
            }
            const auto i = static_cast<std::size_t>(at - days.begin());
            sums[i] += level;
            ++counts[i];
        }
    }
    std::vector<CurvePoint> points(days.size());
    for (std::size_t i = 0; i < days.size(); ++i)
        points[i] = {days[i], sums[i] / double(counts[i]), counts[i]};
    return points;
}

void GroupCurves::choose(const std::string& site, const std::string& group)
{
    if (m_index[site].emplace(group, m_groups.size()).second)
        m_groups.push_back({site, group, false, {}});
}

bool GroupCurves::chosen(std::string_view site, std::string_view group) const
{
    return indexOf(site, group).has_value();
}

std::optional<std::size_t> GroupCurves::indexOf(std::string_view site, std::string_view group) const
{
    const auto groups = m_index.find(site);
    if (groups == m_index.end())
        return std::nullopt;
    const auto found = groups->second.find(group);
    if (found == groups->second.end())
        return std::nullopt;
    return found->second;
}

std::vector<GroupCurve> GroupCurves::curves() const
{
    std::vector<GroupCurve> curves;
    for (const Group& group : m_groups)
        curves.push_back(
            {group.site, group.group, group.plots.size(), group.hasYear, MeanCurve(group.plots)});
    return curves;
}

void ChooseCurves(const Evaluation& evaluation, const std::vector<Standard>& standards,
                  GroupCurves& curves, std::size_t mostResistant)
{
    for (const SiteEvaluation& site : evaluation.sites) {
        for (const StandardFit& fit : site.fit)
            curves.choose(site.name, fit.standard);
        std::vector<const GroupSummary*> ranked;
        for (const GroupSummary& group : site.summary.groups) {
            const bool standard =
                std::any_of(standards.begin(), standards.end(),
                            [&group](const Standard& s) { return s.name == group.name; });
            if (group.rank && !standard)
                ranked.push_back(&group);
        }
        std::stable_sort(
            ranked.begin(), ranked.end(),
            [](const GroupSummary* a, const GroupSummary* b) { return *a->rank < *b->rank; });
        for (std::size_t i = 0; i < ranked.size() && i < mostResistant; ++i)
            curves.choose(site.name, ranked[i]->name);
    }
}

namespace {

// A chosen plot's assessments, until the batch tells whether it was computed.
struct Pending {
    PlotSeries series;
    bool hasYear = false;
    bool unreadable = false; // a date or level the batch refuses the plot for
};

} // namespace

struct GroupCurveReader::Site {
    std::string name;
    std::unique_ptr<TrialBatch> batch;
    std::map<std::string, Pending, std::less<>> pending; // long layout, by plot
    std::optional<Pending> wide;                         // the row being read
    // A book's rows of one plot, or of one group, mostly come together: the
    // last row's answers are kept rather than looked up again every row.
    std::string lastGroup;
    bool lastChosen = false;
    std::string lastPlot;
    Pending* lastPending = nullptr; // of lastPlot; none while it is not chosen

    [[nodiscard]] bool chosen(const GroupCurves& curves, std::string_view group)
    {
        if (group != lastGroup || lastGroup.empty()) {
            lastGroup.assign(group);
            lastChosen = curves.chosen(name, group);
        }
        return lastChosen;
    }
};

GroupCurveReader::GroupCurveReader(Options options, GroupCurves& into)
    : m_options(std::move(options)), m_into(into)
{
}

GroupCurveReader::~GroupCurveReader() = default;

void GroupCurveReader::header(const TrialHeader& header)
{
    m_header = header;
    const auto column = [&](const std::string& name,
                            std::string_view use) -> std::optional<std::size_t> {
        OrError<std::size_t> found = GroupColumn(header.copiedNames, name);
        if (auto* error = std::get_if<SummaryError>(&found)) {
            const std::string grouping = "to group by";
            const std::size_t at = error->message.find(grouping);
            if (at != std::string::npos)
                error->message.replace(at, grouping.size(), use);
            if (!m_error)
                m_error = TrialError{header.line, error->message};
            return std::nullopt;
        }
        return std::get<std::size_t>(found);
    };
    m_groupColumn = column(m_options.groupBy, "to group by").value_or(0);
    if (!m_options.siteBy.empty())
        m_siteColumn = column(m_options.siteBy, "to take the sites from");
}

GroupCurveReader::Site& GroupCurveReader::siteOf(std::string_view name)
{
    if (m_lastSite && m_lastSite->name == name)
        return *m_lastSite;
    const auto found = m_siteIndex.find(name);
    if (found != m_siteIndex.end())
        return *(m_lastSite = m_sites[found->second].get());
    auto site = std::make_unique<Site>();
    site->name = std::string(name);
    Site* const raw = site.get();
    site->batch = std::make_unique<TrialBatch>(
        m_options.settings, [this, raw](const PlotResult& plot) { result(*raw, plot); });
    site->batch->header(*m_header);
    m_siteIndex.emplace(site->name, m_sites.size());
    m_sites.push_back(std::move(site));
    m_lastSite = raw;
    return *raw;
}

// Days as the batch reads them; a plot whose dates or levels it would refuse
// is marked and never drawn.
std::optional<PlotSeries> GroupCurveReader::seriesOf(const TrialRow& row, PlotSeries series,
                                                     bool& hasYear) const
{
    const bool commaIsPoint = m_header->separator != ',';
    for (const TrialAssessment& assessment : row.assessments) {
        if (IsBlank(assessment.level))
            continue;
        const std::optional<TrialDate> date = ReadTrialDate(
            assessment.date, m_options.settings.year, m_options.settings.reading.dates);
        const std::optional<double> level = ReadWholeNumber(assessment.level, commaIsPoint);
        if (!date || !level)
            return std::nullopt;
        hasYear = hasYear || date->hasYear;
        series.days.push_back(static_cast<std::int32_t>(date->day));
        series.levels.push_back(*level);
    }
    return series;
}

void GroupCurveReader::row(const TrialRow& row)
{
    if (m_error || !m_header)
        return;
    Site& site =
        siteOf(m_siteColumn ? row.copied[*m_siteColumn] : std::string_view(m_options.site));
    const std::string_view group = row.copied[m_groupColumn];
    if (m_header->layout == TrialLayout::Wide) {
        site.wide.reset();
        if (site.chosen(m_into, group)) {
            Pending pending;
            std::optional<PlotSeries> series = seriesOf(row, {}, pending.hasYear);
            pending.unreadable = !series;
            if (series)
                pending.series = std::move(*series);
            site.wide = std::move(pending);
        }
        site.batch->row(row);
        return;
    }
    site.batch->row(row);
    if (row.plot != site.lastPlot || site.lastPlot.empty()) {
        site.lastPlot.assign(row.plot);
        const auto found = site.pending.find(row.plot);
        site.lastPending = found == site.pending.end() ? nullptr : &found->second;
    }
    if (!site.lastPending) {
        // A plot's group is its first row's: rows under a chosen group of a
        // plot that began under another are dropped with it in the end.
        if (!site.chosen(m_into, group))
            return;
        site.lastPending = &site.pending.emplace(std::string(row.plot), Pending{}).first->second;
    }
    Pending& plot = *site.lastPending;
    if (plot.unreadable)
        return;
    std::optional<PlotSeries> series = seriesOf(row, std::move(plot.series), plot.hasYear);
    plot.unreadable = !series;
    if (series)
        plot.series = std::move(*series);
    else
        plot.series = {};
}

void GroupCurveReader::result(Site& site, const PlotResult& result)
{
    const std::string_view group = result.copied[m_groupColumn];
    std::optional<Pending> pending;
    if (m_header->layout == TrialLayout::Wide) {
        pending = std::move(site.wide);
        site.wide.reset();
    } else if (const auto found = site.pending.find(result.plot); found != site.pending.end()) {
        pending = std::move(found->second);
        site.pending.erase(found);
        site.lastPlot.clear();
        site.lastPending = nullptr;
    }
    if (result.refused) {
        if (m_into.m_keepRefused) {
            std::string message(result.message);
            std::replace(message.begin(), message.end(), '\r', ' ');
            if (!result.lines.empty())
                message += " (" + std::string(result.lines) + ")";
            m_into.m_refused.push_back(
                {site.name, std::string(result.plot), std::string(group), std::move(message)});
        }
        return;
    }
    if (!pending || pending->unreadable)
        return;
    const std::optional<std::size_t> chosen = m_into.indexOf(site.name, group);
    if (!chosen)
        return;
    GroupCurves::Group& curve = m_into.m_groups[*chosen];
    curve.hasYear = curve.hasYear || pending->hasYear;
    curve.plots.push_back(std::move(pending->series));
}

std::optional<TrialError> GroupCurveReader::finish()
{
    if (m_error)
        return m_error;
    for (const std::unique_ptr<Site>& site : m_sites) {
        site->batch->finish();
        if (site->batch->error())
            return site->batch->error();
    }
    return std::nullopt;
}

} // namespace quarven
