// The tuberization period in the period box: a maturity-group preset, a typed
// number of days held within 10..130, or the days from budding to a premature
// desiccation. Whatever the way, the box ends holding a whole number of days
// from 10 to 130.
#pragma once

#include "core/tuberization_rules.h"
#include "entry/dialogs.h"
#include "entry/entry_prompts.h"
#include "entry/text_box.h"

namespace quarven {

// Writes the group's days with a sign position; the change handler that this
// raises rewrites them as plain digits.
void PresetPeriod(TextBox& box, int days);

// The period box's change handler; 0, empty or non-numeric text stands for 52.
void PeriodChange(TextBox& box, Dialogs& dialogs);

// Asks a budding and a desiccation date until they lie 10 to 130 days apart.
void PrematureDesiccation(TextBox& box, EntryPrompts& prompts, Dialogs& dialogs);

} // namespace quarven
