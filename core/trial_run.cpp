#include "trial_run.h"

namespace quarven {

TrialRun::TrialRun(BatchSettings settings, Output output)
    : m_output(std::move(output)),
      m_batch(settings, [this](const PlotResult& plot) { result(plot); }), m_reader(*this)
{
}

TrialRun::~TrialRun() = default;

void TrialRun::header(const TrialHeader& header)
{
    m_separator = header.separator;
    m_writer = std::make_unique<ResultsWriter>(header, m_output);
    // A comma cannot be the decimal mark of a comma-separated file.
    if (m_separator == ',')
        m_writer->setDecimalMark(DecimalMark::Point);
    m_batch.header(header);
}

void TrialRun::row(const TrialRow& row)
{
    m_batch.row(row);
}

void TrialRun::result(const PlotResult& plot)
{
    if (!m_writer->decimalMarkSet())
        if (const std::optional<DecimalMark> mark = m_batch.levelsMark())
            m_writer->setDecimalMark(*mark);
    m_writer->write(plot);
}

std::optional<TrialError> TrialRun::failure(std::optional<TrialError> error) const
{
    return error ? error : m_batch.error();
}

std::optional<TrialError> TrialRun::read(std::string_view chunk)
{
    return failure(m_reader.read(chunk));
}

std::optional<TrialError> TrialRun::finish()
{
    if (std::optional<TrialError> error = failure(m_reader.finish()))
        return error;
    // The levels decide the mark; with no fraction among them, a semicolon
    // file gets the comma that its spreadsheet expects.
    m_writer->setDecimalMark(m_batch.levelsMark().value_or(
        m_separator == ';' ? DecimalMark::Comma : DecimalMark::Point));
    m_batch.finish();
    if (std::optional<TrialError> error = m_batch.error())
        return error;
    m_writer->finish();
    return std::nullopt;
}

TrialRunOutcome RunTrial(std::string_view text, BatchSettings settings)
{
    TrialRunOutcome outcome;
    TrialRun run(settings, [&outcome](std::string_view piece) { outcome.results.append(piece); });
    outcome.error = run.read(text);
    if (!outcome.error)
        outcome.error = run.finish();
    outcome.plots = run.plots();
    outcome.refused = run.refused();
    return outcome;
}

} // namespace quarven
