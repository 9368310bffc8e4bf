// Before any Qt header, which makes "emit" a macro.
#include "core/value_conventions.h"
#include "trial/trial_batch.h"
#include "trial/trial_results.h"
#include "trial/trial_summary.h"

#include "trial_model.h"

#include <QBrush>
#include <QColor>
#include <QLocale>

#include <array>
#include <limits>
#include <memory>

namespace quarven {
namespace {

// The batch with the results writer of the command line, keeping each
// result as a row as well.
class TableCollector final : public TrialVisitor {
public:
    TableCollector(TrialTable& table, BatchSettings settings)
        : m_table(table), m_batch(settings, [this](const PlotResult& result) { keep(result); })
    {
    }

    void header(const TrialHeader& header) override
    {
        m_table.separator = header.separator;
        m_table.copiedNames = header.copiedNames;
        m_writer = std::make_unique<ResultsWriter>(
            header, [this](std::string_view text) { m_table.results.append(text); });
        // A comma cannot be the decimal mark of a comma-separated file.
        if (header.separator == ',')
            m_writer->setDecimalMark(DecimalMark::Point);
        m_batch.header(header);
    }
    void row(const TrialRow& row) override { m_batch.row(row); }

    void finish()
    {
        if (!m_writer)
            return;
        const DecimalMark mark = m_batch.levelsMark().value_or(
            m_table.separator == ';' ? DecimalMark::Comma : DecimalMark::Point);
        if (!m_writer->decimalMarkSet())
            m_writer->setDecimalMark(mark);
        m_table.mark = m_table.separator == ',' ? DecimalMark::Point : mark;
        m_batch.finish();
        if (m_batch.error())
            m_table.error = m_batch.error();
        m_writer->finish();
    }

private:
    void keep(const PlotResult& result)
    {
        if (!m_writer->decimalMarkSet())
            if (const std::optional<DecimalMark> mark = m_batch.levelsMark())
                m_writer->setDecimalMark(*mark);
        m_writer->write(result);
        TrialPlotRow row;
        row.plot = result.plot;
        for (const std::string_view copied : result.copied)
            row.copied.emplace_back(copied);
        row.assessments = result.assessments;
        row.firstDate = result.firstDate;
        row.lastDate = result.lastDate;
        row.period = result.period;
        row.audpc = result.audpc;
        row.losses = result.losses;
        row.relativeAudpc = result.relativeAudpc;
        row.audps = result.audps;
        row.audpcValue = result.audpcValue;
        row.lossesValue = result.lossesValue;
        row.relativeValue = result.relativeAudpcValue;
        row.audpsValue = result.audpsValue;
        if (!result.message.empty()) {
            row.message = result.message;
            for (char& c : row.message)
                c = c == '\r' || c == '\n' ? ' ' : c;
            if (!result.lines.empty())
                row.message += " (" + std::string(result.lines) + ")";
        }
        m_table.rows.push_back(std::move(row));
    }

    TrialTable& m_table;
    TrialBatch m_batch;
    std::unique_ptr<ResultsWriter> m_writer;
};

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

// Empty cells sort before every number.
QVariant number(const std::string& value)
{
    bool ok = false;
    const double read = QString::fromStdString(value).toDouble(&ok);
    return ok ? read : -std::numeric_limits<double>::infinity();
}

constexpr std::array<const char*, 9> kResultColumns{"assessments",    "first_date", "last_date",
                                                    "period",         "audpc",      "yield_losses",
                                                    "relative_audpc", "audps",      "message"};

constexpr std::array<const char*, 13> kSummaryColumns{"group",
                                                      "standard",
                                                      "plots",
                                                      "refused",
                                                      "audpc_mean",
                                                      "audpc_sd",
                                                      "yield_losses_mean",
                                                      "yield_losses_sd",
                                                      "relative_audpc_mean",
                                                      "relative_audpc_sd",
                                                      "audps_mean",
                                                      "audps_sd",
                                                      "rank"};

} // namespace

TrialTable RunTrialTable(std::string_view text, BatchSettings settings)
{
    TrialTable table;
    TableCollector collector(table, settings);
    TrialReader reader(collector);
    if (std::optional<TrialError> error = reader.read(text)) {
        table.error = error;
        return table;
    }
    if (std::optional<TrialError> error = reader.finish()) {
        table.error = error;
        return table;
    }
    collector.finish();
    return table;
}

TrialSummary SummaryOf(const TrialTable& table, std::size_t column)
{
    TrialSummary summary;
    for (const TrialPlotRow& row : table.rows) {
        SummaryPlot plot;
        plot.group = column < row.copied.size() ? std::string_view(row.copied[column]) : "";
        plot.computed = row.message.empty();
        plot.audpc = row.audpcValue;
        plot.yieldLosses = row.lossesValue;
        plot.relativeAudpc = row.relativeValue;
        plot.audps = row.audpsValue;
        summary.add(plot);
    }
    return summary;
}

void TrialPlotsModel::setTable(const TrialTable* table)
{
    beginResetModel();
    m_table = table;
    endResetModel();
}

int TrialPlotsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->rows.size());
}

int TrialPlotsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table
               ? 0
               : static_cast<int>(1 + m_table->copiedNames.size() + kResultColumns.size());
}

QVariant TrialPlotsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_table || section < 0)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto at = static_cast<std::size_t>(section);
    const std::size_t copied = m_table->copiedNames.size();
    if (at == 0)
        return QStringLiteral("plot");
    if (at <= copied)
        return text(m_table->copiedNames[at - 1]);
    return at - 1 - copied < kResultColumns.size()
               ? QVariant(QString::fromLatin1(kResultColumns[at - 1 - copied]))
               : QVariant();
}

QVariant TrialPlotsModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid())
        return {};
    const TrialPlotRow& row = m_table->rows[static_cast<std::size_t>(index.row())];
    const bool refused = !row.message.empty();
    if (role == kRefusedRole)
        return refused;
    if (role == Qt::BackgroundRole)
        return refused ? QVariant(QBrush(QColor(255, 224, 224))) : QVariant();
    if (role == Qt::ForegroundRole)
        return refused ? QVariant(QBrush(Qt::black)) : QVariant();
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole)
        return refused ? QVariant(QStringLiteral("Refused: ") + text(row.message)) : QVariant();
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    const auto at = static_cast<std::size_t>(index.column());
    const std::size_t copied = m_table->copiedNames.size();
    if (at == 0)
        return text(row.plot);
    if (at <= copied)
        return at - 1 < row.copied.size() ? text(row.copied[at - 1]) : QString();
    const bool sort = role == kSortRole;
    switch (at - 1 - copied) {
    case 0:
        return sort ? QVariant(double(row.assessments))
                    : QVariant(QString::number(row.assessments));
    case 1:
        return text(row.firstDate);
    case 2:
        return text(row.lastDate);
    case 3:
        return sort ? number(row.period) : text(row.period);
    case 4:
        return sort ? number(row.audpc) : text(row.audpc);
    case 5:
        return sort ? number(row.losses) : text(row.losses);
    case 6:
        return sort ? number(row.relativeAudpc) : text(row.relativeAudpc);
    case 7:
        return sort ? number(row.audps) : text(row.audps);
    case 8:
        return text(row.message);
    default:
        return {};
    }
}

void TrialSummaryModel::setSummary(const Summary& summary)
{
    beginResetModel();
    m_summary = std::make_shared<const Summary>(summary);
    endResetModel();
}

void TrialSummaryModel::setStandards(std::map<std::string, double> standards)
{
    beginResetModel();
    m_standards = std::move(standards);
    endResetModel();
}

int TrialSummaryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_summary ? 0 : static_cast<int>(m_summary->groups.size());
}

int TrialSummaryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kSummaryColumns.size() + 1);
}

QVariant TrialSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto at = static_cast<std::size_t>(section);
    return at < kSummaryColumns.size() ? QString::fromLatin1(kSummaryColumns[at])
                                       : QStringLiteral("scale");
}

Qt::ItemFlags TrialSummaryModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.column() == kStandardColumn ? flags | Qt::ItemIsEditable : flags;
}

QVariant TrialSummaryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const GroupSummary& group = m_summary->groups[static_cast<std::size_t>(index.row())];
    if (role == Qt::ToolTipRole && index.column() == kStandardColumn)
        return QStringLiteral("A standard's value on the 1-9 scale; empty for none");
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != kSortRole)
        return {};
    const bool sort = role == kSortRole;
    const auto shown = [sort](const std::optional<double>& value, int decimals) -> QVariant {
        if (!value)
            return sort ? QVariant(-std::numeric_limits<double>::infinity()) : QVariant(QString());
        // Rounded as the exported summary is, so that the two never differ.
        return sort ? QVariant(*value)
                    : QVariant(QString::fromStdString(FormatDecimals(*value, decimals)));
    };
    const auto count = [sort](std::size_t value) -> QVariant {
        return sort ? QVariant(double(value)) : QVariant(QString::number(value));
    };
    switch (index.column()) {
    case 0:
        return text(group.name);
    case kStandardColumn: {
        const auto found = m_standards.find(group.name);
        return shown(found == m_standards.end() ? std::nullopt : std::optional(found->second), 1);
    }
    case 2:
        return count(group.plots);
    case 3:
        return count(group.refused);
    case 4:
        return shown(group.audpc.mean, kAudpcDecimals);
    case 5:
        return shown(group.audpc.sd, kAudpcDecimals);
    case 6:
        return shown(group.yieldLosses.mean, kYieldLossesDecimals);
    case 7:
        return shown(group.yieldLosses.sd, kYieldLossesDecimals);
    case 8:
        return shown(group.relativeAudpc.mean, kRelativeAudpcDecimals);
    case 9:
        return shown(group.relativeAudpc.sd, kRelativeAudpcDecimals);
    case 10:
        return shown(group.audps.mean, kAudpsDecimals);
    case 11:
        return shown(group.audps.sd, kAudpsDecimals);
    case 12:
        return group.rank ? count(*group.rank) : shown(std::nullopt, 0);
    case 13:
        return shown(group.scale, kScaleDecimals);
    default:
        return {};
    }
}

bool TrialSummaryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != kStandardColumn || role != Qt::EditRole)
        return false;
    const std::string& name = m_summary->groups[static_cast<std::size_t>(index.row())].name;
    const QString typed = value.toString().trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    if (typed.isEmpty()) {
        m_standards.erase(name);
    } else {
        bool ok = false;
        const double read = typed.toDouble(&ok);
        if (!ok)
            return false;
        m_standards[name] = read;
    }
    emit dataChanged(index, index);
    emit standardsChanged();
    return true;
}

} // namespace quarven
