#include "trial_run.h"

#include "worker.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>

namespace quarven {

TrialRun::TrialRun(BatchSettings settings, Output output)
    : TrialRun(settings, std::move(output), Options{})
{
}

TrialRun::TrialRun(BatchSettings settings, Output output, Options options)
    : m_output(std::move(output)), m_options(options), m_settings(settings),
      m_reader(*this, settings.reading)
{
    addSite({});
    m_only = m_batches.front().get();
}

TrialRun::~TrialRun() = default;

void TrialRun::summariseBy(std::string column)
{
    m_groupBy = std::move(column);
}

void TrialRun::keepResults(std::function<void(const PlotResult&)> keep)
{
    m_keep = std::move(keep);
}

const TrialSummary& TrialRun::summary() const
{
    static const TrialSummary none;
    return m_sites.empty() ? none : m_sites.front().summary;
}

void TrialRun::atSite(std::string name)
{
    m_sites.front().name = std::move(name);
    m_siteWritten = true;
}

void TrialRun::sitesFrom(std::string column)
{
    m_siteBy = std::move(column);
    m_siteWritten = true;
    m_only = nullptr;
    m_batches.clear();
    m_given.clear();
    m_sites.clear();
}

void TrialRun::joinResults(ResultsColumns columns, std::optional<DecimalMark> mark)
{
    m_joined = std::move(columns);
    m_joinedMark = mark;
}

void TrialRun::addSite(std::string name)
{
    const std::size_t site = m_sites.size();
    m_batches.push_back(std::make_unique<TrialBatch>(
        m_settings, [this, site](const PlotResult& plot) { result(site, plot); }));
    m_given.emplace_back();
    m_sites.push_back({std::move(name), TrialSummary()});
    if (m_header)
        m_batches.back()->header(*m_header);
}

std::size_t TrialRun::plots() const
{
    std::size_t plots = 0;
    for (std::size_t site = 0; site < m_batches.size(); ++site)
        plots += m_batches[site] ? m_batches[site]->plots() : m_given[site].plots;
    return plots;
}

std::size_t TrialRun::refused() const
{
    std::size_t refused = 0;
    for (std::size_t site = 0; site < m_batches.size(); ++site)
        refused += m_batches[site] ? m_batches[site]->refused() : m_given[site].refused;
    return refused;
}

void TrialRun::header(const TrialHeader& header)
{
    m_copiedNames = header.copiedNames;
    const auto columnOf = [&header](const std::string& name, std::string_view use,
                                    std::optional<TrialError>& error) {
        const OrError<std::size_t> column = GroupColumn(header.copiedNames, name, use);
        if (const auto* wrong = std::get_if<SummaryError>(&column)) {
            error = TrialError{header.line, wrong->message};
            return std::optional<std::size_t>();
        }
        return std::optional<std::size_t>(std::get<std::size_t>(column));
    };
    if (m_groupBy)
        m_groupColumn = columnOf(*m_groupBy, "to group by", m_groupError);
    if (m_siteBy) {
        m_siteColumn = columnOf(*m_siteBy, "to take the sites from", m_siteError);
        m_header = header;
    }
    ResultsColumns columns =
        m_joined ? *m_joined
                 : ResultsColumns{header.separator, false, header.copiedNames, {}, true};
    columns.site = m_siteWritten;
    m_separator = columns.separator;
    m_writer = std::make_unique<ResultsWriter>(std::move(columns), m_output);
    // A comma cannot be the decimal mark of a comma-separated file.
    if (m_separator == ',')
        m_writer->setDecimalMark(DecimalMark::Point);
    if (m_joinedMark) {
        m_mark = *m_joinedMark;
        m_writer->setDecimalMark(m_mark);
    }
    for (const std::unique_ptr<TrialBatch>& batch : m_batches)
        batch->header(header);
}

void TrialRun::row(const TrialRow& row)
{
    m_line = row.line;
    if (m_only) {
        m_only->row(row);
        return;
    }
    siteRow(row);
}

void TrialRun::siteRow(const TrialRow& row)
{
    if (!m_siteColumn || m_siteError)
        return;
    const std::string_view name = row.copied[*m_siteColumn];
    if (m_sites.empty() || m_sites[m_lastSite].name != name)
        m_lastSite = siteNamed(name, row.line);
    if (m_siteError)
        return;
    TrialBatch& batch = *m_batches[m_lastSite];
    batch.row(row);
    if (!m_firstMark)
        m_firstMark = batch.levelsMark();
}

std::size_t TrialRun::siteNamed(std::string_view name, std::uint32_t line)
{
    const auto found = m_siteIndex.find(name);
    if (found != m_siteIndex.end())
        return found->second;
    if (m_sites.size() == kMostSites) {
        m_siteError = TrialError{line, "the column " + QuotedName(*m_siteBy) + " holds more than " +
                                           std::to_string(kMostSites) +
                                           " sites: --site names the column of a trial's sites"};
        return 0;
    }
    addSite(std::string(name));
    m_siteIndex.emplace(m_sites.back().name, m_sites.size() - 1);
    return m_sites.size() - 1;
}

std::optional<DecimalMark> TrialRun::levelsMark() const
{
    return m_only ? m_only->levelsMark() : m_firstMark;
}

void TrialRun::result(std::size_t site, const PlotResult& plot)
{
    if (!m_writer->decimalMarkSet())
        if (const std::optional<DecimalMark> mark = levelsMark())
            m_writer->setDecimalMark(*mark);
    SiteSummary& at = m_sites[site];
    m_writer->write(plot, at.name);
    if (m_groupColumn)
        at.summary.add(SummaryPlotOf(plot, *m_groupColumn));
    if (m_keep)
        m_keep(plot);
}

std::optional<TrialError> TrialRun::failure(std::optional<TrialError> error) const
{
    if (error)
        return error;
    if (m_groupError)
        return m_groupError;
    if (m_siteError)
        return m_siteError;
    for (const std::unique_ptr<TrialBatch>& batch : m_batches)
        if (batch && batch->error())
            return batch->error();
    return std::nullopt;
}

std::optional<TrialError> TrialRun::outOfMemory()
{
    m_outOfMemory = TrialError{m_line, kOutOfMemory};
    return m_outOfMemory;
}

std::optional<TrialError> TrialRun::read(std::string_view chunk)
{
    if (m_outOfMemory)
        return m_outOfMemory;
    try {
        return failure(m_reader.read(chunk));
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

std::optional<TrialError> TrialRun::readWorkbook(const WorkbookSource& source,
                                                 std::string_view sheet)
{
    if (m_outOfMemory)
        return m_outOfMemory;
    try {
        return failure(m_reader.readWorkbook(source, sheet));
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

std::optional<TrialError> TrialRun::finish()
{
    if (m_outOfMemory)
        return m_outOfMemory;
    try {
        return finishResults();
    } catch (const std::bad_alloc&) {
        return outOfMemory();
    }
}

std::optional<TrialError> TrialRun::finishResults()
{
    if (std::optional<TrialError> error = failure(m_reader.finish()))
        return error;
    // The levels decide the mark; with no fraction among them, a semicolon
    // file gets the comma that its spreadsheet expects. A comma file's
    // levels have no decimal comma.
    if (!m_joinedMark)
        m_mark =
            levelsMark().value_or(m_separator == ';' ? DecimalMark::Comma : DecimalMark::Point);
    m_writer->setDecimalMark(m_mark);
    const std::size_t blockPlots = std::max<std::size_t>(m_options.blockPlots, 1);
    for (std::size_t site = 0; site < m_batches.size(); ++site) {
        TrialBatch& batch = *m_batches[site];
        const std::size_t plots = batch.resultsToGive();
        if (!m_options.threads || m_keep || plots / 2 < blockPlots ||
            !giveResultsInTwo(site, plots, blockPlots))
            batch.finish();
        if (std::optional<TrialError> error = batch.error())
            return error;
        // Its memory goes before the next site's results are made.
        if (!m_only) {
            m_given[site] = {batch.plots(), batch.refused()};
            m_batches[site].reset();
        }
    }
    m_writer->finish();
    return std::nullopt;
}

// A block of results made on one thread. Each on cache lines of its own: a
// text's length changes with every field appended, and a line shared by the
// two threads would travel from core to core each time, which made each half
// take as long as the whole.
struct alignas(64) TrialRun::Block {
    std::string text;
    std::size_t refused = 0;
    TrialSummary summary;
};

void TrialRun::makeBlock(Block& block, std::size_t site, std::size_t first, std::size_t last,
                         TrialBatch::Scratch& scratch) const
{
    // Room for the usual lines at once: grown by doubling, the texts touched
    // half again as many fresh pages, each a page fault.
    constexpr std::size_t kUsualLine = 64;
    block.text.clear();
    block.text.reserve((last - first) * kUsualLine);
    block.summary = TrialSummary();
    const std::string_view name = m_sites[site].name;
    block.refused =
        m_batches[site]->giveResults(first, last, scratch, [&](const PlotResult& result) {
            m_writer->format(block.text, result, name);
            if (m_groupColumn)
                block.summary.add(SummaryPlotOf(result, *m_groupColumn));
        });
}

void TrialRun::writeBlock(const Block& block, std::size_t site, std::size_t& refused)
{
    m_writer->writeFormatted(block.text);
    refused += block.refused;
    m_sites[site].summary.merge(block.summary);
}

// Blocks of results alternate between this thread and a helper; this one
// writes them out in order. False when no thread could be started.
bool TrialRun::giveResultsInTwo(std::size_t site, std::size_t plots, std::size_t blockPlots)
{
    const std::size_t blocks = (plots + blockPlots - 1) / blockPlots;
    const auto make = [&](std::size_t block, TrialBatch::Scratch& scratch, Block& made) {
        const std::size_t first = block * blockPlots;
        makeBlock(made, site, first, std::min(plots, first + blockPlots), scratch);
    };
    // The helper makes the odd blocks, each in the slot not being written out.
    std::array<Block, 2> helperBlocks;
    TrialBatch::Scratch helperScratch;
    std::size_t helperBlock = 1;
    bool failed = false; // memory ran out on the helper
    Worker helper([&] {
        try {
            make(helperBlock, helperScratch, helperBlocks[helperBlock / 2 % 2]);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    });
    if (!helper.ask())
        return false;

    Block own;
    TrialBatch::Scratch scratch;
    std::size_t refused = 0;
    for (std::size_t block = 0; block < blocks; block += 2) {
        make(block, scratch, own);
        writeBlock(own, site, refused);
        if (block + 1 == blocks)
            break;
        helper.wait();
        if (failed)
            throw std::bad_alloc();
        if (block + 3 < blocks) {
            helperBlock = block + 3;
            (void)helper.ask();
        }
        writeBlock(helperBlocks[(block + 1) / 2 % 2], site, refused);
    }
    m_batches[site]->resultsGiven(plots, refused);
    return true;
}

TrialRunOutcome RunTrial(std::string_view text, BatchSettings settings, TrialRun::Options options)
{
    TrialRunOutcome outcome;
    TrialRun run(
        settings, [&outcome](std::string_view piece) { outcome.results.append(piece); }, options);
    outcome.error = run.read(text);
    if (!outcome.error)
        outcome.error = run.finish();
    outcome.plots = run.plots();
    outcome.refused = run.refused();
    return outcome;
}

TrialRunOutcome RunTrialWorkbook(const WorkbookSource& source, std::string_view sheet,
                                 BatchSettings settings, TrialRun::Options options)
{
    TrialRunOutcome outcome;
    TrialRun run(
        settings, [&outcome](std::string_view piece) { outcome.results.append(piece); }, options);
    outcome.error = run.readWorkbook(source, sheet);
    if (!outcome.error)
        outcome.error = run.finish();
    outcome.plots = run.plots();
    outcome.refused = run.refused();
    return outcome;
}

} // namespace quarven
