#include "trial_table.h"

#include <algorithm>

namespace quarven {

std::string_view TrialTable::cell(std::size_t row, std::size_t column) const
{
    const std::size_t at = row * columns() + column;
    const std::size_t begin = at == 0 ? 0 : cellEnds[at - 1];
    return std::string_view(cells).substr(begin, cellEnds[at] - begin);
}

std::string_view TrialTable::rowText(std::size_t row) const
{
    const std::size_t first = row * columns();
    const std::size_t begin = first == 0 ? 0 : cellEnds[first - 1];
    return std::string_view(cells).substr(begin, cellEnds[first + columns() - 1] - begin);
}

// The results' text is kept as the command line writes it; a refused trial
// keeps none of it.
TrialTableReader::TrialTableReader(BatchSettings settings, std::size_t mostPlots)
    : m_table(std::make_unique<TrialTable>()), m_mostPlots(mostPlots),
      m_run(settings, [this](std::string_view text) {
          if (!m_table->error)
              m_table->results.append(text);
      })
{
    m_table->year = settings.year;
    m_table->defaultPeriod = settings.defaultPeriod;
    m_run.keepResults([this](const PlotResult& result) { keep(result); });
}

TrialTableReader::~TrialTableReader() = default;

bool TrialTableReader::read(std::string_view piece)
{
    if (!m_table->error)
        if (std::optional<TrialError> error = m_run.read(piece))
            m_table->error = std::move(error);
    return !m_table->error;
}

bool TrialTableReader::readWorkbook(const WorkbookSource& source, std::string_view sheet)
{
    if (!m_table->error)
        if (std::optional<TrialError> error = m_run.readWorkbook(source, sheet))
            m_table->error = std::move(error);
    return !m_table->error;
}

std::unique_ptr<TrialTable> TrialTableReader::finish()
{
    TrialTable& table = *m_table;
    if (!table.error)
        if (std::optional<TrialError> error = m_run.finish())
            table.error = std::move(error);
    if (!table.error) {
        table.copiedNames = m_run.copiedNames();
        table.separator = m_run.separator();
        table.mark = m_run.decimalMark();
        table.refusedPlots = m_run.refused();
    }
    return std::move(m_table);
}

void TrialTableReader::keep(const PlotResult& result)
{
    TrialTable& table = *m_table;
    if (table.error)
        return;
    if (table.rows() == m_mostPlots) {
        table.error = TrialError{0, "A trial of more than " + std::to_string(m_mostPlots) +
                                        " plots is for quarven --batch"};
        // Not kept while the refusal is told.
        std::string().swap(table.cells);
        std::vector<std::uint32_t>().swap(table.cellEnds);
        std::vector<MeasureValues>().swap(table.values);
        std::vector<bool>().swap(table.refusals);
        std::string().swap(table.results);
        return;
    }
    add(result.plot);
    for (std::size_t column = 0; column < m_run.copiedNames().size(); ++column)
        add(column < result.copied.size() ? result.copied[column] : std::string_view());
    add(std::to_string(result.assessments));
    for (const std::string_view cell : {result.firstDate, result.lastDate, result.period})
        add(cell);
    for (const std::string_view measure : result.measures)
        add(measure);
    std::string message(result.refused ? result.message : result.note);
    std::replace(message.begin(), message.end(), '\r', ' ');
    std::replace(message.begin(), message.end(), '\n', ' ');
    if (!message.empty() && !result.lines.empty())
        message += " (" + std::string(result.lines) + ")";
    add(message);
    table.values.push_back(result.values);
    table.refusals.push_back(result.refused);
}

void TrialTableReader::add(std::string_view cell)
{
    m_table->cells.append(cell);
    m_table->cellEnds.push_back(static_cast<std::uint32_t>(m_table->cells.size()));
}

TrialSummary SummaryOf(const TrialTable& table, std::size_t column)
{
    TrialSummary summary;
    for (std::size_t row = 0; row < table.rows(); ++row) {
        SummaryPlot plot;
        plot.group = column < table.copiedNames.size() ? table.cell(row, 1 + column) : "";
        plot.computed = !table.refused(row);
        plot.values = table.values[row];
        summary.add(plot);
    }
    return summary;
}

} // namespace quarven
