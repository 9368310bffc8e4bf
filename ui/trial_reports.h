// What the Trial window draws from its grouped trial beyond the summary: the
// mean curves of chosen groups in a window of their own, and the report of
// the evaluation, exported as a PDF or printed. The curves and the report's
// pages come from the curve module; the trial is read again for the curves
// and the refused plots, as the command line reads it.
#pragma once

#include "report/report_data.h"
#include "ui/curve_loader.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace quarven {

class TrialWindow;
struct TrialTable;

// The chosen groups' plots of a trial file at one site into curves, read
// with the batch's settings; false with why when it cannot be read.
[[nodiscard]] bool ReadCurvesInto(const QString& path, const BatchSettings& settings,
                                  const std::string& groupBy, const std::string& site,
                                  GroupCurves& curves, std::string& why);

// The mean curves of groups at one site of a trial file, read from it with
// the batch's settings; empty with why when it cannot be read.
[[nodiscard]] std::vector<GroupCurve>
ReadGroupCurves(const QString& path, const BatchSettings& settings, const std::string& groupBy,
                const std::string& site, const std::vector<std::string>& groups, std::string& why);

// The site of a trial file without a site column: its name without the
// extension, as the command line names it.
[[nodiscard]] QString SiteOf(const QString& path);

// Where Export report proposes the PDF: <trial name>-report.pdf beside it.
[[nodiscard]] QString ReportName(const QString& trial);

// The Trial window's actions on them, and their wiring; a friend of the
// window.
class TrialReports {
public:
    static void showCurves(TrialWindow* window);
    static void exportReport(TrialWindow* window);
    static void print(TrialWindow* window);
    // The curves window follows a new summary or standards.
    static void follow(TrialWindow* window);
    // The site and group of the table's row, for the calculator's curve.
    [[nodiscard]] static CurveLabel placeOf(const TrialWindow* window, std::size_t row);

private:
    [[nodiscard]] static bool grouped(const TrialWindow* window);
    [[nodiscard]] static GroupCurveSources curveSources(const TrialWindow* window);
    // The report of what the window shows; false with why when the trial
    // cannot be read again.
    [[nodiscard]] static bool report(const TrialWindow* window, ReportData& data, std::string& why);
};

} // namespace quarven
