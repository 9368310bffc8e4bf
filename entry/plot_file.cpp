#include "plot_file.h"

#include "core/assessment_table.h"
#include "core/value_conventions.h"
#include "entry/table_transfer.h"
#include "entry/tuberization_period.h"
#include "trial/trial_batch.h"
#include "trial/trial_period.h"
#include "trial/trial_results.h"
#include "trial/trial_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <unordered_map>

namespace quarven {
namespace {

constexpr std::size_t kMostRows = 32767;

// The shortest text that reads back as the same double.
std::string numberText(double value)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string asWritten(std::string_view text)
{
    return std::string(TrimmedBlanks(text));
}

// One plot as the window takes it, beside the batch that computes them all:
// both see the same rows, so the batch's n-th result is the n-th plot here.
// Or, onlyWanted, the batch sees that plot's rows alone and gives its result
// first, and a wide file is done with at the end of the plot's row.
class PlotCollector final : public TrialVisitor {
public:
    PlotCollector(std::size_t wanted, int year, int defaultPeriod, bool onlyWanted = false,
                  const TrialReading& reading = {})
        : m_wanted(wanted), m_year(year), m_order(reading.dates), m_onlyWanted(onlyWanted),
          m_batch(BatchSettings{year, defaultPeriod, reading},
                  [this](const PlotResult& result) { summarise(result); })
    {
    }

    void header(const TrialHeader& header) override
    {
        m_commaIsPoint = header.separator != ',';
        m_wide = header.layout == TrialLayout::Wide;
        m_copiedNames = header.copiedNames;
        m_batch.header(header);
    }

    void row(const TrialRow& row) override
    {
        if (m_error)
            return;
        const bool wanted = add(row);
        if (!m_error && (wanted || !m_onlyWanted))
            m_batch.row(row);
    }

    [[nodiscard]] bool complete() const { return m_onlyWanted && m_wide && m_results > 0; }

    OpenedTrial take()
    {
        OpenedTrial opened;
        if (!m_error) {
            m_batch.finish();
            m_error = m_batch.error();
        }
        opened.error = std::move(m_error);
        if (!opened.error) {
            opened.copiedNames = std::move(m_copiedNames);
            opened.plotCount = m_plotCount;
            opened.plot = std::move(m_plot);
        }
        return opened;
    }

private:
    // True for a row of the plot asked for.
    bool add(const TrialRow& row)
    {
        // A wide row is a plot of its own, as the batch counts it. Rows of one
        // plot mostly follow each other: the last plot's name is looked up once.
        std::size_t at = m_plotCount;
        if (!m_wide && m_lastAt && row.plot == m_lastPlot) {
            at = *m_lastAt;
        } else if (!m_wide) {
            at = m_index.try_emplace(std::string(row.plot), m_plotCount).first->second;
            m_lastPlot = row.plot;
            m_lastAt = at;
        }
        if (at == m_plotCount) {
            ++m_plotCount;
            if (at == m_wanted) {
                m_plot.emplace();
                m_plot->summary.name = std::string(row.plot);
                readPeriod(row, *m_plot);
            }
        }
        if (at != m_wanted)
            return false;
        for (const TrialAssessment& assessment : row.assessments) {
            if (m_plot->dates.size() == kMostRows) {
                fail(row.line, "A number of assessments should be from 3 to 32767");
                return true;
            }
            m_plot->dates.push_back(dateCell(assessment.date, *m_plot));
            m_plot->levels.push_back(levelCell(assessment.level));
        }
        return true;
    }

    void summarise(const PlotResult& result)
    {
        const std::size_t number = m_results++;
        if (number != (m_onlyWanted ? 0 : m_wanted) || !m_plot)
            return;
        PlotSummary& summary = m_plot->summary;
        summary.copied.assign(result.copied.begin(), result.copied.end());
        summary.audpc = result.measures[kAudpc];
        summary.losses = result.measures[kYieldLosses];
        summary.refusal = result.message;
        if (!result.lines.empty())
            summary.refusal += " (" + std::string(result.lines) + ")";
    }

    void fail(std::uint32_t line, std::string message)
    {
        m_error = TrialError{line, std::move(message)};
    }

    // A date as a date cell stores it, its own year dropped as the date
    // prompts drop it and kept as the plot's; one the window cannot store
    // stays as written, for the user to mend.
    [[nodiscard]] std::string dateCell(std::string_view text, WindowPlot& plot) const
    {
        if (IsBlank(text))
            return std::string(kBlankCell);
        const std::optional<TrialDate> date = ReadTrialDate(text, m_year, m_order);
        if (!date)
            return asWritten(text);
        const Date calendar = DateOfDayNumber(date->day);
        if (date->hasYear && !plot.year)
            plot.year = calendar.year;
        return NormalisedDayMonth(DayMonthText(calendar), m_year).value_or(asWritten(text));
    }

    [[nodiscard]] std::string levelCell(std::string_view text) const
    {
        if (IsBlank(text))
            return std::string(kBlankCell);
        const std::optional<double> value = ReadWholeNumber(text, m_commaIsPoint);
        return value ? numberText(*value) : asWritten(text);
    }

    // The period as the batch takes it, and the option that shows it; a
    // period the batch refuses leaves the window's.
    void readPeriod(const TrialRow& row, WindowPlot& plot) const
    {
        const TrialPeriod period = ReadTrialPeriod(row, m_year, m_commaIsPoint, m_order);
        if (period.refusal || period.from == TrialPeriod::From::Default)
            return;
        plot.period = PlainText(period.days);
        if (period.from == TrialPeriod::From::Desiccation) {
            plot.option = kPeriodOptions.size() - 1;
            return;
        }
        for (std::size_t i = 0; i < kPeriodOptions.size(); ++i) {
            if (kPeriodOptions[i].days == period.days)
                plot.option = i;
        }
    }

    std::size_t m_wanted;
    int m_year;
    DateOrder m_order;
    bool m_onlyWanted;
    bool m_commaIsPoint = false;
    bool m_wide = false;
    TrialBatch m_batch;
    std::size_t m_results = 0;
    std::vector<std::string> m_copiedNames;
    std::size_t m_plotCount = 0;
    std::optional<WindowPlot> m_plot;
    std::unordered_map<std::string, std::size_t> m_index;
    std::string m_lastPlot;
    std::optional<std::size_t> m_lastAt;
    std::optional<TrialError> m_error;
};

} // namespace

OpenedTrial ReadPlot(std::string_view text, std::size_t index, int currentYear, int defaultPeriod)
{
    PlotCollector collector(index, currentYear, defaultPeriod);
    if (std::optional<TrialError> error = ReadTrial(text, collector)) {
        OpenedTrial opened;
        opened.error = std::move(error);
        return opened;
    }
    return collector.take();
}

class PlotReader::Impl {
public:
    Impl(std::size_t index, int currentYear, int defaultPeriod, const TrialReading& reading)
        : collector(index, currentYear, defaultPeriod, true, reading), reader(collector, reading)
    {
    }

    PlotCollector collector;
    TrialReader reader;
    std::optional<TrialError> error;
};

PlotReader::PlotReader(std::size_t index, int currentYear, int defaultPeriod,
                       const TrialReading& reading)
    : m_impl(std::make_unique<Impl>(index, currentYear, defaultPeriod, reading))
{
}

PlotReader::~PlotReader() = default;

bool PlotReader::read(std::string_view piece)
{
    if (!m_impl->error && !m_impl->collector.complete())
        m_impl->error = m_impl->reader.read(piece);
    return !m_impl->error && !m_impl->collector.complete();
}

void PlotReader::readWorkbook(const WorkbookSource& source, std::string_view sheet)
{
    if (!m_impl->error)
        m_impl->error = m_impl->reader.readWorkbook(source, sheet);
}

OpenedTrial PlotReader::finish()
{
    if (!m_impl->error && !m_impl->collector.complete())
        m_impl->error = m_impl->reader.finish();
    if (m_impl->error) {
        OpenedTrial opened;
        opened.error = std::move(m_impl->error);
        return opened;
    }
    return m_impl->collector.take();
}

void PlotCounter::header(const TrialHeader& header)
{
    m_wide = header.layout == TrialLayout::Wide;
}

// A wide row is a plot of its own, as the batch counts it.
void PlotCounter::row(const TrialRow& row)
{
    if (!m_first)
        m_first = std::string(row.plot);
    else if (m_wide || row.plot != *m_first)
        m_several = true;
}

PlotOrigin OriginOf(const OpenedTrial& trial, const WindowPlot& plot)
{
    return {plot.summary.name, plot.year, trial.copiedNames, plot.summary.copied};
}

std::string PlotFileText(const PlotOrigin& origin, const std::vector<std::string>& dates,
                         const std::vector<std::string>& levels, std::optional<std::size_t> option,
                         const std::string& period)
{
    OnePlot plot;
    plot.plot = origin.name;
    plot.copiedNames = origin.copiedNames;
    plot.copied = origin.copied;
    plot.copied.resize(plot.copiedNames.size());
    const std::size_t rows = std::min(dates.size(), levels.size());
    for (std::size_t row = 0; row < rows; ++row) {
        const bool blankDate = dates[row] == kBlankCell;
        const bool blankLevel = levels[row] == kBlankCell;
        if (blankDate && blankLevel)
            continue;
        plot.dates.push_back(blankDate ? std::string() : DateCellText(dates[row], origin.year));
        plot.levels.push_back(blankLevel ? std::string() : numberText(ReadLevel(levels[row])));
    }
    if (option && *option < kPeriodOptions.size() && kPeriodOptions[*option].days > 0)
        plot.group = kPeriodOptions[*option].caption;
    else
        plot.period = period;
    return WriteOnePlot(plot, ',');
}

std::string PlotFileName(const std::string& name)
{
    std::string file;
    for (const char c : name)
        file += c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 ? '_' : c;
    if (file.empty() || file == "." || file == "..")
        file = "plot";
    return file + ".csv";
}

} // namespace quarven
