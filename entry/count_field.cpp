#include "count_field.h"

#include "core/value_conventions.h"
#include "entry/prompt_answers.h"

#include <optional>

namespace quarven {
namespace {

constexpr int kMinimumCount = 3;
// Said of a count with no 16-bit value, too large or too small alike.
const char* const kOutOfRangeMessage = "A number of assessments should be from 3 to 32767";

} // namespace

CountField::CountField(TextBox& box, Dialogs& dialogs, std::function<void()> buildTable)
    : m_box(box), m_dialogs(dialogs), m_buildTable(std::move(buildTable)), m_builtText(box.text())
{
}

void CountField::Change()
{
    for (;;) {
        const std::optional<std::int16_t> count = ReadInt16(m_box.text());
        if (!count) {
            m_dialogs.message(kOutOfRangeMessage);
            m_box.restoreText(m_builtText);
            return;
        }
        if (*count >= kMinimumCount) {
            m_buildTable();
            m_builtText = m_box.text();
            return;
        }
        m_box.setText(askCount());
    }
}

std::string CountField::askCount()
{
    for (;;) {
        std::string answer = Ask(m_dialogs, "Insert a number of assessments of the foliage damage",
                                 "a number of assessments should be > 2", m_box.text());
        if (ReadInt16(answer))
            return answer;
        m_dialogs.message(kOutOfRangeMessage);
    }
}

} // namespace quarven
