// A trial as the Trial window holds it: every plot's results as the batch
// gives them, kept as cells for a table view, with the batch's results file
// beside them for export. It is read by the command line's own run, so that
// the window's cells, its results file and the command line's agree. A table
// is built whole, on any thread, and then only read, so that the window can
// share it with an export or a copy.
#pragma once

#include "trial_batch.h"
#include "trial_columns.h"
#include "trial_file.h"
#include "trial_run.h"
#include "trial_summary.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// Every plot's cells as the window shows them (the plot, its copied columns,
// then kResultColumns, the message last), packed into one text with an end
// per cell, where a string per cell took some 400 bytes a plot.
struct TrialTable {
    std::optional<TrialError> error;
    std::vector<std::string> copiedNames;
    std::string cells;
    std::vector<std::uint32_t> cellEnds; // columns() a row
    std::vector<MeasureValues> values;   // one a row, unrounded; 0 when refused
    // The message cell may hold a computed plot's note, so refusals are kept apart.
    std::vector<bool> refusals; // one a row
    std::string results;        // the batch's results file, byte for byte
    char separator = ',';
    DecimalMark mark = DecimalMark::Point; // the results'
    // What it was computed with: the year of dates written without one, and
    // the days of plots that give no period.
    int year = 0;
    int defaultPeriod = 0;
    std::size_t refusedPlots = 0;

    [[nodiscard]] std::size_t columns() const
    {
        return 1 + copiedNames.size() + kResultColumns.size();
    }
    [[nodiscard]] std::size_t rows() const { return values.size(); }
    [[nodiscard]] std::string_view cell(std::size_t row, std::size_t column) const;
    [[nodiscard]] bool refused(std::size_t row) const { return refusals[row]; }
    // A row's cells, one after the other.
    [[nodiscard]] std::string_view rowText(std::size_t row) const;
};

// Beyond this the window would take gigabytes; the batch takes any number.
inline constexpr std::size_t kMostTrialPlots = 1'000'000;

// The batch over a trial as it comes from the disk, in pieces cut anywhere.
// A trial of more than mostPlots plots is refused, with no line; what it read
// is freed at once, whatever the caller keeps.
class TrialTableReader {
public:
    explicit TrialTableReader(BatchSettings settings, std::size_t mostPlots = kMostTrialPlots);
    ~TrialTableReader();
    TrialTableReader(const TrialTableReader&) = delete;
    TrialTableReader& operator=(const TrialTableReader&) = delete;

    // False once the trial is refused: the rest need not be read.
    bool read(std::string_view piece);
    // A workbook's sheet (the first when `sheet` is empty) in place of the
    // pieces; finish() follows as for a text.
    bool readWorkbook(const WorkbookSource& source, std::string_view sheet);
    [[nodiscard]] std::unique_ptr<TrialTable> finish();

private:
    void keep(const PlotResult& result);
    void add(std::string_view cell);

    std::unique_ptr<TrialTable> m_table;
    std::size_t m_mostPlots;
    TrialRun m_run;
};

// The summary of the rows grouped by copied column `column`.
[[nodiscard]] TrialSummary SummaryOf(const TrialTable& table, std::size_t column);

} // namespace quarven
