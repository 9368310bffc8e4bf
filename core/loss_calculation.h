// The Calculate action's arithmetic: checks each pair of consecutive
// assessments, integrates the disease progress curve by the trapezoidal rule
// into the AUDPC (percent-days) and divides it by the tuberization period.
// The window hands over the texts of its controls and writes back whatever
// comes out; nothing here touches a control.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

struct CalculationInput {
    std::vector<std::string> dates;  // the date column, row by row
    std::vector<std::string> levels; // the level column, row by row
    std::string countText;           // the text of the count box
    std::string periodText;          // the text of the period box
    int currentYear = 0;
};

struct CalculationOutcome {
    enum class Kind {
        Nothing, // an incomplete table: change nothing, say nothing
        Message, // the first failing pair: show message, keep the results
        Results  // write losses and audpc into the result boxes
    };
    Kind kind = Kind::Nothing;
    std::string message;
    std::string losses;
    std::string audpc;
};

// Pairs are tested in order and the first failing one decides; rows are read
// only as far as both columns reach, whatever the count reads as.
[[nodiscard]] CalculationOutcome Calculate(const CalculationInput& input);

// One pair of consecutive assessments, days apart, with levels x1 then x2:
// the checks in Calculate's order and, when both pass, the trapezoid added to
// audpc. The window and the trial batch both sum through here, so that the
// same data gives bit-identical results either way.
enum class PairCheck { Summed, DatesNotIncreasing, LevelFalls };
// The pair's trapezoid, whatever its levels: a batch asked to keep a falling
// level adds it as it is.
inline void AddTrapezoid(double& audpc, std::int16_t days, double x1, double x2)
{
    audpc = audpc + ((x1 + x2) * days) / 2;
}
// In the header: the batch calls it for every row of a trial.
[[nodiscard]] inline PairCheck AddPair(double& audpc, std::int16_t days, double x1, double x2)
{
    if (days <= 0)
        return PairCheck::DatesNotIncreasing;
    if (x2 - x1 < 0)
        return PairCheck::LevelFalls;
    AddTrapezoid(audpc, days, x1, x2);
    return PairCheck::Summed;
}

// The message for a failing pair whose earlier assessment is row `row`
// (0-based), with the 1-based assessment numbers in the signed form.
[[nodiscard]] std::string PairMessage(PairCheck check, long row);

} // namespace quarven
