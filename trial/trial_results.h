// Writing trial text: the batch's results, one row per plot, and a trial file
// of a single plot, for the window to save what it holds. Fields are quoted
// as RFC 4180 wants only when they need it, so that the reader gives back
// exactly the text that was written.
#pragma once

#include "trial_batch.h"
#include "trial_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// One field; quoted when it holds the separator, a quote or a line break, or
// begins or ends with a blank or tab, which a reader would drop.
void AppendField(std::string& text, std::string_view field, char separator);
[[nodiscard]] bool NeedsQuotes(std::string_view field, char separator);

// A plot's message column, unquoted: a computed plot's note, or why it was
// refused on one line, the file lines it concerns in brackets.
void AppendMessage(std::string& text, const PlotResult& result);

// The columns of several trials' results written as one text: a site column
// first, and the copied columns of every trial, in the order they first
// appear, each empty where a trial lacks it.
inline constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);
struct ResultsColumns {
    char separator = ',';
    bool site = false;
    std::vector<std::string> names; // the copied columns written
    // Of each name, the place of its column among the trial's own copied
    // columns, or kNoColumn; empty when they are the trial's own, in order.
    std::vector<std::size_t> places;
    bool header = true; // the header line, written before the first trial's rows only
};

// The copied columns of several trials joined by name: a name met again, in
// any case, is the column met first, unless the same trial holds both.
struct JoinedColumns {
    std::vector<std::string> names;
    std::vector<std::vector<std::size_t>> places; // per trial, as ResultsColumns::places
};
[[nodiscard]] JoinedColumns JoinColumns(const std::vector<std::vector<std::string>>& trials);

// Results, in the trial's separator, with a line feed after each row: the
// plot, the copied columns, then kResultColumns; or as `columns` give them,
// the plot's site first when they ask for it.
// A refused plot's message has its carriage return turned into a blank, so
// that every plot stays on one line, and the file lines it concerns follow it
// in brackets; a computed plot's message column holds its note, if any. A
// text field that a spreadsheet would run as a formula gets a leading
// apostrophe (see cell_text.h). Numbers take the decimal mark given by
// setDecimalMark; rows written before it is given wait in memory when they
// hold a number with a fraction.
class ResultsWriter {
public:
    using Output = std::function<void(std::string_view)>;

    ResultsWriter(const TrialHeader& header, Output output);
    ResultsWriter(ResultsColumns columns, Output output);
    // site: written first when the columns have a site.
    void write(const PlotResult& result, std::string_view site = {});
    void setDecimalMark(DecimalMark mark);
    [[nodiscard]] bool decimalMarkSet() const { return m_markSet; }
    // Writes out whatever waits; the decimal mark must have been set.
    void finish();

    // The row write() would give, appended to `text` rather than written;
    // the decimal mark must have been set. Several threads may call it at once.
    void format(std::string& text, const PlotResult& result, std::string_view site = {}) const;
    // Writes the text out as it is, after whatever waits.
    void writeFormatted(std::string_view text);

private:
    [[nodiscard]] bool fitsOneLine(const PlotResult& result, std::string_view site) const;
    bool writeComputed(std::string& text, const PlotResult& result, std::string_view site) const;
    // points: where to note the decimal points of numbers written before the
    // mark is known.
    void writeAny(std::string& text, const PlotResult& result, std::string_view site,
                  std::vector<std::size_t>* points) const;
    // Each copied field in the order written.
    template <typename Take> void eachCopied(const PlotResult& result, Take take) const;
    void appendNumber(std::string& text, std::string_view number,
                      std::vector<std::size_t>* points) const;
    void flushIfFull();

    Output m_output;
    char m_separator;
    bool m_site = false;
    std::vector<std::size_t> m_places;
    bool m_markSet = false;
    char m_mark = '.';
    std::string m_buffer;
    std::vector<std::size_t> m_points; // points in m_buffer to mend once the mark is set
};

// A trial file in the long layout holding one plot, with a period or a group
// column when one is given (the period wins when both are), and the columns
// copied from the trial it came from. Texts that a spreadsheet would run as a
// formula are written after an apostrophe.
struct OnePlot {
    std::string plot;
    std::vector<std::string> copiedNames;
    std::vector<std::string> copied; // one per copied name
    std::vector<std::string> dates;
    std::vector<std::string> levels;
    std::string period;
    std::string group;
};
[[nodiscard]] std::string WriteOnePlot(const OnePlot& plot, char separator);

} // namespace quarven
