#include "tuberization_period.h"

#include "core/value_conventions.h"
#include "entry/prompt_answers.h"

#include <cstdint>
#include <optional>

namespace quarven {

void PresetPeriod(TextBox& box, int days)
{
    box.setText(SignedText(days));
}

void PeriodChange(TextBox& box, Dialogs& dialogs)
{
    for (;;) {
        std::optional<std::int16_t> days = ReadInt16(box.text());
        if (days == 0)
            days = kDefaultPeriod;
        // A period past 32767 has no 16-bit value: it stays as typed and is
        // asked again like any other period out of range.
        if (days) {
            box.setText(FormatPattern(*days, Pattern::Period));
            if (PeriodInRange(*days))
                return;
        }
        box.setText(Ask(dialogs, PeriodRangeText(), "Date input error", box.text()));
    }
}

void PrematureDesiccation(TextBox& box, EntryPrompts& prompts, Dialogs& dialogs)
{
    int dayCount = 0;
    for (;;) {
        const std::string budding = prompts.AskBuddingDate();
        const std::string desiccation = prompts.AskDesiccationDate();
        if (!budding.empty() && !desiccation.empty()) {
            if (std::optional<std::int16_t> days =
                    DayDifference(budding, desiccation, prompts.currentYear()))
                dayCount = *days;
        }
        if (PeriodInRange(dayCount)) {
            box.setText(FormatPattern(dayCount, Pattern::Period));
            return;
        }
        dialogs.message(DesiccationMessage(dayCount));
    }
}

} // namespace quarven
