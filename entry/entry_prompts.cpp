#include "entry_prompts.h"

#include "core/rejection_messages.h"
#include "core/value_conventions.h"
#include "entry/prompt_answers.h"

#include <optional>

namespace quarven {
namespace {

constexpr char kCr = '\r';

// The table prompts stand beside the lists so the column stays visible.
constexpr PromptPosition kDatePromptPosition{200, 3000};
constexpr PromptPosition kLevelPromptPosition{3000, 3000};

} // namespace

EntryPrompts::EntryPrompts(Dialogs& dialogs, const AssessmentCells& cells,
                           std::function<int()> currentYear)
    : m_dialogs(dialogs), m_cells(cells), m_currentYear(std::move(currentYear))
{
}

std::string EntryPrompts::AskAssessmentDate(int row)
{
    const std::string title = "Insert the date of " + SignedText(row + 1) + " assessment (dd/mm)?";
    for (;;) {
        const std::string answer = Ask(m_dialogs, "Example: July 12 should be recorded as 12/7 ",
                                       title, m_cells.date(row), kDatePromptPosition);
        if (answer.empty())
            return answer;
        if (std::optional<std::string> date = NormalisedDayMonth(answer, currentYear()))
            return *date;
        m_dialogs.message(AssessmentDateRejection(QuotedAnswer(answer)));
    }
}

std::string EntryPrompts::AskInfectionLevel(int row)
{
    const std::string title = "Insert a level of " + SignedText(row + 1) + " damage, % ?";
    for (;;) {
        const std::string answer =
            Ask(m_dialogs, "Example: 1.2 ", title, m_cells.level(row), kLevelPromptPosition);
        if (answer.empty())
            return answer;
        const double level = ReadLevel(answer);
        if (level >= 0 && level <= 100)
            return answer;
        m_dialogs.message(LevelRejection(QuotedAnswer(answer)));
    }
}

std::string EntryPrompts::AskBuddingDate()
{
    return askSeasonDate(std::string("Example: June 12 should be recorded as 12/6 ") + kCr +
                             "(it is not of necessity to insert a year) ",
                         "Insert a budding date", "13/6", [](const std::string& answer) {
                             return BuddingDateRejection(QuotedAnswer(answer));
                         });
}

std::string EntryPrompts::AskDesiccationDate()
{
    return askSeasonDate(std::string("Example: September 12 should be recorded as 12/9 ") + kCr +
                             "(it is not of necessity to insert a year) ",
                         "Insert the date of dessiccation", "14/9", [](const std::string& answer) {
                             return DesiccationDateRejection(QuotedAnswer(answer));
                         });
}

// A rejected answer comes back as the next default, so the user can mend a
// typo instead of typing the date again.
std::string
EntryPrompts::askSeasonDate(const std::string& text, const std::string& title,
                            std::string defaultAnswer,
                            const std::function<std::string(const std::string&)>& rejection)
{
    for (;;) {
        const std::string answer = Ask(m_dialogs, text, title, defaultAnswer);
        if (answer.empty())
            return answer;
        if (std::optional<std::string> date = NormalisedDayMonth(answer, currentYear()))
            return *date;
        m_dialogs.message(rejection(answer));
        defaultAnswer = answer;
    }
}

} // namespace quarven
