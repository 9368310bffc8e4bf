// A trial for the Trial window: every plot's results as the batch gives them,
// kept as cells for a table view, with the batch's results file beside them
// for export; and the two table models over the plots and over their summary
// by one copied column.
#pragma once

#include "trial/trial_file.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// Declared only: the batch's header cannot follow a Qt header.
struct BatchSettings;
struct Summary;
class TrialSummary;
enum class DecimalMark;

// A plot's unrounded results, for the summary; 0 when refused.
struct TrialPlotValues {
    double audpc = 0.0, losses = 0.0, relativeAudpc = 0.0, audps = 0.0;
};

// Every plot's cells as the window shows them (the plot, its copied columns,
// then the result columns, the message last), packed into one text with an
// end per cell, where a string per cell took some 400 bytes a plot.
struct TrialTable {
    std::optional<TrialError> error;
    std::vector<std::string> copiedNames;
    std::string cells;
    std::vector<std::uint32_t> cellEnds; // columns() a row
    std::vector<TrialPlotValues> values; // one a row
    std::string results;                 // the batch's results file, byte for byte
    char separator = ',';
    DecimalMark mark{}; // a point

    [[nodiscard]] std::size_t columns() const;
    [[nodiscard]] std::size_t rows() const { return values.size(); }
    [[nodiscard]] std::string_view cell(std::size_t row, std::size_t column) const;
    [[nodiscard]] bool refused(std::size_t row) const { return !cell(row, columns() - 1).empty(); }
};

// Beyond this the window would take gigabytes; the batch takes any number.
inline constexpr std::size_t kMostTrialPlots = 1'000'000;

// The batch over a trial as it comes from the disk, in pieces cut anywhere.
// A trial of more than mostPlots plots is refused, with no line.
class TrialTableReader {
public:
    explicit TrialTableReader(BatchSettings settings, std::size_t mostPlots = kMostTrialPlots);
    ~TrialTableReader();
    TrialTableReader(const TrialTableReader&) = delete;
    TrialTableReader& operator=(const TrialTableReader&) = delete;

    // False once the trial is refused: the rest need not be read.
    bool read(std::string_view piece);
    [[nodiscard]] std::unique_ptr<TrialTable> finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// The summary of the rows grouped by copied column `column`.
[[nodiscard]] TrialSummary SummaryOf(const TrialTable& table, std::size_t column);

// The summary sorts numbers as numbers: the sort role gives a double for them.
inline constexpr int kSortRole = Qt::UserRole;
// True for a plot the batch refused.
inline constexpr int kRefusedRole = Qt::UserRole + 1;

// The plots, sorted and filtered here rather than through a proxy: the sort
// compares the cells themselves, fast enough for a trial of 100,000 plots.
class TrialPlotsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    // Keeps the sort and the filter.
    void setTable(const TrialTable* table);
    // The table's row shown at `row`.
    [[nodiscard]] std::size_t tableRow(int row) const { return m_shown[std::size_t(row)]; }
    // Keeps the rows that hold the text in any cell, in any case.
    void setFilter(const QString& text);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    void arrange();
    void order();

    const TrialTable* m_table = nullptr;
    std::vector<std::uint32_t> m_shown;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_filter;
};

// The summary's groups, with a column where a group is made a standard by
// giving its value on the 1-9 scale.
class TrialSummaryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    static constexpr int kStandardColumn = 1;
    // The summary file's columns follow the group's name and the standard.
    static constexpr int kFirstSummaryColumn = 2;

    void setSummary(const Summary& summary);
    [[nodiscard]] const Summary& summary() const { return *m_summary; }
    // The standards by group name; kept when the summary changes.
    [[nodiscard]] const std::map<std::string, double>& standards() const { return m_standards; }
    void setStandards(std::map<std::string, double> standards);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void standardsChanged();

private:
    std::shared_ptr<const Summary> m_summary;
    std::map<std::string, double> m_standards;
};

} // namespace quarven
