// Writing trial text: the batch's results, one row per plot, and a trial file
// of a single plot, for the window to save what it holds. Fields are quoted
// as RFC 4180 wants only when they need it, so that the reader gives back
// exactly the text that was written.
#pragma once

#include "trial_batch.h"
#include "trial_file.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// One field; quoted when it holds the separator, a quote or a line break, or
// begins or ends with a blank or tab, which a reader would drop.
void AppendField(std::string& text, std::string_view field, char separator);
[[nodiscard]] bool NeedsQuotes(std::string_view field, char separator);

// Results, in the trial's separator, with a line feed after each row:
//   plot, the copied columns, assessments, first_date, last_date, period,
//   audpc, yield_losses, relative_audpc, audps, message
// A refused plot's message has its carriage return turned into a blank, so
// that every plot stays on one line, and the file lines it concerns follow it
// in brackets. Numbers take the decimal mark given by setDecimalMark; rows
// written before it is given wait in memory.
class ResultsWriter {
public:
    using Output = std::function<void(std::string_view)>;

    ResultsWriter(const TrialHeader& header, Output output);
    void write(const PlotResult& result);
    void setDecimalMark(DecimalMark mark);
    [[nodiscard]] bool decimalMarkSet() const { return m_markSet; }
    // Writes out whatever waits; the decimal mark must have been set.
    void finish();

private:
    bool writeComputed(const PlotResult& result);
    void writeAny(const PlotResult& result);
    void appendNumber(std::string_view number);
    void flushIfFull();

    Output m_output;
    char m_separator;
    bool m_markSet = false;
    char m_mark = '.';
    std::string m_buffer;
    std::vector<std::size_t> m_points; // points in m_buffer to mend once the mark is set
};

// A trial file in the long layout holding one plot, with a period or a group
// column when one is given (the period wins when both are).
struct OnePlot {
    std::string plot;
    std::vector<std::string> dates;
    std::vector<std::string> levels;
    std::string period;
    std::string group;
};
[[nodiscard]] std::string WriteOnePlot(const OnePlot& plot, char separator);

} // namespace quarven
