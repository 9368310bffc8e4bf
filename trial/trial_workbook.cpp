#include "trial_workbook.h"

#include "site_evaluation.h"
#include "trial_results.h"

namespace quarven {

void AddSheet(WorkbookWriter& book, const SheetTable& table)
{
    const std::size_t sheet = book.addSheet(table.name, table.columns);
    std::vector<std::string_view> cells;
    for (const std::vector<std::string>& row : table.rows) {
        cells.assign(row.begin(), row.end());
        book.addRow(sheet, Items<std::string_view>(cells.data(), cells.size()));
    }
}

std::optional<std::string> WriteWorkbook(const std::string& path, int year,
                                         const std::vector<SheetTable>& sheets)
{
    WorkbookWriter book(path, year);
    for (const SheetTable& table : sheets)
        AddSheet(book, table);
    if (book.commit())
        return std::nullopt;
    return book.error();
}

std::vector<SheetColumn> ResultSheetColumns(const std::vector<std::string>& copiedNames)
{
    std::vector<SheetColumn> columns{{"plot", CellKind::Name}};
    for (const std::string& name : copiedNames)
        columns.push_back({name, CellKind::Name});
    for (const ResultColumn& column : kResultColumns) {
        const CellKind kind = column.kind == ColumnKind::Number ? CellKind::Number
                              : column.kind == ColumnKind::Date ? CellKind::Date
                                                                : CellKind::Text;
        columns.push_back({column.name, kind, column.decimals});
    }
    return columns;
}

ResultsSheet::ResultsSheet(WorkbookWriter& book, const std::vector<std::string>& copiedNames,
                           std::string_view name)
    : m_book(book), m_sheet(book.addSheet(name, ResultSheetColumns(copiedNames)))
{
}

void ResultsSheet::add(const PlotResult& result)
{
    m_cells.clear();
    m_cells.push_back(result.plot);
    for (const std::string_view field : result.copied)
        m_cells.push_back(field);
    m_count = std::to_string(result.assessments);
    m_cells.push_back(m_count);
    m_cells.push_back(result.firstDate);
    m_cells.push_back(result.lastDate);
    m_cells.push_back(result.period);
    for (const std::string_view measure : result.measures)
        m_cells.push_back(measure);
    m_message.clear();
    AppendMessage(m_message, result);
    m_cells.push_back(m_message);
    m_book.addRow(m_sheet, Items<std::string_view>(m_cells.data(), m_cells.size()));
}

SheetTable SummaryTable(const Summary& summary, std::string name)
{
    SheetTable table{std::move(name), {{"group", CellKind::Name}}, {}};
    for (const NumberColumn<GroupSummary>& column : kSummaryColumns)
        table.columns.push_back({column.name, CellKind::Number, column.decimals});
    for (const GroupSummary& group : summary.groups) {
        std::vector<std::string>& row = table.rows.emplace_back();
        row.push_back(group.name);
        for (const NumberColumn<GroupSummary>& column : kSummaryColumns)
            AppendNumber(row.emplace_back(), column.value(group), column.decimals, '.');
    }
    return table;
}

namespace {

template <typename Row, std::size_t N>
std::optional<SheetColumn> numberNamed(std::string_view name,
                                       const std::array<NumberColumn<Row>, N>& columns)
{
    for (const NumberColumn<Row>& column : columns)
        if (name == column.name)
            return SheetColumn{column.name, CellKind::Number, column.decimals};
    return std::nullopt;
}

SheetColumn columnNamed(std::string_view name, const SheetColumn& other)
{
    for (const std::string_view text : {"site", "plot", "group", "standard"})
        if (name == text)
            return {std::string(name), CellKind::Name};
    for (const SheetColumn& column : ResultSheetColumns({}))
        if (name == column.name)
            return column;
    if (auto found = numberNamed(name, kSummaryColumns))
        return *found;
    if (auto found = numberNamed(name, kFitColumns))
        return *found;
    if (auto found = numberNamed(name, kCombinedColumns))
        return *found;
    SheetColumn column = other;
    column.name = name;
    return column;
}

} // namespace

TextSheet::TextSheet(WorkbookWriter& book, std::string name, SheetColumn other)
    : m_book(book), m_name(std::move(name)), m_other(std::move(other)), m_tokens(*this, {})
{
}

TextSheet::~TextSheet() = default;

bool TextSheet::record(std::uint32_t, Items<std::string_view> fields)
{
    if (!m_sheet) {
        std::vector<SheetColumn> columns;
        for (const std::string_view name : fields)
            columns.push_back(columnNamed(name, m_other));
        m_sheet = m_book.addSheet(m_name, columns);
        return !m_book.failed();
    }
    m_book.addRow(*m_sheet, fields);
    return !m_book.failed();
}

} // namespace quarven
