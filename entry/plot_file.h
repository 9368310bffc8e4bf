// One plot of a trial file in the window, and the window's table as a trial
// file of one plot. Open reads a trial with the batch's reader and cell rules
// and keeps what the window needs of each plot: its dates as the date cells
// store them, its levels as Calculate reads them, and its period; Save
// writes the long layout that Open and the batch read back.
#pragma once

#include "core/trial_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

struct WindowPlot {
    std::string name;
    std::vector<std::string> dates;  // "dd/mm", or a blank cell
    std::vector<std::string> levels; // a number with "." as its point, or a blank cell
    // The period option to select (an index of kPeriodOptions), and the days
    // for the period box; both empty when the file gives no period.
    std::optional<std::size_t> option;
    std::string period;
};

struct OpenedTrial {
    std::optional<TrialError> error; // the first thing the window cannot take
    std::vector<WindowPlot> plots;   // in the order they first appear
};

// Refuses what the window could not hold: dates that are no date of the
// current year, levels that are not numbers from 0 to 100, periods outside
// 10..130, a plot of more than 32767 assessments, more than kMostPlots plots.
inline constexpr std::size_t kMostPlots = 10000;
[[nodiscard]] OpenedTrial ReadPlots(std::string_view text, int currentYear);

// The table as a trial of one plot: rows whose date and level are both blank
// are left out, and a level goes out as the number Calculate reads from it,
// so that the file gives the window's results. A preset option is written as
// its group; any other period as its days.
[[nodiscard]] std::string PlotFileText(const std::string& name,
                                       const std::vector<std::string>& dates,
                                       const std::vector<std::string>& levels,
                                       std::optional<std::size_t> option,
                                       const std::string& period);

} // namespace quarven
