// A first look at a trial file for what its reader must be told and the file
// cannot say: whether its headings count days after a date the user knows,
// and which trait of a file of one observation a row to read. The window
// asks the user these before it reads the file; the command line has options
// for them. It takes the file's records as the row reader would: from the
// tokenizer or from a workbook's sheet.
#pragma once

#include "trial_fields.h"
#include "trial_values.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace quarven {

class TrialLook final : public FieldSink {
public:
    explicit TrialLook(DateOrder order) : m_order(order) {}

    void separator(char) override {}
    // False once nothing more is to be learned: at the header, unless the
    // file holds observations, whose traits are known only at its end.
    bool record(std::uint32_t line, Items<std::string_view> fields) override;
    void end(std::uint32_t) override {}

    // The file need not be read further.
    [[nodiscard]] bool done() const { return m_done; }
    // The prefix of headings in days, when no heading is dated.
    [[nodiscard]] const std::optional<std::string>& dayPrefix() const { return m_dayPrefix; }
    // Of a file of observations, its traits in the order they first appear.
    [[nodiscard]] const std::vector<std::string>& traits() const { return m_traits; }

private:
    DateOrder m_order;
    bool m_headerSeen = false;
    bool m_done = false;
    std::optional<std::size_t> m_traitColumn;
    std::optional<std::string> m_dayPrefix;
    std::vector<std::string> m_traits;
    std::unordered_set<std::string> m_known;
};

} // namespace quarven
