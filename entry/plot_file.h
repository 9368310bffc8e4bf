// One plot of a trial file in the window, and the window's table as a trial
// file of one plot. Open reads a trial with the batch's reader and cell rules:
// the batch's own engine gives the plot's results or refusal, and the window
// keeps what it needs of the plot: its dates as the date cells store them,
// its levels as Calculate reads them, and its period.
// Save writes the long layout that Open and the batch read back.
#pragma once

#include "trial/trial_file.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// What a plot brings from its trial besides its table: its name, the year its
// dates were written with, and the columns the batch copies (clone, block).
struct PlotOrigin {
    std::string name;
    std::optional<int> year;
    std::vector<std::string> copiedNames;
    std::vector<std::string> copied; // one per copied name
};

// What the batch made of a plot.
struct PlotSummary {
    std::string name;
    std::vector<std::string> copied; // one per OpenedTrial::copiedNames
    std::string audpc;               // as the window shows them; empty when refused
    std::string losses;
    // The batch's refusal with the file lines it concerns; empty when computed.
    std::string refusal;
};

struct WindowPlot {
    PlotSummary summary;
    std::optional<int> year; // of the first date written with a year
    // "dd/mm" or a blank cell; a date that cannot be read, as written.
    std::vector<std::string> dates;
    // A number with "." as its point or a blank cell; a level that is not a
    // number, as written.
    std::vector<std::string> levels;
    // The period option to select (an index of kPeriodOptions), and the days
    // for the period box; both empty when the file gives no usable period.
    std::optional<std::size_t> option;
    std::string period;
};

struct OpenedTrial {
    std::optional<TrialError> error; // the first thing the window cannot take
    std::vector<std::string> copiedNames;
    std::size_t plotCount = 0;      // as the batch's results count them
    std::optional<WindowPlot> plot; // the one asked for, when there is one
};

// The plot at `index` in the order of the batch's results, and how many plots
// the file holds. Refuses only what the window could not hold: that plot with
// more than 32767 assessments. A plot the batch refuses is read as far as it
// can be, with the batch's message. Plots that give no period are computed
// with defaultPeriod days.
[[nodiscard]] OpenedTrial ReadPlot(std::string_view text, std::size_t index, int currentYear,
                                   int defaultPeriod);

// ReadPlot from a file in pieces, cut anywhere, reading no further than the
// plot asks: the end of its row in a wide file, the end of the file in a long
// one, whose plots may have rows anywhere. The batch sees only that plot, and
// plotCount counts the plots read until then. The file is read as the user
// chose to read it (date order, day headings, trait).
class PlotReader {
public:
    PlotReader(std::size_t index, int currentYear, int defaultPeriod,
               const TrialReading& reading = {});
    ~PlotReader();
    PlotReader(const PlotReader&) = delete;
    PlotReader& operator=(const PlotReader&) = delete;

    // False once the rest of the file need not be read.
    bool read(std::string_view piece);
    // A workbook's sheet (the first when `sheet` is empty) in place of read().
    void readWorkbook(const WorkbookSource& source, std::string_view sheet);
    [[nodiscard]] OpenedTrial finish();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// A reader's visitor that tells a file of several plots from the rows read so
// far, so that Open sends a trial to the Trial window without reading it
// whole.
class PlotCounter final : public TrialVisitor {
public:
    void header(const TrialHeader& header) override;
    void row(const TrialRow& row) override;
    [[nodiscard]] bool several() const { return m_several; }

private:
    bool m_wide = false;
    std::optional<std::string> m_first;
    bool m_several = false;
};

// What the window keeps of an opened plot.
[[nodiscard]] PlotOrigin OriginOf(const OpenedTrial& trial, const WindowPlot& plot);

// The table as a trial of one plot: rows whose date and level are both blank
// are left out, a date goes out as yyyy-mm-dd when the plot has a year, and a
// level as the number Calculate reads from it, so that the file gives the
// window's results. A preset option is written as its group; any other period
// as its days.
[[nodiscard]] std::string PlotFileText(const PlotOrigin& origin,
                                       const std::vector<std::string>& dates,
                                       const std::vector<std::string>& levels,
                                       std::optional<std::size_t> option,
                                       const std::string& period);

// A file name for the plot: its name with what no file name may hold replaced.
[[nodiscard]] std::string PlotFileName(const std::string& name);

} // namespace quarven
