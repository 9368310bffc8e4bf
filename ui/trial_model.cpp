#include "trial_model.h"

#include "core/cell_text.h"
#include "core/value_conventions.h"
#include "entry/table_transfer.h"
#include "ui/curve_loader.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <QSettings>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <tuple>
#include <unordered_set>

namespace quarven {
namespace {

QString toQString(std::string_view value)
{
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

// Digits only, as many as there are.
std::optional<int> digits(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(value)
                                                                    : std::nullopt;
}

// How a cell sorts: empty cells first (kind 0), then numbers and dates by
// value (kind 1), then other text by its bytes (kind 2). The value is one
// number that compares as the cell does: a double's bits in their order, or a
// text's first eight bytes, so that most comparisons need not reach the text.
struct RowKey {
    std::uint64_t value = 0;
    std::uint32_t row = 0;
    std::uint8_t kind = 0;
    std::uint8_t size = 0; // of a text, 9 for any longer than its value holds
};

std::uint64_t orderedBits(double number)
{
    number += 0.0; // -0 is 0
    std::uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    return bits >> 63 ? ~bits : bits | (std::uint64_t(1) << 63);
}

// Eight bytes of a text from `offset` on, and how many there are (9: more).
void textPart(RowKey& key, std::string_view text, std::size_t offset)
{
    const std::string_view part = text.substr(std::min(offset, text.size()));
    key.value = 0;
    key.size = std::uint8_t(std::min<std::size_t>(part.size(), 9));
    for (std::size_t i = 0; i < 8; ++i)
        key.value = key.value << 8 | (i < part.size() ? static_cast<unsigned char>(part[i]) : 0u);
}

RowKey keyOf(std::string_view cell, std::uint32_t row)
{
    RowKey key;
    key.row = row;
    if (cell.empty())
        return key;
    key.kind = 1;
    // dd/mm in the calendar's order; yyyy-mm-dd has it already as text.
    if (cell.size() == 5 && cell[2] == '/') {
        const std::optional<int> day = digits(cell.substr(0, 2));
        const std::optional<int> month = digits(cell.substr(3, 2));
        if (day && month) {
            key.value = orderedBits(double(*month * 100 + *day));
            return key;
        }
    }
    std::array<char, 32> buffer{};
    if (cell.size() < buffer.size()) {
        std::copy(cell.begin(), cell.end(), buffer.begin());
        std::replace(buffer.begin(), buffer.begin() + cell.size(), ',', '.');
        double number = 0.0;
        const auto [end, error] =
            std::from_chars(buffer.data(), buffer.data() + cell.size(), number);
        // A plot named "nan" or "inf" is a name: NaN would break the sort's order.
        if (error == std::errc() && end == buffer.data() + cell.size() && std::isfinite(number)) {
            key.value = orderedBits(number);
            return key;
        }
    }
    key.kind = 2;
    textPart(key, cell, 0);
    return key;
}

bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

// A cell on the clipboard: one line, tabs only between cells, and no text
// that a spreadsheet would run as a formula.
void appendClipboardCell(std::string& out, std::string_view cell)
{
    const std::size_t start = out.size();
    AppendFormulaSafe(out, cell);
    std::replace_if(out.begin() + std::ptrdiff_t(start), out.end(), isControl, ' ');
}

// A number as the window shows it, "." as its point, with another mark.
void appendNumber(std::string& out, std::string_view number, char mark)
{
    const std::size_t start = out.size();
    out.append(number);
    std::replace(out.begin() + std::ptrdiff_t(start), out.end(), '.', mark);
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// A standard as it is used, not rounded to look like another: a scale
// value's decimals when that is the value, otherwise the shortest text that reads back as it.
std::string standardText(double value)
{
    const std::string shortest = ShortestText(value);
    if (!std::isfinite(value) || std::abs(value) >= 1e15)
        return shortest;
    const std::string decimal = FormatDecimals(value, kScaleDecimals);
    double back = 0.0;
    const auto read = std::from_chars(decimal.data(), decimal.data() + decimal.size(), back);
    return read.ec == std::errc() && back == value ? decimal : shortest;
}

} // namespace

// Turned over for a descending sort, so that one comparison serves both.
void turnOver(RowKey& key)
{
    key.kind = std::uint8_t(2 - key.kind);
    key.value = ~key.value;
    key.size = std::uint8_t(9 - key.size);
}

bool sameKey(const RowKey& a, const RowKey& b)
{
    return a.kind == b.kind && a.value == b.value && a.size == b.size;
}

void sortKeys(std::vector<RowKey>::iterator begin, std::vector<RowKey>::iterator end)
{
    std::sort(begin, end, [](const RowKey& a, const RowKey& b) {
        if (!sameKey(a, b))
            return std::tie(a.kind, a.value, a.size) < std::tie(b.kind, b.value, b.size);
        return a.row < b.row;
    });
}

// The keys hold eight bytes of a text: runs that agree in them and go on are
// sorted again on the next eight, and so on, so that texts are compared in
// whole numbers, never byte by byte.
std::vector<std::uint32_t> SortedRows(const TrialTable& table, std::size_t column, bool descending)
{
    const std::size_t rows = table.rows();
    std::vector<RowKey> keys(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        keys[row] = keyOf(table.cell(row, column), static_cast<std::uint32_t>(row));
        if (descending)
            turnOver(keys[row]);
    }
    sortKeys(keys.begin(), keys.end());
    const std::uint8_t text = descending ? 0 : 2;
    const std::uint8_t longer = descending ? 0 : 9;
    struct Run {
        std::vector<RowKey>::iterator begin, end;
        std::size_t offset;
    };
    std::vector<Run> runs{{keys.begin(), keys.end(), 0}};
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        for (auto at = run.begin; at != run.end;) {
            const auto next = std::find_if(at + 1, run.end,
                                           [&](const RowKey& key) { return !sameKey(*at, key); });
            if (next - at > 1 && at->kind == text && at->size == longer) {
                const std::size_t offset = run.offset + 8;
                for (auto key = at; key != next; ++key) {
                    textPart(*key, table.cell(key->row, column), offset);
                    if (descending)
                        turnOver(*key);
                }
                sortKeys(at, next);
                runs.push_back({at, next, offset});
            }
            at = next;
        }
    }
    std::vector<std::uint32_t> sorted(rows);
    for (std::size_t at = 0; at < rows; ++at)
        sorted[at] = keys[at].row;
    return sorted;
}

RowFilter::RowFilter(const QString& text) : m_text(text), m_folded(text.toCaseFolded())
{
    const QByteArray bytes = text.toUtf8();
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        std::transform(bytes.begin(), bytes.end(), std::back_inserter(m_ascii), asciiLower);
}

bool RowFilter::narrows(const RowFilter& wider) const
{
    return m_folded.contains(wider.m_folded);
}

// ASCII: one pass over the row's bytes, a match kept only within one cell;
// otherwise only the cells with a byte beyond ASCII can hold the text.
bool RowFilter::keeps(const TrialTable& table, std::size_t row) const
{
    if (m_text.isEmpty())
        return true;
    const std::string_view bytes = table.rowText(row);
    const std::size_t columns = table.columns();
    const std::uint32_t* ends = table.cellEnds.data() + row * columns;
    const std::size_t base = row * columns == 0 ? 0 : ends[-1];
    if (!m_ascii.empty()) {
        const std::size_t size = m_ascii.size();
        if (bytes.size() < size)
            return false;
        const char first = m_ascii.front();
        const char other = first >= 'a' && first <= 'z' ? char(first - 'a' + 'A') : first;
        std::size_t cell = 0;
        for (std::size_t at = 0; at + size <= bytes.size(); ++at) {
            if (bytes[at] != first && bytes[at] != other)
                continue;
            std::size_t k = 1;
            while (k < size && asciiLower(bytes[at + k]) == m_ascii[k])
                ++k;
            if (k < size)
                continue;
            while (ends[cell] - base <= at)
                ++cell;
            if (at + size <= ends[cell] - base)
                return true;
        }
        return false;
    }
    std::size_t begin = 0;
    for (std::size_t cell = 0; cell < columns; ++cell) {
        const std::size_t end = ends[cell] - base;
        const std::string_view value = bytes.substr(begin, end - begin);
        begin = end;
        const bool ascii = std::all_of(value.begin(), value.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii && toQString(value).contains(m_text, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::vector<std::uint32_t> SamePlots(const TrialTable& before, const TrialTable& after,
                                     const std::vector<std::uint32_t>& rows)
{
    constexpr std::size_t kMostLookedFor = 100'000;
    std::vector<std::uint32_t> same;
    std::unordered_set<std::string_view> wanted;
    for (const std::uint32_t row : rows) {
        const std::string_view name = before.cell(row, 0);
        if (row < after.rows() && after.cell(row, 0) == name)
            same.push_back(row);
        else if (wanted.size() < kMostLookedFor)
            wanted.insert(name);
    }
    for (std::size_t row = 0; row < after.rows() && !wanted.empty(); ++row)
        if (wanted.erase(after.cell(row, 0)))
            same.push_back(std::uint32_t(row));
    return same;
}

QString ShownText(std::string_view cell)
{
    if (std::none_of(cell.begin(), cell.end(), isControl))
        return toQString(cell);
    QString shown = toQString(cell);
    for (QChar& c : shown)
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7f)
            c = QChar(0x2421);
    return shown;
}

// A million rows take one pass into a buffer of the most they can take, so
// that the text is written once: most cells go out as they are, and a date
// column holds few dates, each converted once.
QByteArray CopiedPlots(const TrialTable& table, const std::vector<std::uint32_t>& rows,
                       char decimalMark)
{
    const std::size_t columns = table.columns();
    const std::size_t firstResult = 1 + table.copiedNames.size();
    std::string header = "plot";
    for (const std::string& name : table.copiedNames) {
        header += '\t';
        appendClipboardCell(header, name);
    }
    for (const ResultColumn& column : kResultColumns)
        header.append("\t").append(column.name);
    header += '\n';
    // A tab or line end a cell, an apostrophe a text cell, five more
    // characters a date.
    std::size_t most = header.size();
    for (const std::uint32_t row : rows)
        most += table.rowText(row).size() + 2 * columns + 10;
    QByteArray out(static_cast<qsizetype>(most), Qt::Uninitialized);
    char* at = out.data();
    const auto put = [&at](std::string_view text) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
    };
    put(header);
    // The last date read in each date column, as written and as copied.
    std::array<std::pair<std::string, std::string>, kResultColumns.size()> dates;
    std::string special;
    for (const std::uint32_t row : rows) {
        const std::uint32_t* ends = table.cellEnds.data() + std::size_t(row) * columns;
        std::size_t begin = row == 0 ? 0 : ends[-1];
        for (std::size_t column = 0; column < columns; ++column) {
            const std::string_view cell(table.cells.data() + begin, ends[column] - begin);
            begin = ends[column];
            if (column)
                *at++ = '\t';
            const ColumnKind kind =
                column < firstResult ? ColumnKind::Text : kResultColumns[column - firstResult].kind;
            if (kind == ColumnKind::Text) {
                if (!LooksLikeFormula(cell) && std::none_of(cell.begin(), cell.end(), isControl)) {
                    put(cell);
                } else {
                    special.clear();
                    appendClipboardCell(special, cell);
                    put(special);
                }
            } else if (kind == ColumnKind::Date && !cell.empty()) {
                auto& [written, copied] = dates[column - firstResult];
                if (cell != written) {
                    written = cell;
                    copied = DateCellText(written, table.year);
                }
                put(copied);
            } else {
                char* const number = at;
                put(cell);
                if (decimalMark != '.')
                    std::replace(number, at, '.', decimalMark);
            }
        }
        *at++ = '\n';
    }
    out.truncate(at - out.data());
    return out;
}

void TrialPlotsModel::setTable(std::shared_ptr<const TrialTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    order();
    keep(false);
    show();
    endResetModel();
}

int TrialPlotsModel::shownRow(std::size_t tableRow) const
{
    if (!m_table || tableRow >= m_table->rows())
        return -1;
    if (m_shownAt.empty()) {
        m_shownAt.assign(m_table->rows(), -1);
        for (std::size_t at = 0; at < m_shown.size(); ++at)
            m_shownAt[m_shown[at]] = static_cast<int>(at);
    }
    return m_shownAt[tableRow];
}

void TrialPlotsModel::setFilter(const QString& text)
{
    if (text == m_filter.text())
        return;
    RowFilter filter(text);
    const bool narrowing = !m_filter.empty() && !m_kept.empty() && filter.narrows(m_filter);
    m_filter = std::move(filter);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    keep(narrowing);
    rearrange();
}

// The rows are always in this order already when it is asked for again, as
// QTableView::sortByColumn does twice.
void TrialPlotsModel::sort(int column, Qt::SortOrder order)
{
    if (column == m_sortColumn && order == m_sortOrder)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    this->order();
    rearrange();
}

// Persistent indexes (the selection, the current row) follow their plots.
void TrialPlotsModel::rearrange()
{
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> plots;
    plots.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        plots.push_back(m_shown[std::size_t(index.row())]);
    show();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = shownRow(plots[std::size_t(i)]);
        after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TrialPlotsModel::order()
{
    m_sorted.clear();
    if (m_table && m_sortColumn >= 0 && std::size_t(m_sortColumn) < m_table->columns())
        m_sorted =
            SortedRows(*m_table, std::size_t(m_sortColumn), m_sortOrder == Qt::DescendingOrder);
}

// Typing on narrows: only the rows kept so far need be looked at again.
void TrialPlotsModel::keep(bool narrowing)
{
    if (!m_table || m_filter.empty()) {
        m_kept.clear();
        return;
    }
    const std::size_t rows = m_table->rows();
    if (!narrowing)
        m_kept.assign(rows, 1);
    for (std::size_t row = 0; row < rows; ++row)
        if (m_kept[row])
            m_kept[row] = m_filter.keeps(*m_table, row);
}

void TrialPlotsModel::show()
{
    m_shown.clear();
    m_shownAt.clear();
    if (!m_table)
        return;
    const std::size_t rows = m_table->rows();
    m_shown.reserve(m_kept.empty() ? rows
                                   : std::size_t(std::count(m_kept.begin(), m_kept.end(), 1)));
    for (std::size_t at = 0; at < rows; ++at) {
        const std::uint32_t row = m_sorted.empty() ? std::uint32_t(at) : m_sorted[at];
        if (m_kept.empty() || m_kept[row])
            m_shown.push_back(row);
    }
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
        return ShownText(m_table->copiedNames[at - 1]);
    return at - 1 - copied < kResultColumns.size()
               ? QVariant(QString::fromLatin1(kResultColumns[at - 1 - copied].name))
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
                                  ShownText(m_table->cell(row, m_table->columns() - 1)))
                       : QVariant();
    case Qt::DisplayRole:
        return ShownText(m_table->cell(row, static_cast<std::size_t>(index.column())));
    default:
        return {};
    }
}

void TrialSummaryModel::setSummary(const Summary& summary)
{
    const bool sameGroups =
        m_summary && m_summary->groups.size() == summary.groups.size() &&
        std::equal(summary.groups.begin(), summary.groups.end(), m_summary->groups.begin(),
                   [](const GroupSummary& a, const GroupSummary& b) { return a.name == b.name; });
    if (!sameGroups)
        beginResetModel();
    m_summary = std::make_shared<const Summary>(summary);
    if (!sameGroups)
        endResetModel();
    else if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void TrialSummaryModel::setGrouping(const std::string& grouping)
{
    if (grouping == m_grouping)
        return;
    m_grouping = grouping;
    if (rowCount() > 0)
        emit dataChanged(index(0, kStandardColumn), index(rowCount() - 1, kStandardColumn));
}

const std::map<std::string, double>& TrialSummaryModel::standards() const
{
    static const std::map<std::string, double> none;
    const auto found = m_standards.find(m_grouping);
    return found == m_standards.end() ? none : found->second;
}

std::string TrialSummaryModel::copiedRows(const std::vector<int>& rows, char decimalMark) const
{
    std::string out;
    for (int column = 0; column < columnCount(); ++column)
        out.append(column ? "\t" : "")
            .append(headerData(column, Qt::Horizontal, kColumnNameRole).toString().toStdString());
    out += '\n';
    for (const int row : rows) {
        for (int column = 0; column < columnCount(); ++column) {
            const std::string cell = index(row, column).data().toString().toStdString();
            if (column)
                out += '\t';
            if (column == 0)
                appendClipboardCell(out, cell);
            else
                appendNumber(out, cell, decimalMark);
        }
        out += '\n';
    }
    return out;
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
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const char* name = section == 0 ? "group"
                       : section == kStandardColumn
                           ? "standard"
                           : kSummaryColumns[std::size_t(section - kFirstSummaryColumn)].name;
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view words = SummaryWords(name);
        return QString::fromUtf8(words.data(), qsizetype(words.size()));
    }
    case Qt::ToolTipRole:
        return section == kStandardColumn
                   ? QStringLiteral("A standard's value on the 1-9 scale; not in the file")
                   : QString::fromLatin1(name);
    case kColumnNameRole:
        return QString::fromLatin1(name);
    default:
        return QAbstractTableModel::headerData(section, orientation, role);
    }
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
    switch (index.column()) {
    case 0:
        return ShownText(group.name);
    case kStandardColumn: {
        const auto found = standards().find(group.name);
        if (found == standards().end())
            return shown(std::nullopt, 0);
        return sort ? QVariant(found->second)
                    : QVariant(QString::fromStdString(standardText(found->second)));
    }
    default: {
        const auto at = static_cast<std::size_t>(index.column() - kFirstSummaryColumn);
        if (at >= kSummaryColumns.size())
            return {};
        const NumberColumn<GroupSummary>& column = kSummaryColumns[at];
        return shown(column.value(group), column.decimals);
    }
    }
}

// The value is read as the batch reads --standard NAME=VALUE, and refused
// with its words.
bool TrialSummaryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != kStandardColumn || role != Qt::EditRole)
        return false;
    const std::string& name = m_summary->groups[static_cast<std::size_t>(index.row())].name;
    const std::string typed = value.toString().toStdString();
    std::map<std::string, double>& standards = m_standards[m_grouping];
    if (IsBlank(typed)) {
        standards.erase(name);
    } else {
        const std::string written = name + "=" + typed;
        OrError<Standard> read = ParseStandard(written);
        // The value's own "=" would make part of it the name.
        if (typed.find('=') != std::string::npos)
            read = ParseStandard(written + "=");
        if (const auto* error = std::get_if<SummaryError>(&read)) {
            emit standardRefused(QString::fromStdString(error->message));
            return false;
        }
        standards[name] = std::get<Standard>(read).value;
    }
    emit dataChanged(index, index);
    emit standardsChanged();
    return true;
}

namespace {

const QString kShownKey = QStringLiteral("trial/summaryColumns");

bool shownFirst(const QString& name)
{
    static const QStringList needed = {QStringLiteral("group"),
                                       QStringLiteral("standard"),
                                       QStringLiteral("plots"),
                                       QStringLiteral("refused"),
                                       QString::fromLatin1(kMeasures[kRelativeAudpc].mean),
                                       QString::fromLatin1(kMeasures[kRelativeAudpc].sd),
                                       QStringLiteral("rank"),
                                       QStringLiteral("scale")};
    return needed.contains(name);
}

} // namespace

std::vector<bool> ShownSummaryColumns(const QSettings& settings)
{
    const TrialSummaryModel model;
    const QVariant kept = settings.value(kShownKey);
    const QStringList names = kept.toStringList();
    std::vector<bool> shown;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QString name = model.headerData(column, Qt::Horizontal, kColumnNameRole).toString();
        shown.push_back(column == 0 || (kept.isValid() ? names.contains(name) : shownFirst(name)));
    }
    return shown;
}

// Under the file's names, so that a column added later is shown by default
// and none is mistaken for another.
void RememberSummaryColumns(QSettings& settings, const std::vector<bool>& shown)
{
    const TrialSummaryModel model;
    QStringList names;
    for (int column = 0; column < model.columnCount(); ++column)
        if (std::size_t(column) < shown.size() && shown[std::size_t(column)])
            names.append(model.headerData(column, Qt::Horizontal, kColumnNameRole).toString());
    settings.setValue(kShownKey, names);
}

ChartGroups ChartGroupsOf(const QSortFilterProxyModel& shown, const TrialSummaryModel& summary)
{
    // Not a number: the group has no such value.
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    ChartGroups groups;
    const int rows = shown.rowCount();
    groups.names.reserve(rows);
    groups.means.reserve(rows);
    groups.deviations.reserve(rows);
    groups.standards.reserve(rows);
    const std::map<std::string, double>& standards = summary.standards();
    for (int row = 0; row < rows; ++row) {
        const int at = shown.mapToSource(shown.index(row, 0)).row();
        if (at < 0)
            continue;
        const GroupSummary& group = summary.summary().groups[std::size_t(at)];
        groups.names.append(ShownText(group.name));
        groups.means.append(group.relativeAudpc().mean.value_or(kNone));
        groups.deviations.append(group.relativeAudpc().sd.value_or(kNone));
        const auto standard = standards.find(group.name);
        groups.standards.append(standard == standards.end() ? kNone : standard->second);
    }
    return groups;
}

} // namespace quarven
