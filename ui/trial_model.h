// The Trial window's two table models, over the plots of a TrialTable and
// over their summary by one copied column, and what they sort, filter and
// copy with.
#pragma once

#include "trial/trial_summary.h"
#include "trial/trial_table.h"

#include <QAbstractTableModel>
#include <QByteArray>

class QSettings;
class QSortFilterProxyModel;

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// The table's rows in the order of a column's cells: empty cells first, then
// numbers and dd/mm dates by value, then other text by its bytes. Equal cells
// keep the file's order in either direction.
[[nodiscard]] std::vector<std::uint32_t> SortedRows(const TrialTable& table, std::size_t column,
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

// The summary sorts numbers as numbers: the sort role gives a double for them.
inline constexpr int kSortRole = Qt::UserRole;
// True for a plot the batch refused.
inline constexpr int kRefusedRole = Qt::UserRole + 1;
// A summary column's name in the exported file, which its header words stand
// for.
inline constexpr int kColumnNameRole = Qt::UserRole + 2;

// The plots, sorted and filtered here rather than through a proxy: the whole
// order is kept for the sort and filtered from it, so that a filter costs one
// pass over the cells and a sort no filter.
class TrialPlotsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // Keeps the sort and the filter.
    void setTable(std::shared_ptr<const TrialTable> table);
    [[nodiscard]] const std::shared_ptr<const TrialTable>& table() const { return m_table; }
    // The table's row shown at `row`.
    [[nodiscard]] std::size_t tableRow(int row) const { return m_shown[std::size_t(row)]; }
    // Where a table row is shown; -1 when the filter leaves it out.
    [[nodiscard]] int shownRow(std::size_t tableRow) const;
    // Keeps the rows that hold the text in any cell, in any case.
    void setFilter(const QString& text);
    [[nodiscard]] bool filtered() const { return !m_filter.empty(); }

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

    std::shared_ptr<const TrialTable> m_table;
    std::vector<std::uint32_t> m_sorted; // every row; empty: the file's order
    std::vector<char> m_kept;            // one a row; empty: every row
    std::vector<std::uint32_t> m_shown;
    mutable std::vector<int> m_shownAt; // built when first asked
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    RowFilter m_filter;
};

// The summary's groups, with a column where a group is made a standard by
// giving its value on the 1-9 scale. Standards belong to the grouping they
// were typed in.
class TrialSummaryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    static constexpr int kStandardColumn = 1;
    // The summary file's columns follow the group's name and the standard.
    static constexpr int kFirstSummaryColumn = 2;

    // The same groups in the same order keep the view's current cell and
    // selection: only the values change.
    void setSummary(const Summary& summary);
    [[nodiscard]] const Summary& summary() const { return *m_summary; }
    // Which grouping the standards shown and typed belong to.
    void setGrouping(const std::string& grouping);
    // The standards of this grouping by group name; kept when the summary
    // changes.
    [[nodiscard]] const std::map<std::string, double>& standards() const;
    // The rows, in the order given, as Copy puts them on the clipboard: a
    // header and the cells as shown, numbers with the decimal mark given.
    [[nodiscard]] std::string copiedRows(const std::vector<int>& rows, char decimalMark) const;

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
    std::shared_ptr<const Summary> m_summary;
    std::string m_grouping;
    std::map<std::string, std::map<std::string, double>> m_standards; // by grouping
};

// The summary's columns shown, one flag a column: those remembered under
// their names in the file, else the ones a resistance evaluation reads (the
// group, its standard, plots, refused, relative AUDPC and its deviation, rank
// and scale). The group is always shown.
[[nodiscard]] std::vector<bool> ShownSummaryColumns(const QSettings& settings);
void RememberSummaryColumns(QSettings& settings, const std::vector<bool>& shown);

struct ChartGroups;
// The chart's groups in the order the view shows them, through its sort and
// filter, with the standards' declared values.
[[nodiscard]] ChartGroups ChartGroupsOf(const QSortFilterProxyModel& shown,
                                        const TrialSummaryModel& summary);

} // namespace quarven
