// How a field book is read where the file itself cannot tell: the order of
// day and month in its dates, wide headings that count days after a date,
// and the trait of a file of one observation a row. The command line takes
// them from --dates, --days-after with --day-columns and --trait; the window
// passes the same.
#pragma once

#include "trial_values.h"

#include <string>

namespace quarven {

struct TrialReading {
    DateOrder dates = DateOrder::DayFirst;
    // A wide heading made of dayPrefix (in any case) and a whole number is an
    // assessment that many days after dayStart. Empty: no such headings.
    std::string dayPrefix;
    // Read in the batch's year when written without one.
    TrialDate dayStart;
    // In a file of one observation a row, the trait whose values are the
    // levels, as written. Empty: the file's only trait.
    std::string trait;
};

} // namespace quarven
