// The actions by which the user fills the assessment table: a click on a row
// of one of the three columns, or on one of the two labels that fill a whole
// column. Each ends quietly at the first cancelled prompt.
#pragma once

#include "entry/assessment_cells.h"
#include "entry/entry_prompts.h"

#include <string_view>

namespace quarven {

enum class Column { Number, Date, Level };

// Number: date, then level. Date: the date, then the level if still blank.
// Level: the level, then the date if still blank.
void EditRow(Column clicked, int row, EntryPrompts& prompts, AssessmentCells& cells);

// Every date (or level) from the first row to the count in the count box,
// never past the rows the lists hold.
void FillDates(std::string_view countText, EntryPrompts& prompts, AssessmentCells& cells);
void FillLevels(std::string_view countText, EntryPrompts& prompts, AssessmentCells& cells);

} // namespace quarven
