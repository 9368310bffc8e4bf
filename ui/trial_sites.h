// Several trial files in one table, each file a site: what the Trial window
// lists when it holds more than one. With several sites a site column comes
// first; the copied columns are those of every file in the order they first
// appear (a name a file holds twice is two columns), empty where a file lacks
// one; the results' columns follow. One site is its table as it is.
#pragma once

#include "trial/trial_table.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

struct SiteTable {
    std::string name;
    std::shared_ptr<const TrialTable> table;
};

class TrialSites {
public:
    TrialSites() = default;
    explicit TrialSites(std::vector<SiteTable> sites);
    // One table, not owned: it must outlive what is made of it.
    [[nodiscard]] static TrialSites Of(const TrialTable& table);

    [[nodiscard]] const std::vector<SiteTable>& sites() const { return m_sites; }
    [[nodiscard]] bool several() const { return m_sites.size() > 1; }
    [[nodiscard]] std::size_t rows() const { return m_starts.back(); }
    [[nodiscard]] std::size_t columns() const;
    // Where the plot's name is: after the site column, when there is one.
    [[nodiscard]] std::size_t plotColumn() const { return several() ? 1 : 0; }
    [[nodiscard]] const std::vector<std::string>& copiedNames() const { return m_copied; }
    [[nodiscard]] std::string_view columnName(std::size_t column) const;
    [[nodiscard]] ColumnKind kind(std::size_t column) const;

    // A row of the whole is a row of one site's table.
    struct Place {
        std::size_t site = 0;
        std::size_t row = 0;
    };
    [[nodiscard]] Place place(std::size_t row) const;
    [[nodiscard]] std::size_t start(std::size_t site) const { return m_starts[site]; }
    [[nodiscard]] std::string_view cell(std::size_t row, std::size_t column) const
    {
        return cell(place(row), column);
    }
    [[nodiscard]] std::string_view cell(Place at, std::size_t column) const;
    [[nodiscard]] bool refused(std::size_t row) const;
    [[nodiscard]] std::size_t refusedPlots() const;
    // The column of site's own copied columns that is copied column `copied`
    // of the whole; kMissing where its file lacks it.
    static constexpr std::uint32_t kMissing = UINT32_MAX;
    [[nodiscard]] std::uint32_t copiedColumn(std::size_t site, std::size_t copied) const;

private:
    std::vector<SiteTable> m_sites;
    std::vector<std::size_t> m_starts{0};
    std::vector<std::string> m_copied;
    // Per site, each column after the site column: its table's column, or
    // kMissing.
    std::vector<std::vector<std::uint32_t>> m_from;
};

// The results file over the sites: the batch's results, a site column first
// when there are several, in the first site's separator and decimal mark.
[[nodiscard]] std::string ResultsText(const TrialSites& sites);

} // namespace quarven
