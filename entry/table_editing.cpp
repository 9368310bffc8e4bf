#include "table_editing.h"

#include "core/assessment_table.h"
#include "core/value_conventions.h"

#include <algorithm>

namespace quarven {
namespace {

bool askDate(int row, EntryPrompts& prompts, AssessmentCells& cells)
{
    const std::string date = prompts.AskAssessmentDate(row);
    if (date.empty())
        return false;
    cells.setDate(row, date);
    return true;
}

bool askLevel(int row, EntryPrompts& prompts, AssessmentCells& cells)
{
    const std::string level = prompts.AskInfectionLevel(row);
    if (level.empty())
        return false;
    cells.setLevel(row, level);
    return true;
}

int rowsToFill(std::string_view countText, const AssessmentCells& cells)
{
    const int count = ReadInt16(countText).value_or(0);
    return std::min(count, cells.rowCount());
}

} // namespace

void EditRow(Column clicked, int row, EntryPrompts& prompts, AssessmentCells& cells)
{
    if (row < 0 || row >= cells.rowCount())
        return;
    switch (clicked) {
    case Column::Number:
        if (askDate(row, prompts, cells))
            askLevel(row, prompts, cells);
        break;
    case Column::Date:
        if (askDate(row, prompts, cells) && cells.level(row) == kBlankCell)
            askLevel(row, prompts, cells);
        break;
    case Column::Level:
        if (askLevel(row, prompts, cells) && cells.date(row) == kBlankCell)
            askDate(row, prompts, cells);
        break;
    }
}

void FillDates(std::string_view countText, EntryPrompts& prompts, AssessmentCells& cells)
{
    const int rows = rowsToFill(countText, cells);
    for (int row = 0; row < rows && askDate(row, prompts, cells); ++row) {
    }
}

void FillLevels(std::string_view countText, EntryPrompts& prompts, AssessmentCells& cells)
{
    const int rows = rowsToFill(countText, cells);
    for (int row = 0; row < rows && askLevel(row, prompts, cells); ++row) {
    }
}

} // namespace quarven
