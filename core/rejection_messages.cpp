#include "rejection_messages.h"

namespace quarven {

std::string AssessmentDateRejection(std::string_view answer)
{
    return "Error insertion of the date=>(" + std::string(answer) +
           ") [Example: July 12 should be recorded as 12/7]";
}

std::string LevelRejection(std::string_view answer)
{
    return "The damage level => ( " + std::string(answer) + " ) should be between 0 and 100%";
}

std::string BuddingDateRejection(std::string_view answer)
{
    return "Date input error =>(" + std::string(answer) +
           ")? [Example: June 12 should be recorded as 12/6 ]";
}

std::string DesiccationDateRejection(std::string_view answer)
{
    return "Date input error=>(" + std::string(answer) +
           ") [Example: September 12 should be recorded as 12/9]";
}

} // namespace quarven
