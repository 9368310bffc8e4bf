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
    : m_output(std::move(output)), m_options(options),
      m_batch(settings, [this](const PlotResult& plot) { result(plot); }),
      m_reader(*this, settings.reading)
{
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

void TrialRun::header(const TrialHeader& header)
{
    m_separator = header.separator;
    m_copiedNames = header.copiedNames;
    if (m_groupBy) {
        const OrError<std::size_t> column = GroupColumn(header.copiedNames, *m_groupBy);
        if (const auto* error = std::get_if<SummaryError>(&column))
            m_groupError = TrialError{header.line, error->message};
        else
            m_groupColumn = std::get<std::size_t>(column);
    }
    m_writer = std::make_unique<ResultsWriter>(header, m_output);
    // A comma cannot be the decimal mark of a comma-separated file.
    if (m_separator == ',')
        m_writer->setDecimalMark(DecimalMark::Point);
    m_batch.header(header);
}

void TrialRun::row(const TrialRow& row)
{
    m_line = row.line;
    m_batch.row(row);
}

void TrialRun::result(const PlotResult& plot)
{
    if (!m_writer->decimalMarkSet())
        if (const std::optional<DecimalMark> mark = m_batch.levelsMark())
            m_writer->setDecimalMark(*mark);
    m_writer->write(plot);
    if (m_groupColumn)
        m_summary.add(SummaryPlotOf(plot, *m_groupColumn));
    if (m_keep)
        m_keep(plot);
}

std::optional<TrialError> TrialRun::failure(std::optional<TrialError> error) const
{
    if (error)
        return error;
    return m_groupError ? m_groupError : m_batch.error();
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
    m_mark =
        m_batch.levelsMark().value_or(m_separator == ';' ? DecimalMark::Comma : DecimalMark::Point);
    m_writer->setDecimalMark(m_mark);
    const std::size_t plots = m_batch.resultsToGive();
    const std::size_t blockPlots = std::max<std::size_t>(m_options.blockPlots, 1);
    if (!m_options.threads || m_keep || plots / 2 < blockPlots ||
        !giveResultsInTwo(plots, blockPlots))
        m_batch.finish();
    if (std::optional<TrialError> error = m_batch.error())
        return error;
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

void TrialRun::makeBlock(Block& block, std::size_t first, std::size_t last,
                         TrialBatch::Scratch& scratch) const
{
    // Room for the usual lines at once: grown by doubling, the texts touched
    // half again as many fresh pages, each a page fault.
    constexpr std::size_t kUsualLine = 64;
    block.text.clear();
    block.text.reserve((last - first) * kUsualLine);
    block.summary = TrialSummary();
    block.refused = m_batch.giveResults(first, last, scratch, [&](const PlotResult& result) {
        m_writer->format(block.text, result);
        if (m_groupColumn)
            block.summary.add(SummaryPlotOf(result, *m_groupColumn));
    });
}

void TrialRun::writeBlock(const Block& block, std::size_t& refused)
{
    m_writer->writeFormatted(block.text);
    refused += block.refused;
    m_summary.merge(block.summary);
}

// Blocks of results alternate between this thread and a helper; this one
// writes them out in order. False when no thread could be started.
bool TrialRun::giveResultsInTwo(std::size_t plots, std::size_t blockPlots)
{
    const std::size_t blocks = (plots + blockPlots - 1) / blockPlots;
    const auto make = [&](std::size_t block, TrialBatch::Scratch& scratch, Block& made) {
        const std::size_t first = block * blockPlots;
        makeBlock(made, first, std::min(plots, first + blockPlots), scratch);
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
        writeBlock(own, refused);
        if (block + 1 == blocks)
            break;
        helper.wait();
        if (failed)
            throw std::bad_alloc();
        if (block + 3 < blocks) {
            helperBlock = block + 3;
            (void)helper.ask();
        }
        writeBlock(helperBlocks[(block + 1) / 2 % 2], refused);
    }
    m_batch.resultsGiven(plots, refused);
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
