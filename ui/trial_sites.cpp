#include "trial_sites.h"

#include "core/cell_text.h"
#include "trial/trial_results.h"
#include "trial/trial_summary.h"

#include <algorithm>
#include <map>
#include <utility>

namespace quarven {

TrialSites::TrialSites(std::vector<SiteTable> sites) : m_sites(std::move(sites))
{
    // A copied column is known by its name and which of that name it is in
    // its file.
    std::map<std::pair<std::string, std::size_t>, std::size_t> known;
    std::vector<std::vector<std::pair<std::size_t, std::uint32_t>>> found(m_sites.size());
    for (std::size_t s = 0; s < m_sites.size(); ++s) {
        const TrialTable& table = *m_sites[s].table;
        m_starts.push_back(m_starts.back() + table.rows());
        std::map<std::string_view, std::size_t> seen;
        for (std::size_t c = 0; c < table.copiedNames.size(); ++c) {
            const std::string& name = table.copiedNames[c];
            const auto [at, added] = known.emplace(std::pair(name, seen[name]++), m_copied.size());
            if (added)
                m_copied.push_back(name);
            found[s].emplace_back(at->second, std::uint32_t(1 + c));
        }
    }
    const std::size_t copied = m_copied.size();
    for (std::size_t s = 0; s < m_sites.size(); ++s) {
        std::vector<std::uint32_t>& from =
            m_from.emplace_back(1 + copied + kResultColumns.size(), kMissing);
        from[0] = 0;
        for (const auto& [column, own] : found[s])
            from[1 + column] = own;
        const std::size_t results = 1 + m_sites[s].table->copiedNames.size();
        for (std::size_t r = 0; r < kResultColumns.size(); ++r)
            from[1 + copied + r] = std::uint32_t(results + r);
    }
}

TrialSites TrialSites::Of(const TrialTable& table)
{
    return TrialSites({{std::string(), std::shared_ptr<const TrialTable>(
                                           std::shared_ptr<const TrialTable>(), &table)}});
}

std::size_t TrialSites::columns() const
{
    return (several() ? 1 : 0) + 1 + m_copied.size() + kResultColumns.size();
}

std::string_view TrialSites::columnName(std::size_t column) const
{
    if (several() && column-- == 0)
        return "site";
    if (column == 0)
        return "plot";
    if (column <= m_copied.size())
        return m_copied[column - 1];
    return kResultColumns[column - 1 - m_copied.size()].name;
}

ColumnKind TrialSites::kind(std::size_t column) const
{
    const std::size_t results = plotColumn() + 1 + m_copied.size();
    return column < results ? ColumnKind::Text : kResultColumns[column - results].kind;
}

TrialSites::Place TrialSites::place(std::size_t row) const
{
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), row);
    const auto site = std::size_t(after - m_starts.begin()) - 1;
    return {site, row - m_starts[site]};
}

std::string_view TrialSites::cell(Place at, std::size_t column) const
{
    const SiteTable& site = m_sites[at.site];
    if (several() && column-- == 0)
        return site.name;
    const std::uint32_t from = m_from[at.site][column];
    return from == kMissing ? std::string_view() : site.table->cell(at.row, from);
}

bool TrialSites::refused(std::size_t row) const
{
    const Place at = place(row);
    return m_sites[at.site].table->refused(at.row);
}

std::size_t TrialSites::refusedPlots() const
{
    std::size_t refused = 0;
    for (const SiteTable& site : m_sites)
        refused += site.table->refusedPlots;
    return refused;
}

std::uint32_t TrialSites::copiedColumn(std::size_t site, std::size_t copied) const
{
    const std::uint32_t from = m_from[site][1 + copied];
    return from == kMissing ? kMissing : from - 1;
}

// As the batch's results writer writes a row, from the cells the window
// holds: texts safe from being run as formulas, a message as it is, numbers
// with the decimal mark.
std::string ResultsText(const TrialSites& sites)
{
    if (sites.sites().empty())
        return {};
    const TrialTable& first = *sites.sites().front().table;
    const char separator = first.separator;
    const char point = DecimalPoint(separator, first.mark);
    const auto text = [separator](std::string& out, std::string_view field) {
        AppendField(out, FormulaSafe(field), separator);
    };
    std::string out;
    for (std::size_t column = 0; column < sites.columns(); ++column) {
        if (column)
            out += separator;
        text(out, sites.columnName(column));
    }
    out += '\n';
    const std::size_t message = sites.columns() - 1;
    for (std::size_t site = 0; site < sites.sites().size(); ++site)
        for (std::size_t row = 0; row < sites.sites()[site].table->rows(); ++row) {
            const TrialSites::Place at{site, row};
            for (std::size_t column = 0; column < sites.columns(); ++column) {
                if (column)
                    out += separator;
                const std::string_view cell = sites.cell(at, column);
                if (column == message) {
                    AppendField(out, cell, separator);
                } else if (sites.kind(column) == ColumnKind::Text) {
                    text(out, cell);
                } else {
                    const std::size_t begin = out.size();
                    out.append(cell);
                    std::replace(out.begin() + std::ptrdiff_t(begin), out.end(), '.', point);
                }
            }
            out += '\n';
        }
    return out;
}

} // namespace quarven
