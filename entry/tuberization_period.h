// The tuberization period in the period box: a maturity-group preset, a typed
// number of days held within 10..130, or the days from budding to a premature
// desiccation. Whatever the way, the box ends holding a whole number of days
// from 10 to 130.
#pragma once

#include "core/tuberization_rules.h"
#include "entry/dialogs.h"
#include "entry/entry_prompts.h"
#include "entry/text_box.h"

#include <array>

namespace quarven {

// The seven options of the period frame, Spel1 to Spel7: the six maturity
// groups with their days, and the option that computes the period from two
// dates.
struct PeriodOption {
    const char* name; // the option button's name
    const char* caption;
    const char* tooltip;
    int days; // 0 for the computed period
};

constexpr PeriodOption groupOption(const char* name, std::size_t group)
{
    return {name, kMaturityGroups[group].caption, kMaturityGroups[group].tooltip,
            kMaturityGroups[group].days};
}

inline constexpr std::array<PeriodOption, 7> kPeriodOptions = {{
    groupOption("Spel1", 0),
    groupOption("Spel2", 1),
    groupOption("Spel3", 2),
    groupOption("Spel4", 3),
    groupOption("Spel5", 4),
    groupOption("Spel6", 5),
    {"Spel7", "in the case of a premature dessiccation ",
     "the period between the budding stage and the dessiccation", 0},
}};

// Writes the group's days with a sign position; the change handler that this
// raises rewrites them as plain digits.
void PresetPeriod(TextBox& box, int days);

// The period box's change handler; 0, empty or non-numeric text stands for 52.
void PeriodChange(TextBox& box, Dialogs& dialogs);

// Asks a budding and a desiccation date until they lie 10 to 130 days apart.
void PrematureDesiccation(TextBox& box, EntryPrompts& prompts, Dialogs& dialogs);

} // namespace quarven
