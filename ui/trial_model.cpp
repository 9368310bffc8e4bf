// Before any Qt header, which makes "emit" a macro.
#include "core/value_conventions.h"
#include "trial/trial_batch.h"
#include "trial/trial_results.h"
#include "trial/trial_summary.h"

#include "trial_model.h"

#include <QBrush>
#include <QColor>
#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>

namespace quarven {
namespace {

// The batch with the results writer of the command line, keeping each
// result's cells as well.
class TableCollector final : public TrialVisitor {
public:
    TableCollector(TrialTable& table, BatchSettings settings, std::size_t mostPlots)
        : m_table(table), m_mostPlots(mostPlots),
          m_batch(settings, [this](const PlotResult& result) { keep(result); })
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
        if (m_batch.error() && !m_table.error)
            m_table.error = m_batch.error();
        m_writer->finish();
    }

private:
    void keep(const PlotResult& result)
    {
        if (m_table.error)
            return;
        if (m_table.rows() == m_mostPlots) {
            m_table.error = TrialError{0, "A trial of more than " + std::to_string(m_mostPlots) +
                                              " plots is for quarven --batch"};
            return;
        }
        if (!m_writer->decimalMarkSet())
            if (const std::optional<DecimalMark> mark = m_batch.levelsMark())
                m_writer->setDecimalMark(*mark);
        m_writer->write(result);
        add(result.plot);
        for (std::size_t column = 0; column < m_table.copiedNames.size(); ++column)
            add(column < result.copied.size() ? result.copied[column] : std::string_view());
        add(std::to_string(result.assessments));
        for (const std::string_view cell :
             {result.firstDate, result.lastDate, result.period, result.audpc, result.losses,
              result.relativeAudpc, result.audps})
            add(cell);
        std::string message(result.message);
        std::replace(message.begin(), message.end(), '\r', ' ');
        std::replace(message.begin(), message.end(), '\n', ' ');
        if (!message.empty() && !result.lines.empty())
            message += " (" + std::string(result.lines) + ")";
        add(message);
        m_table.values.push_back(
            {result.audpcValue, result.lossesValue, result.relativeAudpcValue, result.audpsValue});
    }

    void add(std::string_view cell)
    {
        m_table.cells.append(cell);
        m_table.cellEnds.push_back(static_cast<std::uint32_t>(m_table.cells.size()));
    }

    TrialTable& m_table;
    std::size_t m_mostPlots;
    TrialBatch m_batch;
    std::unique_ptr<ResultsWriter> m_writer;
};

QString text(std::string_view value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// How a cell sorts: empty cells first, then numbers and dates as numbers,
// then other text by its bytes.
struct SortKey {
    int kind = 0;
    double number = 0.0;
    std::string_view text;

    bool operator<(const SortKey& other) const
    {
        if (kind != other.kind)
            return kind < other.kind;
        return kind == 1 ? number < other.number : text < other.text;
    }
};

// Digits only, as many as there are.
std::optional<int> digits(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(value)
                                                                    : std::nullopt;
}

SortKey keyOf(std::string_view cell)
{
    SortKey key;
    key.text = cell;
    if (cell.empty())
        return key;
    // dd/mm in the calendar's order; yyyy-mm-dd has it already as text.
    if (cell.size() == 5 && cell[2] == '/') {
        const std::optional<int> day = digits(cell.substr(0, 2));
        const std::optional<int> month = digits(cell.substr(3, 2));
        if (day && month)
            return {1, double(*month * 100 + *day), cell};
    }
    std::array<char, 32> buffer{};
    if (cell.size() < buffer.size()) {
        std::copy(cell.begin(), cell.end(), buffer.begin());
        std::replace(buffer.begin(), buffer.begin() + cell.size(), ',', '.');
        double number = 0.0;
        const auto [end, error] =
            std::from_chars(buffer.data(), buffer.data() + cell.size(), number);
        // A plot named "nan" or "inf" is a name: NaN would break the sort's order.
        if (error == std::errc() && end == buffer.data() + cell.size() && std::isfinite(number))
            return {1, number, cell};
    }
    key.kind = 2;
    return key;
}

// After the group, the standard, and the counts of plots and refused plots.
constexpr int kFirstMeasureColumn = TrialSummaryModel::kFirstSummaryColumn + 2;
constexpr int kRankColumn = kFirstMeasureColumn + 2 * int(kMeasureColumns.size());

// ASCII needles are matched on the bytes; others through QString.
bool holds(std::string_view cell, const QString& needle, const std::string& asciiNeedle)
{
    if (asciiNeedle.empty())
        return text(cell).contains(needle, Qt::CaseInsensitive);
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::search(cell.begin(), cell.end(), asciiNeedle.begin(), asciiNeedle.end(),
                       [&](char a, char b) { return lower(a) == b; }) != cell.end();
}

} // namespace

std::size_t TrialTable::columns() const
{
    return 1 + copiedNames.size() + kResultColumns.size();
}

std::string_view TrialTable::cell(std::size_t row, std::size_t column) const
{
    const std::size_t at = row * columns() + column;
    const std::size_t begin = at == 0 ? 0 : cellEnds[at - 1];
    return std::string_view(cells).substr(begin, cellEnds[at] - begin);
}

class TrialTableReader::Impl {
public:
    Impl(BatchSettings settings, std::size_t mostPlots)
        : table(std::make_unique<TrialTable>()), collector(*table, settings, mostPlots),
          reader(collector)
    {
    }

    std::unique_ptr<TrialTable> table;
    TableCollector collector;
    TrialReader reader;
};

TrialTableReader::TrialTableReader(BatchSettings settings, std::size_t mostPlots)
    : m_impl(std::make_unique<Impl>(settings, mostPlots))
{
}

TrialTableReader::~TrialTableReader() = default;

bool TrialTableReader::read(std::string_view piece)
{
    TrialTable& table = *m_impl->table;
    if (!table.error)
        if (std::optional<TrialError> error = m_impl->reader.read(piece))
            table.error = std::move(error);
    return !table.error;
}

std::unique_ptr<TrialTable> TrialTableReader::finish()
{
    TrialTable& table = *m_impl->table;
    if (!table.error)
        if (std::optional<TrialError> error = m_impl->reader.finish())
            table.error = std::move(error);
    if (!table.error)
        m_impl->collector.finish();
    return std::move(m_impl->table);
}

TrialSummary SummaryOf(const TrialTable& table, std::size_t column)
{
    TrialSummary summary;
    for (std::size_t row = 0; row < table.rows(); ++row) {
        const TrialPlotValues& values = table.values[row];
        SummaryPlot plot;
        plot.group = column < table.copiedNames.size() ? table.cell(row, 1 + column) : "";
        plot.computed = !table.refused(row);
        plot.audpc = values.audpc;
        plot.yieldLosses = values.losses;
        plot.relativeAudpc = values.relativeAudpc;
        plot.audps = values.audps;
        summary.add(plot);
    }
    return summary;
}

void TrialPlotsModel::setTable(const TrialTable* table)
{
    beginResetModel();
    m_table = table;
    order();
    endResetModel();
}

void TrialPlotsModel::setFilter(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    arrange();
}

void TrialPlotsModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    arrange();
}

// Persistent indexes (the selection, the current row) follow their plots.
void TrialPlotsModel::arrange()
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> plots;
    plots.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        plots.push_back(m_shown[std::size_t(index.row())]);
    order();
    std::vector<int> position(m_table ? m_table->rows() : 0, -1);
    for (std::size_t row = 0; row < m_shown.size(); ++row)
        position[m_shown[row]] = static_cast<int>(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = position[plots[std::size_t(i)]];
        after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TrialPlotsModel::order()
{
    m_shown.clear();
    if (!m_table)
        return;
    const std::size_t rows = m_table->rows();
    const std::string needle = m_filter.toStdString();
    const bool ascii = std::all_of(needle.begin(), needle.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string asciiNeedle;
    if (ascii)
        std::transform(needle.begin(), needle.end(), std::back_inserter(asciiNeedle),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const std::size_t columns = m_table->columns();
    for (std::size_t row = 0; row < rows; ++row) {
        bool kept = needle.empty();
        for (std::size_t column = 0; column < columns && !kept; ++column)
            kept = holds(m_table->cell(row, column), m_filter, asciiNeedle);
        if (kept)
            m_shown.push_back(static_cast<std::uint32_t>(row));
    }
    if (m_sortColumn < 0 || std::size_t(m_sortColumn) >= columns)
        return;
    std::vector<SortKey> keys(rows);
    for (const std::uint32_t row : m_shown)
        keys[row] = keyOf(m_table->cell(row, std::size_t(m_sortColumn)));
    // Equal cells keep the file's order either way.
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_shown.begin(), m_shown.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
    else
        std::stable_sort(m_shown.begin(), m_shown.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys[b] < keys[a]; });
}

int TrialPlotsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int TrialPlotsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->columns());
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
    const std::size_t row = m_shown[static_cast<std::size_t>(index.row())];
    const bool refused = m_table->refused(row);
    switch (role) {
    case kRefusedRole:
        return refused;
    case Qt::BackgroundRole:
        return refused ? QVariant(QBrush(QColor(255, 224, 224))) : QVariant();
    case Qt::ForegroundRole:
        return refused ? QVariant(QBrush(Qt::black)) : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return refused ? QVariant(QStringLiteral("Refused: ") +
                                  text(m_table->cell(row, m_table->columns() - 1)))
                       : QVariant();
    case Qt::DisplayRole:
        return text(m_table->cell(row, static_cast<std::size_t>(index.column())));
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
    return parent.isValid() ? 0 : static_cast<int>(kFirstSummaryColumn + kSummaryColumns.size());
}

QVariant TrialSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("group");
    if (section == kStandardColumn)
        return QStringLiteral("standard");
    const auto at = static_cast<std::size_t>(section - kFirstSummaryColumn);
    return at < kSummaryColumns.size() ? QString::fromLatin1(kSummaryColumns[at]) : QVariant();
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
    case kFirstSummaryColumn:
        return count(group.plots);
    case kFirstSummaryColumn + 1:
        return count(group.refused);
    case kRankColumn:
        return group.rank ? count(*group.rank) : shown(std::nullopt, 0);
    case kRankColumn + 1:
        return shown(group.scale, kScaleDecimals);
    default: {
        // Each measure's mean, then its deviation.
        const auto at = static_cast<std::size_t>(index.column() - kFirstMeasureColumn);
        if (at >= 2 * kMeasureColumns.size())
            return {};
        const auto& [measure, decimals] = kMeasureColumns[at / 2];
        return shown(at % 2 ? (group.*measure).sd : (group.*measure).mean, decimals);
    }
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
