// The Trial window's two table models, over the plots of a TrialTable and
// over their summary by one copied column, and what they sort, filter and
// copy with.
#pragma once

#include "trial/site_evaluation.h"
#include "trial/trial_summary.h"
#include "trial/trial_table.h"
#include "ui/trial_sites.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QSortFilterProxyModel>
#include <QStringList>

class QSettings;

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarven {

// The table's rows in the order of a column's cells: empty cells first, then
// numbers and dd/mm dates by value, then other text by its bytes. Equal cells
// keep the file's order in either direction.
[[nodiscard]] std::vector<std::uint32_t> SortedRows(const TrialTable& table, std::size_t column,
                                                    bool descending);
[[nodiscard]] std::vector<std::uint32_t> SortedRows(const TrialSites& sites, std::size_t column,
                                                    bool descending);

// The rows that hold a text in any one cell, in any case. An ASCII text is
// matched on the bytes; any other only against cells that are not ASCII.
class RowFilter {
public:
    RowFilter() = default;
    explicit RowFilter(const QString& text);
    [[nodiscard]] const QString& text() const { return m_text; }
    [[nodiscard]] bool empty() const { return m_text.isEmpty(); }
    [[nodiscard]] bool keeps(const TrialTable& table, std::size_t row) const;
    // One cell on its own: a site's name.
    [[nodiscard]] bool keepsCell(std::string_view cell) const;
    // True when every row this keeps, `wider` keeps too: the text typed on.
    [[nodiscard]] bool narrows(const RowFilter& wider) const;

private:
    QString m_text;
    QString m_folded;
    std::string m_ascii; // lower case; empty when the text is not ASCII
};

// The rows of `after` that hold the plots of these rows of `before`: the same
// row when it holds a plot of the same name, else the first of that name. A
// plot no longer there is left out, as are plots past the first 100,000 that
// must be looked for.
[[nodiscard]] std::vector<std::uint32_t> SamePlots(const TrialTable& before,
                                                   const TrialTable& after,
                                                   const std::vector<std::uint32_t>& rows);
// The same over sites, each site's rows among that site's plots; a site is
// known by its name, and one no longer there keeps none.
[[nodiscard]] std::vector<std::uint32_t> SameSitePlots(const TrialSites& before,
                                                       const TrialSites& after,
                                                       const std::vector<std::uint32_t>& rows);

// A cell as the window shows it: control characters (a NUL, a tab, a line
// break) as their visible pictures, so that none cuts or breaks the text a
// screen reader is given.
[[nodiscard]] QString ShownText(std::string_view cell);

// The rows, in the order given, as Copy puts them on the clipboard: a header,
// then the cells separated by tabs. Texts stay on one line and are safe from
// being run as formulas; the results' numbers have the decimal mark given,
// and dates go out as yyyy-mm-dd, as the calculator's Copy table writes them.
[[nodiscard]] QByteArray CopiedPlots(const TrialTable& table,
                                     const std::vector<std::uint32_t>& rows, char decimalMark);
// The same over sites, a site column first where there are several; dates
// in each site's own year.
[[nodiscard]] QByteArray CopiedPlots(const TrialSites& sites,
                                     const std::vector<std::uint32_t>& rows, char decimalMark);

// The summary sorts numbers as numbers: the sort role gives a double for them.
inline constexpr int kSortRole = Qt::UserRole;
// True for a plot the batch refused.
inline constexpr int kRefusedRole = Qt::UserRole + 1;
// The index of a summary row's site.
inline constexpr int kSiteRole = Qt::UserRole + 2;
// A summary column's name in the exported file, which its header words stand
// for.
inline constexpr int kColumnNameRole = Qt::UserRole + 3;

// The plots, sorted and filtered here rather than through a proxy: the whole
// order is kept for the sort and filtered from it, so that a filter costs one
// pass over the cells and a sort no filter.
class TrialPlotsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // Keeps the sort and the filter. Sites that differ in their columns keep
    // the sort only where the column is the same.
    void setSites(std::shared_ptr<const TrialSites> sites);
    // One table, as one site.
    void setTable(std::shared_ptr<const TrialTable> table);
    [[nodiscard]] const std::shared_ptr<const TrialSites>& sites() const { return m_sites; }
    // The row of the sites shown at `row`.
    [[nodiscard]] std::size_t tableRow(int row) const { return m_shown[std::size_t(row)]; }
    // Where a row of the sites is shown; -1 when the filter leaves it out.
    [[nodiscard]] int shownRow(std::size_t tableRow) const;
    // Keeps the rows that hold the text in any cell, in any case.
    void setFilter(const QString& text);
    [[nodiscard]] bool filtered() const { return !m_filter.empty(); }
    // The column sorted by, -1 for the files' order.
    [[nodiscard]] int sortColumn() const { return m_sortColumn; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    // The shown rows again, with the persistent indexes (the selection, the
    // current row) following their plots.
    void rearrange();
    void order();
    void keep(bool narrowing);
    void show();

    std::shared_ptr<const TrialSites> m_sites;
    std::vector<std::uint32_t> m_sorted; // every row; empty: the file's order
    std::vector<char> m_kept;            // one a row; empty: every row
    std::vector<std::uint32_t> m_shown;
    mutable std::vector<int> m_shownAt; // built when first asked
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    RowFilter m_filter;
};

// The summary's groups, site by site, with a column where a group is made a
// standard by giving its value on the 1-9 scale. Standards belong to the
// grouping they were typed in, and hold for every site. With several sites a
// site column comes first.
class TrialSummaryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The same groups of the same sites in the same order keep the view's
    // current cell and selection: only the values change.
    void setEvaluation(std::shared_ptr<const Evaluation> evaluation);
    // One site's summary.
    void setSummary(const Summary& summary);
    [[nodiscard]] const Evaluation& evaluation() const { return *m_evaluation; }
    [[nodiscard]] bool several() const { return m_evaluation && m_evaluation->sites.size() > 1; }
    // The group's name first, for the view to keep it in sight, then the
    // standard, then the site when there are several.
    static constexpr int kGroupColumn = 0;
    static constexpr int kStandardColumn = 1;
    [[nodiscard]] int siteColumn() const { return several() ? 2 : -1; }
    // The summary file's columns follow.
    [[nodiscard]] int firstSummaryColumn() const { return several() ? 3 : 2; }
    // Which grouping the standards shown and typed belong to.
    void setGrouping(const std::string& grouping);
    // The standards of this grouping by group name; kept when the summary
    // changes.
    [[nodiscard]] const std::map<std::string, double>& standards() const;
    // The rows, in the order given, as Copy puts them on the clipboard: a
    // header and the cells as shown, numbers with the decimal mark given.
    [[nodiscard]] std::string copiedRows(const std::vector<int>& rows, char decimalMark) const;
    // A row's group, its site's index and its site's name.
    [[nodiscard]] const GroupSummary& group(int row) const;
    [[nodiscard]] int siteOf(int row) const;
    [[nodiscard]] const std::string& siteName(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void standardsChanged();
    // A typed standard that is no number, and why, as the batch says it.
    void standardRefused(const QString& why);

private:
    std::shared_ptr<const Evaluation> m_evaluation;
    // Each row's site and its group there.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_rows;
    std::string m_grouping;
    std::map<std::string, std::map<std::string, double>> m_standards; // by grouping
};

// The summary's rows of one site, or of all (-1), over whatever other filter
// is set.
class SiteFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setSite(int site);
    [[nodiscard]] int site() const { return m_site; }
    // Of a summary: keeps only these groups, each by its site's name and its
    // own name; nothing keeps every group.
    using Groups = std::set<std::pair<std::string, std::string>>;
    void setGroups(std::optional<Groups> groups);

protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    int m_site = -1;
    std::optional<Groups> m_groups;
};

// One of the evaluation's tables as the window shows it: the combined table
// (the columns of CombinedText), each site's fit (those of FitText), or the
// rank correlation of each pair of sites. Cells are the texts' own, with "."
// as the decimal point; numbers sort as numbers (kSortRole).
class EvaluationTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Table { Combined, Fit, Correlations };
    explicit EvaluationTableModel(Table table, QObject* parent = nullptr);
    // The same number of rows keeps the view's current cell and selection.
    void setEvaluation(const Evaluation& evaluation);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    struct Cell {
        QString text;
        QVariant sort;
    };
    void combined(const Evaluation& evaluation);
    void fit(const Evaluation& evaluation);
    void correlations(const Evaluation& evaluation);

    Table m_table;
    QStringList m_header;
    std::vector<std::vector<Cell>> m_rows;
};

// The summary's columns shown, one flag a column: those remembered under
// their names in the file, else the ones a resistance evaluation reads (the
// group, its standard, plots, refused, relative AUDPC and its deviation, rank
// and scale) of `model`'s columns. The group and the site are always shown.
[[nodiscard]] std::vector<bool> ShownSummaryColumns(const QSettings& settings,
                                                    const QAbstractItemModel& model);
void RememberSummaryColumns(QSettings& settings, const QAbstractItemModel& model,
                            const std::vector<bool>& shown);

struct ChartGroups;
// The chart's groups in the order the view shows them, through its sort and
// filter, with the standards' declared values.
[[nodiscard]] ChartGroups ChartGroupsOf(const QSortFilterProxyModel& shown,
                                        const TrialSummaryModel& summary);

} // namespace quarven
