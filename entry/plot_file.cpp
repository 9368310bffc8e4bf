#include "plot_file.h"

#include "core/assessment_table.h"
#include "core/rejection_messages.h"
#include "core/trial_period.h"
#include "core/trial_results.h"
#include "core/trial_values.h"
#include "core/value_conventions.h"
#include "entry/tuberization_period.h"

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

class PlotCollector final : public TrialVisitor {
public:
    explicit PlotCollector(int year) : m_year(year) {}

    void header(const TrialHeader& header) override { m_commaIsPoint = header.separator != ','; }

    void row(const TrialRow& row) override
    {
        if (m_error)
            return;
        const std::string name(row.plot);
        auto [found, added] = m_index.try_emplace(name, m_plots.size());
        if (added) {
            if (m_plots.size() == kMostPlots)
                return fail(row.line, "A file of more than " + std::to_string(kMostPlots) +
                                          " plots is for quarven --batch");
            m_plots.push_back({name, {}, {}, std::nullopt, {}});
            if (!readPeriod(row, m_plots.back()))
                return;
        }
        WindowPlot& plot = m_plots[found->second];
        for (const TrialAssessment& assessment : row.assessments) {
            if (plot.dates.size() == kMostRows)
                return fail(row.line, "A number of assessments should be from 3 to 32767");
            std::string date(kBlankCell);
            if (!IsBlank(assessment.date)) {
                const std::optional<std::string> stored = dayMonth(assessment.date);
                if (!stored)
                    return fail(row.line, AssessmentDateRejection(assessment.date));
                date = *stored;
            }
            std::string level(kBlankCell);
            if (!IsBlank(assessment.level)) {
                const std::optional<double> value =
                    ReadWholeNumber(assessment.level, m_commaIsPoint);
                if (!value || !(*value >= 0 && *value <= 100))
                    return fail(row.line, LevelRejection(assessment.level));
                level = numberText(*value);
            }
            plot.dates.push_back(std::move(date));
            plot.levels.push_back(std::move(level));
        }
    }

    OpenedTrial take()
    {
        OpenedTrial opened;
        opened.error = std::move(m_error);
        if (!opened.error)
            opened.plots = std::move(m_plots);
        return opened;
    }

private:
    void fail(std::uint32_t line, std::string message)
    {
        m_error = TrialError{line, std::move(message)};
    }

    // The day and month of a date of the file, as a date cell stores them; a
    // year of its own is dropped as the date prompts drop it.
    [[nodiscard]] std::optional<std::string> dayMonth(std::string_view text) const
    {
        const std::optional<TrialDate> date = ReadTrialDate(text, m_year);
        if (!date)
            return std::nullopt;
        return NormalisedDayMonth(DayMonthText(DateOfDayNumber(date->day)), m_year);
    }

    // The period as the batch takes it, and the option that shows it.
    bool readPeriod(const TrialRow& row, WindowPlot& plot)
    {
        TrialPeriod period = ReadTrialPeriod(row, m_year, m_commaIsPoint);
        if (period.refusal) {
            fail(row.line, std::move(*period.refusal));
            return false;
        }
        if (period.from == TrialPeriod::From::Default)
            return true;
        plot.period = PlainText(period.days);
        if (period.from == TrialPeriod::From::Desiccation) {
            plot.option = kPeriodOptions.size() - 1;
            return true;
        }
        for (std::size_t i = 0; i < kPeriodOptions.size(); ++i) {
            if (kPeriodOptions[i].days == period.days)
                plot.option = i;
        }
        return true;
    }

    int m_year;
    bool m_commaIsPoint = false;
    std::vector<WindowPlot> m_plots;
    std::unordered_map<std::string, std::size_t> m_index;
    std::optional<TrialError> m_error;
};

} // namespace

OpenedTrial ReadPlots(std::string_view text, int currentYear)
{
    PlotCollector collector(currentYear);
    if (std::optional<TrialError> error = ReadTrial(text, collector)) {
        OpenedTrial opened;
        opened.error = std::move(error);
        return opened;
    }
    return collector.take();
}

std::string PlotFileText(const std::string& name, const std::vector<std::string>& dates,
                         const std::vector<std::string>& levels, std::optional<std::size_t> option,
                         const std::string& period)
{
    OnePlot plot;
    plot.plot = name;
    const std::size_t rows = std::min(dates.size(), levels.size());
    for (std::size_t row = 0; row < rows; ++row) {
        const bool blankDate = dates[row] == kBlankCell;
        const bool blankLevel = levels[row] == kBlankCell;
        if (blankDate && blankLevel)
            continue;
        plot.dates.push_back(blankDate ? std::string() : dates[row]);
        plot.levels.push_back(blankLevel ? std::string() : numberText(ReadLevel(levels[row])));
    }
    if (option && *option < kPeriodOptions.size() && kPeriodOptions[*option].days > 0)
        plot.group = kPeriodOptions[*option].caption;
    else
        plot.period = period;
    return WriteOnePlot(plot, ',');
}

} // namespace quarven
