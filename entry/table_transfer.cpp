#include "table_transfer.h"

#include "core/assessment_table.h"
#include "core/cell_text.h"
#include "core/rejection_messages.h"
#include "core/value_conventions.h"
#include "entry/prompt_answers.h"
#include "trial/trial_values.h"

#include <algorithm>
#include <cctype>

namespace quarven {
namespace {

constexpr int kLargestCount = 32767;
// No table of kLargestCount rows comes near it as text.
constexpr std::size_t kLargestText = std::size_t(4) << 20;
constexpr std::size_t kShownCellLength = 40;
constexpr char kCr = '\r';
const char* const kPeriodCaption = "Tuberization, days";

using Cells = std::vector<std::string>;

// Calls take(cells) for each row of the block, in a buffer reused from row
// to row. Empty lines inside the block are rows of blank cells (a
// spreadsheet column with a gap), so a general CSV reader, which drops them,
// will not do. A cell in double quotes may hold the separator, line breaks
// and doubled quotes, as spreadsheets write them.
template <typename Take> void forEachRow(std::string_view text, char separator, Take&& take)
{
    Cells row;
    std::size_t used = 0; // cells of row in use; the others keep their capacity
    const auto cell = [&]() -> std::string& {
        if (used == row.size())
            row.emplace_back();
        return row[used];
    };
    const auto endCell = [&] { ++used; };
    const auto endRow = [&] {
        row.resize(used);
        take(row);
        for (std::string& field : row)
            field.clear();
        used = 0;
    };
    bool quoted = false;
    bool atCellStart = true;
    bool open = false; // the current row has begun
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                cell() += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                cell() += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == '"' && atCellStart) {
            cell();
            quoted = true;
            atCellStart = false;
            open = true;
        } else if (c == separator) {
            cell();
            endCell();
            atCellStart = true;
            open = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            cell();
            endCell();
            endRow();
            atCellStart = true;
            open = false;
        } else {
            cell() += c;
            atCellStart = false;
            open = true;
        }
    }
    if (open) {
        cell();
        endCell();
        endRow();
    }
}

bool isBlankRow(const Cells& cells)
{
    return std::all_of(cells.begin(), cells.end(),
                       [](const std::string& field) { return field.empty(); });
}

bool isHeader(const Cells& cells);
bool isPeriodRow(const Cells& cells);

// The rows to paste: without a header, the period rows or the blank rows at
// the end. Only the first `kept` are held; the others are only counted, so
// that a block no table can hold costs no memory.
struct Block {
    std::vector<Cells> rows;
    std::size_t count = 0;
    std::size_t columns = 0;
};

Block readBlock(std::string_view text, char separator, std::size_t kept)
{
    Block block;
    bool first = true;
    std::size_t blanks = 0; // blank rows that count only if a row follows them
    std::size_t blankColumns = 0;
    const auto add = [&](const Cells& cells) {
        ++block.count;
        block.columns = std::max(block.columns, cells.size());
        if (block.rows.size() < kept)
            block.rows.push_back(cells);
    };
    forEachRow(text, separator, [&](const Cells& cells) {
        const bool header = first && isHeader(cells);
        first = false;
        if (header)
            return;
        if (isBlankRow(cells)) {
            ++blanks;
            blankColumns = std::max(blankColumns, cells.size());
            return;
        }
        for (; blanks > 0; --blanks)
            add(Cells(blankColumns));
        blankColumns = 0;
        if (!isPeriodRow(cells))
            add(cells);
    });
    return block;
}

// The rows readBlock counts, found without keeping a cell: a text far too
// large to paste is named by them in its refusal at once. Only a first row
// and a row that may be the period row are split into cells.
std::size_t countRows(std::string_view text, char separator)
{
    std::size_t count = 0;
    std::size_t blanks = 0;
    bool first = true;
    const auto cellsOf = [separator](std::string_view row) {
        Cells cells;
        forEachRow(row, separator, [&cells](const Cells& read) { cells = read; });
        return cells;
    };
    const auto endRow = [&](std::string_view row, bool content) {
        const bool header = first && content && isHeader(cellsOf(row));
        first = false;
        if (header)
            return;
        if (!content) {
            ++blanks;
            return;
        }
        count += blanks;
        blanks = 0;
        const std::size_t lead = row.find_first_not_of(" \"");
        const bool mayBePeriod = lead != std::string_view::npos && (row[lead] | 0x20) == 't';
        if (!(mayBePeriod && isPeriodRow(cellsOf(row))))
            ++count;
    };
    bool quoted = false;
    bool atCellStart = true;
    bool content = false; // a cell of the row holds something
    bool open = false;
    std::size_t rowStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                content = true;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                content = true;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && atCellStart) {
            quoted = true;
            atCellStart = false;
            open = true;
        } else if (c == separator) {
            atCellStart = true;
            open = true;
        } else if (c == '\n' || c == '\r') {
            const std::size_t end = i;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endRow(text.substr(rowStart, end - rowStart), content);
            rowStart = i + 1;
            content = false;
            atCellStart = true;
            open = false;
        } else {
            content = true;
            atCellStart = false;
            open = true;
        }
    }
    if (open)
        endRow(text.substr(rowStart), content);
    return count;
}

char separatorOf(std::string_view text)
{
    if (text.find('\t') != std::string_view::npos)
        return '\t';
    if (text.find(';') != std::string_view::npos)
        return ';';
    return ',';
}

std::string trimmedBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

bool hasDigit(const Cells& cells);

// A header names its columns: some text, and no digit anywhere.
bool isHeader(const Cells& cells)
{
    const bool someText = std::any_of(cells.begin(), cells.end(), [](const std::string& cell) {
        return !trimmedBlanks(CleanedAnswer(cell)).empty();
    });
    return someText && !hasDigit(cells);
}

bool hasDigit(const Cells& cells)
{
    return std::any_of(cells.begin(), cells.end(), [](const std::string& cell) {
        const std::string cleaned = CleanedAnswer(cell);
        return std::any_of(cleaned.begin(), cleaned.end(),
                           [](char c) { return c >= '0' && c <= '9'; });
    });
}

bool isPeriodRow(const Cells& cells)
{
    if (cells.empty())
        return false;
    std::string first = trimmedBlanks(cells.front());
    std::transform(first.begin(), first.end(), first.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return first == "tuberization, days";
}

// A cell as a message shows it: short, and without control characters.
std::string shownCell(const std::string& cell)
{
    std::string shown;
    for (const char c : cell) {
        if (shown.size() >= kShownCellLength) {
            shown += "...";
            break;
        }
        shown += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
    return QuotedAnswer(shown);
}

std::string refusal(const std::string& reason)
{
    return "Nothing was pasted: " + reason;
}

std::string refusalAt(int row, const std::string& why)
{
    return refusal("assessment #" + SignedText(row + 1) + std::string(1, kCr) + why);
}

// A cell as a spreadsheet pastes it: the apostrophe that Copy puts before a
// formula-like text is not part of the text.
std::string pastedCell(const std::string& cell)
{
    std::string cleaned = CleanedAnswer(cell);
    if (cleaned.size() > 1 && cleaned.front() == '\'' && LooksLikeFormula(cleaned.substr(1)))
        cleaned.erase(0, 1);
    return cleaned;
}

// A date as the date prompts take it, or as Copy writes it (yyyy-mm-dd).
std::optional<std::string> pastedDate(const std::string& text, int currentYear)
{
    if (std::optional<std::string> stored = NormalisedDayMonth(text, currentYear))
        return stored;
    const std::optional<TrialDate> date = ReadTrialDate(text, currentYear);
    if (!date)
        return std::nullopt;
    return NormalisedDayMonth(DayMonthText(DateOfDayNumber(date->day)), currentYear);
}

std::string tooManyRows(std::size_t rows, int firstRow)
{
    return refusal("the table would need " + std::to_string(rows + std::size_t(firstRow)) +
                   " assessments, and it holds at most " + std::to_string(kLargestCount) + ".");
}

// Far more text than any table is refused before a cell is read, and named
// by its rows when those are too many as well.
std::string oversizedTextRefusal(std::string_view text, char separator, std::size_t room,
                                 int firstRow)
{
    const std::size_t rows = countRows(text, separator);
    return rows > room ? tooManyRows(rows, firstRow)
                       : refusal("the clipboard holds more text than a table can hold.");
}

// Why no row of the block may be pasted; empty when its rows may be.
std::string blockRefusal(const Block& block, std::size_t room, int firstRow)
{
    if (block.count == 0)
        return refusal("the clipboard holds no table.");
    if (block.columns > 3)
        return refusal("the clipboard holds " + std::to_string(block.columns) + " columns." + kCr +
                       "Paste dates; dates and levels; or the number, the date and the level of "
                       "each assessment.");
    if (block.count > room)
        return tooManyRows(block.count, firstRow);
    return {};
}

// The cells of a row that go into the table: a single column is dates unless
// it was pasted on the levels; of three, the first is the number.
struct PastedColumns {
    std::optional<std::size_t> date;
    std::optional<std::size_t> level;
};

PastedColumns pastedColumns(std::size_t columns, PasteColumn single)
{
    if (columns == 1)
        return single == PasteColumn::Levels ? PastedColumns{std::nullopt, 0}
                                             : PastedColumns{0, std::nullopt};
    const std::size_t date = columns == 3 ? 1 : 0;
    return {date, date + 1};
}

// The cells as the table takes them; nothing where the prompts would refuse.
std::optional<std::string> pastedDateCell(const std::string& date, int currentYear)
{
    if (trimmedBlanks(date).empty())
        return std::string(kBlankCell);
    return pastedDate(date, currentYear);
}

std::optional<std::string> pastedLevelCell(const std::string& level)
{
    if (level.empty())
        return std::string(kBlankCell);
    const double value = ReadLevel(level);
    if (value >= 0 && value <= 100)
        return level;
    return std::nullopt;
}

// Reads one row into pasted: the prompt's refusal of the first cell it would
// refuse, or nothing.
std::string readRow(const Cells& cells, const PastedColumns& columns, int currentYear,
                    PastedRow& pasted)
{
    const auto cellAt = [&cells](std::size_t column) {
        return column < cells.size() ? pastedCell(cells[column]) : std::string();
    };
    if (columns.date) {
        const std::string date = cellAt(*columns.date);
        pasted.date = pastedDateCell(date, currentYear);
        if (!pasted.date)
            return AssessmentDateRejection(shownCell(date));
    }
    if (columns.level) {
        const std::string level = cellAt(*columns.level);
        pasted.level = pastedLevelCell(level);
        if (!pasted.level)
            return LevelRejection(shownCell(level));
    }
    return {};
}

// A cell that is wholly a number, with the decimal mark given; any other text
// as it is, made safe from being run as a formula.
std::string numberCell(const std::string& text, char decimalMark)
{
    if (!ReadWholeNumber(text, true))
        return FormulaSafe(text);
    std::string number(TrimmedBlanks(text));
    std::replace_if(
        number.begin(), number.end(), [](char c) { return c == '.' || c == ','; }, decimalMark);
    return number;
}

// Blank cells go out empty; a cell holding a tab, a line break or a quote
// goes in quotes, as spreadsheets write it.
std::string copiedCell(const std::string& text)
{
    if (text.find_first_of("\t\r\n\"") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

} // namespace

PastePlan PlanPaste(std::string_view text, int firstRow, PasteColumn single, int currentYear)
{
    PastePlan plan;
    plan.firstRow = std::max(firstRow, 0);
    const auto room = static_cast<std::size_t>(std::max(kLargestCount - plan.firstRow, 0));
    const char separator = separatorOf(text);
    if (text.size() > kLargestText) {
        plan.message = oversizedTextRefusal(text, separator, room, plan.firstRow);
        return plan;
    }
    const Block block = readBlock(text, separator, room);
    plan.message = blockRefusal(block, room, plan.firstRow);
    if (!plan.message.empty())
        return plan;
    const PastedColumns columns = pastedColumns(block.columns, single);
    plan.rows.reserve(block.rows.size());
    for (const Cells& cells : block.rows) {
        PastedRow pasted;
        const std::string refused = readRow(cells, columns, currentYear, pasted);
        if (!refused.empty()) {
            plan.message = refusalAt(plan.firstRow + static_cast<int>(plan.rows.size()), refused);
            plan.rows.clear();
            return plan;
        }
        plan.rows.push_back(std::move(pasted));
    }
    return plan;
}

std::string CopiedTable(const std::vector<std::string>& dates,
                        const std::vector<std::string>& levels, const std::string& period, int year,
                        char decimalMark)
{
    std::string text = "Number of assessment\tAssessment dates\tLevel of infection, %\n";
    const std::size_t rows = std::min(dates.size(), levels.size());
    for (std::size_t row = 0; row < rows; ++row) {
        text += PlainText(static_cast<int>(row) + 1) + '\t';
        if (dates[row] != kBlankCell)
            text += copiedCell(DateCellText(dates[row], year));
        text += '\t';
        if (levels[row] != kBlankCell)
            text += copiedCell(numberCell(levels[row], decimalMark));
        text += '\n';
    }
    text += std::string(kPeriodCaption) + '\t' + copiedCell(numberCell(period, decimalMark)) + '\n';
    return text;
}

std::string CopiedResults(const std::string& losses, const std::string& audpc,
                          const std::string& period, char decimalMark)
{
    return "Yield losses, %\t" + copiedCell(numberCell(losses, decimalMark)) + "\nAUDPC\t" +
           copiedCell(numberCell(audpc, decimalMark)) + '\n' + kPeriodCaption + '\t' +
           copiedCell(numberCell(period, decimalMark)) + '\n';
}

std::string DateCellText(const std::string& cell, std::optional<int> year)
{
    if (year) {
        if (const std::optional<Date> date = DateOf(cell, *year)) {
            std::string text;
            AppendTrialDate(text, TrialDate{DayNumber(*date), true});
            return text;
        }
    }
    return FormulaSafe(cell);
}

} // namespace quarven
