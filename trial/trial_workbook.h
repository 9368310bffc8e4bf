// Results and summaries as sheets of a workbook, each column's kind and
// decimals taken from the tables the text writers follow (kResultColumns,
// kMeasures, kSummaryColumns), so that a cell of the workbook shows what the
// same cell of the CSV shows.
#pragma once

#include "books/workbook_writer.h"
#include "trial_batch.h"
#include "trial_summary.h"
#include "trial_tokenizer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// A small table whole: a sheet's name, its columns and its rows of texts as a
// CSV writes them ("." as the point), one text per column.
struct SheetTable {
    std::string name;
    std::vector<SheetColumn> columns;
    std::vector<std::vector<std::string>> rows;
};

// The table as a sheet of the book.
void AddSheet(WorkbookWriter& book, const SheetTable& table);
// A workbook of these sheets in place of `path` (its links followed, a
// regular file or none), written whole or not at all; why, when it was not.
[[nodiscard]] std::optional<std::string> WriteWorkbook(const std::string& path, int year,
                                                       const std::vector<SheetTable>& sheets);

// The results' columns: the plot and its copied columns, then kResultColumns.
[[nodiscard]] std::vector<SheetColumn>
ResultSheetColumns(const std::vector<std::string>& copiedNames);

// Plot results as the rows of one sheet, each as it comes.
class ResultsSheet {
public:
    ResultsSheet(WorkbookWriter& book, const std::vector<std::string>& copiedNames,
                 std::string_view name = "results");
    void add(const PlotResult& result);

private:
    WorkbookWriter& m_book;
    std::size_t m_sheet;
    std::vector<std::string_view> m_cells;
    std::string m_count;
    std::string m_message;
};

// The summary of groups as a table: the group, then kSummaryColumns.
[[nodiscard]] SheetTable SummaryTable(const Summary& summary, std::string name = "summary");

// A text one of the batch's writers made (results, summary, fit, combined
// table), in pieces cut anywhere, as a sheet: each column's kind and decimals
// found by its name in the tables above; a column of no known name is
// `other` (the combined table's sites hold scale values, the results' copied
// columns names).
class TextSheet final : private FieldSink {
public:
    TextSheet(WorkbookWriter& book, std::string name, SheetColumn other);
    ~TextSheet() override;
    TextSheet(const TextSheet&) = delete;
    TextSheet& operator=(const TextSheet&) = delete;

    void read(std::string_view piece) { m_tokens.read(piece); }
    void finish() { m_tokens.finish(); }

private:
    void separator(char) override {}
    bool record(std::uint32_t line, Items<std::string_view> fields) override;
    void end(std::uint32_t) override {}

    WorkbookWriter& m_book;
    std::string m_name;
    SheetColumn m_other;
    std::optional<std::size_t> m_sheet;
    TrialTokenizer m_tokens;
};

} // namespace quarven
