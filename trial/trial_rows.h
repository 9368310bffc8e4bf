// Records of fields to rows of a layout: the header's names matched to the
// columns the batch knows, the layout chosen from them, and each later record
// handed to a visitor as a row, and forgotten.
//
// Long layout: one row per assessment, columns plot, date and level.
// Wide layout: one row per plot, a plot column and one column per assessment
// whose header is its date; an empty cell is a day the plot was not assessed.
// Both may have the per-plot columns period, group, budding and desiccation;
// column names are matched without regard to case, and any other column is
// handed over as it is, to be copied. How dates are read and which headings
// count days after a date is the reading's (trial_reading.h).
#pragma once

#include "trial_fields.h"
#include "trial_reading.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

enum class TrialLayout { Long, Wide };

struct TrialHeader {
    char separator = ',';
    TrialLayout layout = TrialLayout::Long;
    std::uint32_t line = 1;
    bool hasPeriod = false;
    bool hasGroup = false;
    bool hasBudding = false;
    bool hasDesiccation = false;
    // The other columns' names as written, in file order.
    std::vector<std::string> copiedNames;
    // Wide layout: the assessment columns' headers, in file order.
    std::vector<std::string> dates;
};

struct TrialAssessment {
    std::string_view date;
    std::string_view level;
};

// One row. Fields a short row lacks are empty. The views last for the call.
struct TrialRow {
    std::uint32_t line = 0; // where the row starts, counted from 1
    std::string_view plot;
    std::string_view period;
    std::string_view group;
    std::string_view budding;
    std::string_view desiccation;
    Items<std::string_view> copied; // one per copied column
    // Long layout: one, or none when the row leaves both date and level
    // empty. Wide layout: one per non-empty cell, in column order.
    Items<TrialAssessment> assessments;
    // Non-empty fields past the header's last column.
    std::size_t extraFields = 0;
    // What the results say of a computed plot, from its first row; only a
    // file of one observation a row gives one (trial_observations.h).
    std::string_view note;
};

// Whether a heading is the column `name` (lower case) as the readers match
// names: in any ASCII case, blanks around it ignored.
[[nodiscard]] bool IsColumnName(std::string_view text, std::string_view name);
// Whether a header row names a plot column, as the row reader matches names.
[[nodiscard]] bool NamesPlotColumn(Items<std::string_view> header);
// The prefix of the first heading written as letters and a whole number
// ("E9", "DAP_14": "E", "DAP_"), which may count days after a date; nothing
// when none is.
[[nodiscard]] std::optional<std::string> DayHeadingPrefix(Items<std::string_view> header);
// That prefix, when the header has such headings and neither a date column
// nor a dated heading: its reader must be given the date they count from.
[[nodiscard]] std::optional<std::string> DayHeadingsOnly(Items<std::string_view> header,
                                                         DateOrder order);

class TrialVisitor {
public:
    virtual ~TrialVisitor() = default;
    virtual void header(const TrialHeader& header) = 0;
    virtual void row(const TrialRow& row) = 0;
};

class TrialRowReader final : public FieldSink {
public:
    explicit TrialRowReader(TrialVisitor& visitor, const TrialReading& reading = {});
    // The next header's first four fields are the plot, the date, the level
    // and the plot's note, whatever their names, and no other column takes
    // those roles: the header of a file of one observation a row, as
    // ObservationSink hands it over.
    void observations();

    void separator(char separator) override;
    bool record(std::uint32_t line, Items<std::string_view> fields) override;
    void end(std::uint32_t lastLine) override;
    // The first reason the trial was refused; later records are not read.
    [[nodiscard]] const std::optional<TrialError>& error() const { return m_error; }

private:
    enum class Role;
    struct HeadingDates;
    static constexpr std::size_t kAbsent = std::numeric_limits<std::size_t>::max();

    struct Heading;
    void readHeader(std::uint32_t line, Items<std::string_view> fields);
    [[nodiscard]] std::optional<std::string> dayHeading(std::string_view name,
                                                        bool& pastBounds) const;
    bool matchColumns(std::uint32_t line, Items<std::string_view> fields, HeadingDates& dates);
    bool chooseLayout(std::uint32_t line, Items<std::string_view> fields, HeadingDates& dates);
    void readRow(std::uint32_t line, Items<std::string_view> fields);
#if defined(__GNUC__)
    __attribute__((always_inline))
#endif
    inline void
    readPlotDateLevel(std::uint32_t line, Items<std::string_view> fields);
    void fail(std::uint32_t line, std::string message);

    TrialVisitor& m_visitor;
    DateOrder m_dateOrder;
    std::string m_dayPrefix;
    TrialDate m_dayStart;
    bool m_observations = false;
    std::optional<TrialError> m_error;
    char m_separator = ',';
    bool m_separatorFound = false;
    bool m_headerRead = false;

    TrialHeader m_header;
    std::vector<Role> m_roles;
    bool m_someIgnored = false;
    std::size_t m_plot = kAbsent;
    std::size_t m_date = kAbsent;
    std::size_t m_level = kAbsent;
    std::size_t m_period = kAbsent;
    std::size_t m_group = kAbsent;
    std::size_t m_budding = kAbsent;
    std::size_t m_desiccation = kAbsent;
    std::size_t m_note = kAbsent;
    std::vector<std::size_t> m_copiedColumns;
    std::vector<std::size_t> m_dateColumns; // wide layout
    std::vector<std::string_view> m_copied;
    std::vector<TrialAssessment> m_assessments;
    TrialRow m_row;
    // The header names plot, date and level, and no other column.
    bool m_plotDateLevel = false;
};

} // namespace quarven
