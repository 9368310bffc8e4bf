// What the Trial window draws from its grouped trial beyond the summary: the
// mean curves of chosen groups in a window of their own, and the report of
// the evaluation, exported as a PDF or printed. The curves and the report's
// pages come from the curve module; the trial is read again for the curves
// and the refused plots, as the command line reads it.
#pragma once

#include "report/report_data.h"
#include "ui/curve_loader.h"
#include "ui/trial_sites.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace quarven {

class TrialWindow;
struct TrialTable;

// A site of the evaluation: its trial file, and how the file is read.
struct SiteFile {
    QString path;
    std::string site;
    BatchSettings settings;
    std::string sheet; // of a workbook
};

// The chosen groups' plots of a site into curves, read as the batch reads
// them; false with why when the file cannot be read.
[[nodiscard]] bool ReadCurvesInto(const SiteFile& file, const std::string& groupBy,
                                  GroupCurves& curves, std::string& why);

// An export's text as the command line makes a workbook of it, a sheet named
// `sheet` with each column typed by its name, written whole or not at all;
// never over one of the trials nor in place of a folder, a FIFO or a device.
// False with why otherwise; `year` is that of dates written without one.
[[nodiscard]] bool WriteExportWorkbook(const QString& path, const std::vector<QString>& trials,
                                       const std::string& text, const std::string& sheet, int year,
                                       std::string& why);

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
    [[nodiscard]] static CurveLabel placeOf(const TrialWindow* window, const TrialSites& sites,
                                            TrialSites::Place at);

private:
    [[nodiscard]] static bool grouped(const TrialWindow* window);
    [[nodiscard]] static std::vector<SiteFile> siteFiles(const TrialWindow* window);
    [[nodiscard]] static std::vector<QString> sitePaths(const TrialWindow* window);
    [[nodiscard]] static GroupCurveSources curveSources(const TrialWindow* window);
    // The report of what the window shows; false with why when the trial
    // cannot be read again.
    [[nodiscard]] static bool report(const TrialWindow* window, ReportData& data, std::string& why);
};

} // namespace quarven
