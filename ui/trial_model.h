// A trial for the Trial window: every plot's results as the batch gives them,
// kept as rows for a table view, with the batch's results file beside them
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

struct TrialPlotRow {
    std::string plot;
    std::vector<std::string> copied;
    std::uint32_t assessments = 0;
    std::string firstDate, lastDate, period, audpc, losses, relativeAudpc, audps;
    double audpcValue = 0.0, lossesValue = 0.0, relativeValue = 0.0, audpsValue = 0.0;
    // The refusal with the file lines it concerns; empty when computed.
    std::string message;
};

struct TrialTable {
    std::optional<TrialError> error;
    std::vector<std::string> copiedNames;
    std::vector<TrialPlotRow> rows;
    std::string results; // the batch's results file, byte for byte
    char separator = ',';
    DecimalMark mark{}; // a point
};

// One pass of the batch over the whole text.
[[nodiscard]] TrialTable RunTrialTable(std::string_view text, BatchSettings settings);

// The summary of the rows grouped by copied column `column`.
[[nodiscard]] TrialSummary SummaryOf(const TrialTable& table, std::size_t column);

// Sorts numbers as numbers: the sort role gives a double for them.
inline constexpr int kSortRole = Qt::UserRole;
// True for a plot the batch refused.
inline constexpr int kRefusedRole = Qt::UserRole + 1;

class TrialPlotsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setTable(const TrialTable* table);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    const TrialTable* m_table = nullptr;
};

// The summary's groups, with a column where a group is made a standard by
// giving its value on the 1-9 scale.
class TrialSummaryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    static constexpr int kStandardColumn = 1;

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
