// The messages that refuse a typed date or level, as the entry prompts show
// them; the trial batch refuses the same texts in a file with the same words.
// Each has its own blanks and brackets, kept exactly.
#pragma once

#include <string>
#include <string_view>

namespace quarven {

[[nodiscard]] std::string AssessmentDateRejection(std::string_view answer);
[[nodiscard]] std::string LevelRejection(std::string_view answer);
[[nodiscard]] std::string BuddingDateRejection(std::string_view answer);
[[nodiscard]] std::string DesiccationDateRejection(std::string_view answer);

} // namespace quarven
