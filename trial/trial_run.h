// A trial file in, its results out: the reader, the batch and the results
// writer joined, for the command line, the tests and the fuzz target alike.
// The file may come in pieces cut anywhere; the results leave in pieces too,
// through the output function, and only a run that ends without an error has
// written all of them.
//
// A long file's results are made in two halves at once where the machine has
// two threads: the same bytes, in the same order.
//
// A trial may be one of several sites, or hold several: then each results row
// begins with its plot's site, and each site is computed and summarised on its
// own. Several trials' results may be joined in one text (see joinResults).
#pragma once

#include "trial_batch.h"
#include "trial_file.h"
#include "trial_results.h"
#include "trial_summary.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

class TrialRun final : private TrialVisitor {
public:
    using Output = std::function<void(std::string_view)>;

    struct Options {
        // Off, everything runs on the calling thread.
        bool threads = true;
        // Plots per block of results made on one thread. The second thread
        // starts from two blocks on; tests make them small to use it on
        // small trials.
        std::size_t blockPlots = 8192;
    };

    TrialRun(BatchSettings settings, Output output);
    TrialRun(BatchSettings settings, Output output, Options options);
    ~TrialRun() override;
    TrialRun(const TrialRun&) = delete;
    TrialRun& operator=(const TrialRun&) = delete;

    // Memory that runs out, here or on the helper thread, is an error like
    // any other, and every later call gives it again.
    [[nodiscard]] std::optional<TrialError> read(std::string_view chunk);
    // A workbook's sheet (the first when `sheet` is empty) in place of the
    // file's bytes; finish() follows as for a text. An error of line 0
    // concerns the whole file.
    [[nodiscard]] std::optional<TrialError> readWorkbook(const WorkbookSource& source,
                                                         std::string_view sheet);
    [[nodiscard]] std::optional<TrialError> finish();

    // Groups the results by the copied column named `column` as they are
    // written, for summary(); called before the first read. A column the
    // header does not have stops the run at the header.
    void summariseBy(std::string column);
    // The first site's summary: the whole trial's when it is one site.
    [[nodiscard]] const TrialSummary& summary() const;

    // Every plot is at the site `name`, written first in each results row.
    // Called before the first read.
    void atSite(std::string name);
    // Each plot's site is its value in the copied column `column` (matched
    // as summariseBy matches), written first in each results row; a plot is a
    // plot within its site, and a long trial's results come site after site.
    // Called before the first read. A column the header does not have stops
    // the run at the header, and so does a site past kMostSites.
    void sitesFrom(std::string column);
    static constexpr std::size_t kMostSites = 1000;
    // The results of this trial as a part of several trials' text, in its
    // columns (see ResultsColumns; their separator and mark are those of the
    // text's first trial, `mark` none for the first trial itself, whose own
    // levels decide it). The site is written when atSite or sitesFrom says.
    void joinResults(ResultsColumns columns, std::optional<DecimalMark> mark);
    // The sites in the order they first appear, each with its plots' sums.
    struct SiteSummary {
        std::string name;
        TrialSummary summary;
    };
    [[nodiscard]] const std::vector<SiteSummary>& sites() const { return m_sites; }

    // Hands each plot's result to `keep` too, in the results' order, for a
    // caller that keeps more than the text; called before the first read.
    // The results are then all made on the calling thread.
    void keepResults(std::function<void(const PlotResult&)> keep);
    // The trial's copied columns, once its header is read.
    [[nodiscard]] const std::vector<std::string>& copiedNames() const { return m_copiedNames; }
    // The trial's separator and the results' decimal mark, once finished.
    [[nodiscard]] char separator() const { return m_separator; }
    [[nodiscard]] DecimalMark decimalMark() const { return m_mark; }

    [[nodiscard]] std::size_t plots() const;
    [[nodiscard]] std::size_t refused() const;

private:
    void header(const TrialHeader& header) override;
    void row(const TrialRow& row) override;
    void siteRow(const TrialRow& row);
    [[nodiscard]] std::size_t siteNamed(std::string_view name, std::uint32_t line);
    void addSite(std::string name);
    void result(std::size_t site, const PlotResult& result);
    [[nodiscard]] std::optional<DecimalMark> levelsMark() const;
    [[nodiscard]] std::optional<TrialError> failure(std::optional<TrialError> error) const;
    [[nodiscard]] std::optional<TrialError> finishResults();
    [[nodiscard]] std::optional<TrialError> outOfMemory();
    bool giveResultsInTwo(std::size_t site, std::size_t plots, std::size_t blockPlots);
    struct Block;
    void makeBlock(Block& block, std::size_t site, std::size_t first, std::size_t last,
                   TrialBatch::Scratch& scratch) const;
    void writeBlock(const Block& block, std::size_t site, std::size_t& refused);

    Output m_output;
    Options m_options;
    BatchSettings m_settings;
    // By site, as m_sites; a site's batch goes once its results are given.
    std::vector<std::unique_ptr<TrialBatch>> m_batches;
    struct Counts {
        std::size_t plots = 0;
        std::size_t refused = 0;
    };
    std::vector<Counts> m_given;  // of the sites whose batch has gone
    TrialBatch* m_only = nullptr; // the batch of a trial that is one site
    TrialReader m_reader;
    std::unique_ptr<ResultsWriter> m_writer;
    std::function<void(const PlotResult&)> m_keep;
    std::vector<std::string> m_copiedNames;
    char m_separator = ',';
    DecimalMark m_mark = DecimalMark::Point;
    std::optional<std::string> m_groupBy;
    std::optional<std::size_t> m_groupColumn; // once the header has it
    std::optional<TrialError> m_groupError;
    std::vector<SiteSummary> m_sites;
    bool m_siteWritten = false; // a site column in the results
    std::optional<std::string> m_siteBy;
    std::optional<std::size_t> m_siteColumn; // once the header has it
    std::optional<TrialError> m_siteError;
    std::optional<TrialHeader> m_header; // for the batches of sites met later
    std::size_t m_lastSite = 0;          // of the last row
    std::map<std::string, std::size_t, std::less<>> m_siteIndex;
    std::optional<DecimalMark> m_firstMark; // of the first level any site read
    std::optional<ResultsColumns> m_joined;
    std::optional<DecimalMark> m_joinedMark;
    std::uint32_t m_line = 1; // of the last row read
    std::optional<TrialError> m_outOfMemory;
};

// The whole file at once, the whole results back; for tests.
struct TrialRunOutcome {
    std::optional<TrialError> error;
    std::string results;
    std::size_t plots = 0;
    std::size_t refused = 0;
};
[[nodiscard]] TrialRunOutcome RunTrial(std::string_view text, BatchSettings settings,
                                       TrialRun::Options options = {});
[[nodiscard]] TrialRunOutcome RunTrialWorkbook(const WorkbookSource& source, std::string_view sheet,
                                               BatchSettings settings,
                                               TrialRun::Options options = {});

} // namespace quarven
