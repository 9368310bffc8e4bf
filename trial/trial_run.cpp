#include "trial_run.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

namespace quarven {
namespace {

// Blocks of results in hand at a time, made alternately on each thread.
constexpr std::size_t kSlots = 4;

} // namespace

TrialRun::TrialRun(BatchSettings settings, Output output)
    : TrialRun(settings, std::move(output), Options{})
{
}

TrialRun::TrialRun(BatchSettings settings, Output output, Options options)
    : m_output(std::move(output)), m_options(options),
      m_batch(settings, [this](const PlotResult& plot) { result(plot); }), m_reader(*this)
{
}

TrialRun::~TrialRun() = default;

void TrialRun::summariseBy(std::string column)
{
    m_groupBy = std::move(column);
}

void TrialRun::header(const TrialHeader& header)
{
    m_separator = header.separator;
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
    // file gets the comma that its spreadsheet expects.
    m_mark =
        m_batch.levelsMark().value_or(m_separator == ';' ? DecimalMark::Comma : DecimalMark::Point);
    m_writer->setDecimalMark(m_mark);
    const std::size_t plots = m_batch.resultsToGive();
    const std::size_t blockPlots = std::max<std::size_t>(m_options.blockPlots, 1);
    if (!m_options.threads || plots / 2 < blockPlots || !giveResultsInTwo(plots, blockPlots))
        m_batch.finish();
    if (std::optional<TrialError> error = m_batch.error())
        return error;
    m_writer->finish();
    return std::nullopt;
}

// Blocks of results alternate between this thread and a helper; this one
// writes them out in order. False when no thread could be started.
bool TrialRun::giveResultsInTwo(std::size_t plots, std::size_t blockPlots)
{
    // Each slot on cache lines of its own: a text's length changes with every
    // field appended, and a line shared by the two threads would travel from
    // core to core each time, which made each half take as long as the whole.
    struct alignas(64) Slot {
        std::string text;
        std::size_t refused = 0;
        TrialSummary summary;
        bool ready = false;
    };
    const std::size_t blocks = (plots + blockPlots - 1) / blockPlots;
    std::array<Slot, kSlots> slots;
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t written = 0; // blocks written out
    bool failed = false;     // memory ran out on either thread
    const auto make = [&](std::size_t block, TrialBatch::Scratch& scratch, Slot& slot) {
        // Room for the usual lines at once: grown by doubling, the texts
        // touched half again as many fresh pages, each a page fault.
        constexpr std::size_t kUsualLine = 64;
        slot.text.clear();
        slot.text.reserve(blockPlots * kUsualLine);
        const std::size_t first = block * blockPlots;
        slot.refused = m_batch.giveResults(
            first, std::min(plots, first + blockPlots), scratch, [&](const PlotResult& result) {
                m_writer->format(slot.text, result);
                if (m_groupColumn)
                    slot.summary.add(SummaryPlotOf(result, *m_groupColumn));
            });
    };

    const auto fail = [&] {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            failed = true;
        }
        changed.notify_all();
    };

    std::thread helper;
    try {
        helper = std::thread([&] {
            // An exception leaving a thread would end the program.
            try {
                TrialBatch::Scratch scratch;
                for (std::size_t block = 1; block < blocks; block += 2) {
                    Slot& slot = slots[block % kSlots];
                    {
                        // The block that last used the slot has been written.
                        std::unique_lock<std::mutex> lock(mutex);
                        changed.wait(lock, [&] { return failed || written + kSlots > block; });
                        if (failed)
                            return;
                    }
                    make(block, scratch, slot);
                    {
                        const std::lock_guard<std::mutex> lock(mutex);
                        slot.ready = true;
                    }
                    changed.notify_all();
                }
            } catch (const std::bad_alloc&) {
                fail();
            }
        });
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }

    std::size_t refused = 0;
    try {
        TrialBatch::Scratch scratch;
        for (std::size_t block = 0; block < blocks; ++block) {
            Slot& slot = slots[block % kSlots];
            if (block % 2 == 0) {
                make(block, scratch, slot);
            } else {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return failed || slot.ready; });
                if (failed)
                    break;
            }
            m_writer->writeFormatted(slot.text);
            refused += slot.refused;
            m_summary.merge(slot.summary);
            slot.summary = TrialSummary();
            {
                const std::lock_guard<std::mutex> lock(mutex);
                slot.ready = false;
                written = block + 1;
            }
            changed.notify_all();
        }
    } catch (const std::bad_alloc&) {
        fail();
    }
    helper.join();
    if (failed)
        throw std::bad_alloc();
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

} // namespace quarven
