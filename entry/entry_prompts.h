// The four prompts that ask for one date or level each. Each loops, with a
// message in between, until the answer is acceptable or empty, and returns
// it; none writes a control. Dates come back as "dd/mm", levels as typed.
#pragma once

#include "entry/assessment_cells.h"
#include "entry/dialogs.h"

#include <functional>
#include <string>

namespace quarven {

class EntryPrompts {
public:
    // currentYear is asked at every answer, so a session that runs past New
    // Year reads dates in the new year.
    EntryPrompts(Dialogs& dialogs, const AssessmentCells& cells, std::function<int()> currentYear);

    [[nodiscard]] std::string AskAssessmentDate(int row);
    [[nodiscard]] std::string AskInfectionLevel(int row);
    [[nodiscard]] std::string AskBuddingDate();
    [[nodiscard]] std::string AskDesiccationDate();

    [[nodiscard]] int currentYear() const { return m_currentYear(); }

private:
    std::string askSeasonDate(const std::string& text, const std::string& title,
                              std::string defaultAnswer,
                              const std::function<std::string(const std::string&)>& rejection);

    Dialogs& m_dialogs;
    const AssessmentCells& m_cells;
    std::function<int()> m_currentYear;
};

} // namespace quarven
