// What a printed report of an evaluation holds, in plain C++ so that the
// command line fills it with Qt Core only and hands it to the report module:
// the facts of its title, the evaluation over the sites, the mean curves
// drawn for each site and the refused plots.
#pragma once

#include "trial/group_curves.h"
#include "trial/site_evaluation.h"

#include <string>
#include <vector>

namespace quarven {

struct ReportData {
    std::vector<std::string> trials; // the trial files, as named to the user
    std::string groupedBy;           // the column the plots are grouped by
    std::string siteColumn;          // the column sites come from; empty: one site a file
    std::vector<Standard> standards; // as given
    std::string made;                // the day, yyyy-mm-dd; empty: today
    std::string version;             // Quarven's; empty: this program's
    Evaluation evaluation;
    std::vector<GroupCurve> curves; // each drawn on its site's chart (see ChooseCurves)
    std::vector<RefusedPlot> refused;
};

} // namespace quarven
