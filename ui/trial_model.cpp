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
#include <utility>

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
template <typename CellAt>
std::vector<std::uint32_t> sortedRows(std::size_t rows, const CellAt& cellAt, bool descending)
{
    std::vector<RowKey> keys(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        keys[row] = keyOf(cellAt(row), static_cast<std::uint32_t>(row));
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
                    textPart(*key, cellAt(key->row), offset);
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

std::vector<std::uint32_t> SortedRows(const TrialTable& table, std::size_t column, bool descending)
{
    return sortedRows(
        table.rows(), [&](std::size_t row) { return table.cell(row, column); }, descending);
}

// Site by site, so that each row's cell needs no looking up of its site.
std::vector<std::uint32_t> SortedRows(const TrialSites& sites, std::size_t column, bool descending)
{
    if (!sites.several())
        return SortedRows(*sites.sites().front().table, column, descending);
    std::vector<std::string_view> cells(sites.rows());
    for (std::size_t site = 0; site < sites.sites().size(); ++site)
        for (std::size_t row = 0; row < sites.sites()[site].table->rows(); ++row)
            cells[sites.start(site) + row] = sites.cell(TrialSites::Place{site, row}, column);
    return sortedRows(
        cells.size(), [&](std::size_t row) { return cells[row]; }, descending);
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

bool RowFilter::keepsCell(std::string_view cell) const
{
    if (m_text.isEmpty())
        return true;
    if (!m_ascii.empty()) {
        std::string lower(cell);
        std::transform(lower.begin(), lower.end(), lower.begin(), asciiLower);
        return lower.find(m_ascii) != std::string::npos;
    }
    return toQString(cell).contains(m_text, Qt::CaseInsensitive);
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

std::vector<std::uint32_t> SameSitePlots(const TrialSites& before, const TrialSites& after,
                                         const std::vector<std::uint32_t>& rows)
{
    std::vector<std::vector<std::uint32_t>> bySite(before.sites().size());
    for (const std::uint32_t row : rows) {
        const TrialSites::Place at = before.place(row);
        bySite[at.site].push_back(std::uint32_t(at.row));
    }
    std::vector<std::uint32_t> same;
    for (std::size_t was = 0; was < bySite.size(); ++was) {
        if (bySite[was].empty())
            continue;
        const SiteTable& site = before.sites()[was];
        for (std::size_t now = 0; now < after.sites().size(); ++now) {
            const SiteTable& there = after.sites()[now];
            if (there.name != site.name)
                continue;
            const std::vector<std::uint32_t> kept =
                there.table == site.table ? bySite[was]
                                          : SamePlots(*site.table, *there.table, bySite[was]);
            for (const std::uint32_t row : kept)
                same.push_back(std::uint32_t(after.start(now) + row));
            break;
        }
    }
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

QByteArray CopiedPlots(const TrialTable& table, const std::vector<std::uint32_t>& rows,
                       char decimalMark)
{
    return CopiedPlots(TrialSites::Of(table), rows, decimalMark);
}

// A million rows take one pass into a buffer of the most they can take, so
// that the text is written once: most cells go out as they are, and a date
// column holds few dates, each converted once.
QByteArray CopiedPlots(const TrialSites& sites, const std::vector<std::uint32_t>& rows,
                       char decimalMark)
{
    const std::size_t columns = sites.columns();
    const std::size_t firstResult = columns - kResultColumns.size();
    std::string header;
    for (std::size_t column = 0; column < columns; ++column) {
        if (column)
            header += '\t';
        appendClipboardCell(header, sites.columnName(column));
    }
    header += '\n';
    // A tab or line end a cell, an apostrophe a text cell, five more
    // characters a date, and the site's name.
    std::size_t most = header.size();
    std::size_t longestName = 0;
    for (const SiteTable& site : sites.sites())
        longestName = std::max(longestName, site.name.size());
    for (const std::uint32_t row : rows) {
        const TrialSites::Place at = sites.place(row);
        most +=
            sites.sites()[at.site].table->rowText(at.row).size() + 2 * columns + 10 + longestName;
    }
    QByteArray out(static_cast<qsizetype>(most), Qt::Uninitialized);
    char* at = out.data();
    const auto put = [&at](std::string_view text) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
    };
    put(header);
    // The last date read in each date column, as written and as copied, and
    // the year it was read in.
    struct CopiedDate {
        std::string written;
        int year = 0;
        std::string copied;
    };
    std::array<CopiedDate, kResultColumns.size()> dates;
    std::string special;
    for (const std::uint32_t row : rows) {
        const TrialSites::Place place = sites.place(row);
        const int year = sites.sites()[place.site].table->year;
        for (std::size_t column = 0; column < columns; ++column) {
            const std::string_view cell = sites.cell(place, column);
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
                CopiedDate& date = dates[column - firstResult];
                if (cell != date.written || year != date.year) {
                    date.written = cell;
                    date.year = year;
                    date.copied = DateCellText(date.written, year);
                }
                put(date.copied);
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

namespace {

// A column known by its name and which of that name it is.
std::pair<std::string_view, int> columnKey(const TrialSites& sites, int column)
{
    const std::string_view name = sites.columnName(std::size_t(column));
    int occurrence = 0;
    for (int before = 0; before < column; ++before)
        occurrence += sites.columnName(std::size_t(before)) == name;
    return {name, occurrence};
}

} // namespace

void TrialPlotsModel::setTable(std::shared_ptr<const TrialTable> table)
{
    setSites(table ? std::make_shared<const TrialSites>(
                         std::vector<SiteTable>{{std::string(), std::move(table)}})
                   : nullptr);
}

// A column that moved (a site column came, a file brought a copied column)
// is still the one sorted by.
void TrialPlotsModel::setSites(std::shared_ptr<const TrialSites> sites)
{
    beginResetModel();
    if (m_sites && sites && m_sortColumn >= 0) {
        const auto key = columnKey(*m_sites, m_sortColumn);
        const int columns = int(sites->columns());
        int found = -1;
        for (int column = 0; column < columns && found < 0; ++column)
            if (columnKey(*sites, column) == key)
                found = column;
        m_sortColumn = found;
    }
    m_sites = std::move(sites);
    order();
    keep(false);
    show();
    endResetModel();
}

int TrialPlotsModel::shownRow(std::size_t tableRow) const
{
    if (!m_sites || tableRow >= m_sites->rows())
        return -1;
    if (m_shownAt.empty()) {
        m_shownAt.assign(m_sites->rows(), -1);
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
    if (m_sites && m_sortColumn >= 0 && std::size_t(m_sortColumn) < m_sites->columns())
        m_sorted =
            SortedRows(*m_sites, std::size_t(m_sortColumn), m_sortOrder == Qt::DescendingOrder);
}

// Typing on narrows: only the rows kept so far need be looked at again. A
// site whose name holds the text keeps all its rows.
void TrialPlotsModel::keep(bool narrowing)
{
    if (!m_sites || m_filter.empty()) {
        m_kept.clear();
        return;
    }
    if (!narrowing)
        m_kept.assign(m_sites->rows(), 1);
    for (std::size_t site = 0; site < m_sites->sites().size(); ++site) {
        const SiteTable& each = m_sites->sites()[site];
        const bool named = m_sites->several() && m_filter.keepsCell(each.name);
        char* kept = m_kept.data() + m_sites->start(site);
        for (std::size_t row = 0; row < each.table->rows(); ++row)
            if (kept[row])
                kept[row] = named || m_filter.keeps(*each.table, row);
    }
}

void TrialPlotsModel::show()
{
    m_shown.clear();
    m_shownAt.clear();
    if (!m_sites)
        return;
    const std::size_t rows = m_sites->rows();
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
    return parent.isValid() || !m_sites ? 0 : static_cast<int>(m_sites->columns());
}

QVariant TrialPlotsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_sites || section < 0 ||
        std::size_t(section) >= m_sites->columns())
        return QAbstractTableModel::headerData(section, orientation, role);
    return ShownText(m_sites->columnName(std::size_t(section)));
}

QVariant TrialPlotsModel::data(const QModelIndex& index, int role) const
{
    if (!m_sites || !index.isValid())
        return {};
    const TrialSites::Place at = m_sites->place(m_shown[static_cast<std::size_t>(index.row())]);
    const bool refused = m_sites->sites()[at.site].table->refused(at.row);
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
                                  ShownText(m_sites->cell(at, m_sites->columns() - 1)))
                       : QVariant();
    case Qt::DisplayRole:
        return ShownText(m_sites->cell(at, static_cast<std::size_t>(index.column())));
    default:
        return {};
    }
}

void TrialSummaryModel::setSummary(const Summary& summary)
{
    auto evaluation = std::make_shared<Evaluation>();
    evaluation->sites.push_back({std::string(), summary, {}, {}, {}});
    setEvaluation(std::move(evaluation));
}

void TrialSummaryModel::setEvaluation(std::shared_ptr<const Evaluation> evaluation)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rows;
    for (std::size_t site = 0; site < evaluation->sites.size(); ++site)
        for (std::size_t group = 0; group < evaluation->sites[site].summary.groups.size(); ++group)
            rows.emplace_back(std::uint32_t(site), std::uint32_t(group));
    const auto sameSites = [&] {
        return std::equal(evaluation->sites.begin(), evaluation->sites.end(),
                          m_evaluation->sites.begin(), m_evaluation->sites.end(),
                          [](const SiteEvaluation& a, const SiteEvaluation& b) {
                              return a.name == b.name &&
                                     std::equal(a.summary.groups.begin(), a.summary.groups.end(),
                                                b.summary.groups.begin(), b.summary.groups.end(),
                                                [](const GroupSummary& x, const GroupSummary& y) {
                                                    return x.name == y.name;
                                                });
                          });
    };
    const bool same = m_evaluation && sameSites();
    if (!same)
        beginResetModel();
    m_evaluation = std::move(evaluation);
    m_rows = std::move(rows);
    if (!same)
        endResetModel();
    else if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int TrialSummaryModel::siteOf(int row) const
{
    return row < 0 ? -1 : int(m_rows[std::size_t(row)].first);
}

const std::string& TrialSummaryModel::siteName(int row) const
{
    return m_evaluation->sites[m_rows[std::size_t(row)].first].name;
}

const GroupSummary& TrialSummaryModel::group(int row) const
{
    const auto [site, group] = m_rows[std::size_t(row)];
    return m_evaluation->sites[site].summary.groups[group];
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
            if (column == kGroupColumn || column == siteColumn())
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
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TrialSummaryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : firstSummaryColumn() + static_cast<int>(kSummaryColumns.size());
}

QVariant TrialSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const char* name = section == kGroupColumn      ? "group"
                       : section == kStandardColumn ? "standard"
                       : section == siteColumn()
                           ? "site"
                           : kSummaryColumns[std::size_t(section - firstSummaryColumn())].name;
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
    const std::uint32_t site = m_rows[std::size_t(index.row())].first;
    const GroupSummary& group = this->group(index.row());
    if (role == kSiteRole)
        return int(site);
    if (role == Qt::ToolTipRole && index.column() == kStandardColumn)
        return QStringLiteral("A standard's value on the 1-9 scale, for every site; empty for "
                              "none");
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
    if (index.column() == siteColumn())
        return ShownText(m_evaluation->sites[site].name);
    if (index.column() == kGroupColumn)
        return ShownText(group.name);
    if (index.column() == kStandardColumn) {
        const auto found = standards().find(group.name);
        if (found == standards().end())
            return shown(std::nullopt, 0);
        return sort ? QVariant(found->second)
                    : QVariant(QString::fromStdString(standardText(found->second)));
    }
    const auto at = static_cast<std::size_t>(index.column() - firstSummaryColumn());
    if (at >= kSummaryColumns.size())
        return {};
    const NumberColumn<GroupSummary>& column = kSummaryColumns[at];
    return shown(column.value(group), column.decimals);
}

// The value is read as the batch reads --standard NAME=VALUE, and refused
// with its words. A group's rows at every site show it.
bool TrialSummaryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != kStandardColumn || role != Qt::EditRole)
        return false;
    const std::string& name = group(index.row()).name;
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
    emit dataChanged(this->index(0, kStandardColumn), this->index(rowCount() - 1, kStandardColumn));
    emit standardsChanged();
    return true;
}

void SiteFilterProxy::setSite(int site)
{
    if (site == m_site)
        return;
    m_site = site;
    invalidateRowsFilter();
}

void SiteFilterProxy::setGroups(std::optional<Groups> groups)
{
    if (groups == m_groups)
        return;
    m_groups = std::move(groups);
    invalidateRowsFilter();
}

bool SiteFilterProxy::filterAcceptsRow(int row, const QModelIndex& parent) const
{
    if (m_site >= 0 && sourceModel()->index(row, 0, parent).data(kSiteRole).toInt() != m_site)
        return false;
    if (const auto* summary = qobject_cast<const TrialSummaryModel*>(sourceModel());
        summary && m_groups && !m_groups->count({summary->siteName(row), summary->group(row).name}))
        return false;
    return QSortFilterProxyModel::filterAcceptsRow(row, parent);
}

EvaluationTableModel::EvaluationTableModel(Table table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table)
{
}

namespace {

// A number as the evaluation's texts write it, "." as its point; it sorts as
// the number, and an empty cell first.
template <typename Cell> Cell numberCell(const std::optional<double>& value, int decimals)
{
    std::string text;
    AppendNumber(text, value, decimals, '.');
    return {QString::fromStdString(text),
            value ? QVariant(*value) : QVariant(-std::numeric_limits<double>::infinity())};
}

template <typename Cell> Cell textCell(std::string_view text)
{
    const QString shown = ShownText(text);
    return {shown, shown};
}

} // namespace

void EvaluationTableModel::setEvaluation(const Evaluation& evaluation)
{
    EvaluationTableModel made(m_table);
    switch (m_table) {
    case Table::Combined:
        made.combined(evaluation);
        break;
    case Table::Fit:
        made.fit(evaluation);
        break;
    case Table::Correlations:
        made.correlations(evaluation);
        break;
    }
    if (made.m_header == m_header && made.m_rows.size() == m_rows.size()) {
        m_rows = std::move(made.m_rows);
        if (!m_rows.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return;
    }
    beginResetModel();
    m_header = std::move(made.m_header);
    m_rows = std::move(made.m_rows);
    endResetModel();
}

void EvaluationTableModel::combined(const Evaluation& evaluation)
{
    m_header.append(QStringLiteral("group"));
    for (const NumberColumn<CombinedGroup>& column : kCombinedColumns)
        m_header.append(QString::fromLatin1(column.name));
    for (const SiteEvaluation& site : evaluation.sites)
        m_header.append(ShownText(site.name));
    for (const CombinedGroup& group : evaluation.combined) {
        std::vector<Cell>& row = m_rows.emplace_back();
        row.push_back(textCell<Cell>(group.name));
        for (const NumberColumn<CombinedGroup>& column : kCombinedColumns)
            row.push_back(numberCell<Cell>(column.value(group), column.decimals));
        for (const std::optional<double>& scale : group.scales)
            row.push_back(numberCell<Cell>(scale, kScaleDecimals));
    }
}

void EvaluationTableModel::fit(const Evaluation& evaluation)
{
    const bool several = evaluation.sites.size() > 1;
    if (several)
        m_header.append(QStringLiteral("site"));
    m_header.append(QStringLiteral("standard"));
    for (const NumberColumn<StandardFit>& column : kFitColumns)
        m_header.append(QString::fromLatin1(column.name));
    for (const SiteEvaluation& site : evaluation.sites)
        for (const StandardFit& fit : site.fit) {
            std::vector<Cell>& row = m_rows.emplace_back();
            if (several)
                row.push_back(textCell<Cell>(site.name));
            row.push_back(textCell<Cell>(fit.standard));
            for (const NumberColumn<StandardFit>& column : kFitColumns)
                row.push_back(numberCell<Cell>(column.value(fit), column.decimals));
        }
}

// Spearman's rho to three decimals: two sites of a dozen shared groups
// differ in the second.
void EvaluationTableModel::correlations(const Evaluation& evaluation)
{
    m_header = QStringList{QStringLiteral("site"), QStringLiteral("other site"),
                           QStringLiteral("shared groups"), QStringLiteral("spearman_rho")};
    for (const SiteCorrelation& pair : evaluation.correlations) {
        std::vector<Cell>& row = m_rows.emplace_back();
        row.push_back(textCell<Cell>(evaluation.sites[pair.first].name));
        row.push_back(textCell<Cell>(evaluation.sites[pair.second].name));
        row.push_back(numberCell<Cell>(double(pair.shared), 0));
        row.push_back(numberCell<Cell>(pair.rho, 3));
    }
}

int EvaluationTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EvaluationTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_header.size());
}

QVariant EvaluationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_header.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_header[section];
}

QVariant EvaluationTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Cell& cell = m_rows[std::size_t(index.row())][std::size_t(index.column())];
    if (role == Qt::DisplayRole)
        return cell.text;
    if (role == kSortRole)
        return cell.sort;
    if (role == Qt::ToolTipRole && m_table == Table::Correlations && index.column() == 3 &&
        cell.text.isEmpty())
        return QStringLiteral("Fewer than three shared groups, or ranks that do not vary");
    return {};
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

std::vector<bool> ShownSummaryColumns(const QSettings& settings, const QAbstractItemModel& model)
{
    const QVariant kept = settings.value(kShownKey);
    const QStringList names = kept.toStringList();
    std::vector<bool> shown;
    for (int column = 0; column < model.columnCount(); ++column) {
        const QString name = model.headerData(column, Qt::Horizontal, kColumnNameRole).toString();
        shown.push_back(column == 0 || name == QLatin1String("site") ||
                        (kept.isValid() ? names.contains(name) : shownFirst(name)));
    }
    return shown;
}

// Under the file's names, so that a column added later is shown by default
// and none is mistaken for another.
void RememberSummaryColumns(QSettings& settings, const QAbstractItemModel& model,
                            const std::vector<bool>& shown)
{
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
    std::vector<int> at;
    at.reserve(std::size_t(rows));
    bool severalShown = false;
    for (int row = 0; row < rows; ++row) {
        at.push_back(shown.mapToSource(shown.index(row, 0)).row());
        severalShown = severalShown || summary.siteOf(at.back()) != summary.siteOf(at.front());
    }
    for (const int row : at) {
        if (row < 0)
            continue;
        const GroupSummary& group = summary.group(row);
        // Named with their site where the chart shows more than one.
        groups.names.append(severalShown ? ShownText(summary.siteName(row)) + QStringLiteral(": ") +
                                               ShownText(group.name)
                                         : ShownText(group.name));
        groups.means.append(group.relativeAudpc().mean.value_or(kNone));
        groups.deviations.append(group.relativeAudpc().sd.value_or(kNone));
        const auto standard = standards.find(group.name);
        groups.standards.append(standard == standards.end() ? kNone : standard->second);
    }
    return groups;
}

} // namespace quarven
