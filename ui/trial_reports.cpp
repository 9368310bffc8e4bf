#include "trial_reports.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "trial/trial_file.h"
#include "trial/trial_table.h"
#include "trial/trial_workbook.h"
#include "ui/data_actions.h"
#include "ui/trial_model.h"
#include "ui/trial_sites.h"
#include "ui/trial_window.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <set>

namespace quarven {

bool ReadCurvesInto(const SiteFile& file, const std::string& groupBy, GroupCurves& curves,
                    std::string& why)
{
    GroupCurveReader reader({file.settings, groupBy, {}, file.site}, curves);
    TrialReader trial(reader, file.settings.reading);
    std::optional<TrialError> error;
    bool workbook = false;
    const bool read = ReadTrialFile(
        file.path,
        [&](std::string_view piece) {
            if (!workbook && KindOfTrialFile(piece.substr(0, kKindBytes)) != TrialFileKind::Text) {
                workbook = true;
                return false;
            }
            error = trial.read(piece);
            return !error;
        },
        why);
    if (!read)
        return false;
    if (workbook)
        error = trial.readWorkbook(WorkbookSource::File(QFile::encodeName(file.path).toStdString()),
                                   file.sheet);
    if (!error)
        error = trial.finish();
    if (!error)
        error = reader.finish();
    if (error)
        why = (error->line ? "line " + std::to_string(error->line) + ": " : std::string()) +
              error->message;
    return !error;
}

bool WriteExportWorkbook(const QString& path, const std::vector<QString>& trials,
                         const std::string& text, const std::string& sheet, int year,
                         std::string& why)
{
    const std::optional<QString> file = ExportTarget(path, trials, why);
    if (!file)
        return false;
    WorkbookWriter book(QFile::encodeName(*file).toStdString(), year);
    {
        TextSheet cells(book, sheet,
                        sheet == "combined table"
                            ? SheetColumn{"", CellKind::Number, kScaleDecimals}
                            : SheetColumn{"", CellKind::Name});
        cells.read(text);
        cells.finish();
    }
    if (book.failed() || !book.finish() || !book.commit()) {
        why = book.error();
        return false;
    }
    return true;
}

QString ReportName(const QString& trial)
{
    const QFileInfo info(trial);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-report.pdf"));
}

std::vector<QString> TrialReports::sitePaths(const TrialWindow* window)
{
    std::vector<QString> paths;
    for (const std::unique_ptr<TrialWindow::Site>& site : window->m_sites)
        paths.push_back(site->path);
    return paths;
}

bool TrialReports::grouped(const TrialWindow* window)
{
    return window->m_evaluation && window->m_groupBy->currentIndex() > 0;
}

// The sites the evaluation holds, each with its file and how it is read.
std::vector<SiteFile> TrialReports::siteFiles(const TrialWindow* window)
{
    std::vector<SiteFile> files;
    for (const SiteEvaluation& evaluated : window->m_evaluation->sites) {
        const TrialWindow::Site* site = window->siteNamed(evaluated.name);
        if (!site)
            continue;
        const FileReading how = window->m_data.readingOf(site->path);
        files.push_back({site->path, site->name,
                         BatchSettings{site->table->year, site->table->defaultPeriod, how.reading},
                         how.sheet});
    }
    return files;
}

GroupCurveSources TrialReports::curveSources(const TrialWindow* window)
{
    GroupCurveSources sources;
    const std::vector<SiteFile> files = siteFiles(window);
    QStringList trials, sites;
    for (const SiteFile& file : files) {
        trials.append(QFileInfo(file.path).fileName());
        sites.append(QString::fromStdString(file.site));
    }
    sources.label.trial = trials.join(QStringLiteral(", "));
    sources.label.folder = files.empty() ? QString() : QFileInfo(files[0].path).absolutePath();
    sources.label.site = sites.join(QStringLiteral(", "));
    sources.label.groupColumn = QString::fromStdString(window->m_groupName);
    std::set<std::string> seen;
    for (const SiteEvaluation& site : window->m_evaluation->sites)
        for (const GroupSummary& group : site.summary.groups)
            if (seen.insert(group.name).second)
                sources.groups.push_back(group.name);
    sources.standards = window->m_standardsUsed;
    sources.read = [files, groupBy = window->m_groupName](const std::vector<std::string>& groups,
                                                          std::string& why) {
        GroupCurves curves;
        for (const SiteFile& file : files)
            for (const std::string& group : groups)
                curves.choose(file.site, group);
        for (const SiteFile& file : files)
            if (!ReadCurvesInto(file, groupBy, curves, why))
                return std::vector<GroupCurve>();
        return curves.curves();
    };
    return sources;
}

void TrialReports::showCurves(TrialWindow* window)
{
    if (!grouped(window)) {
        window->m_dialogs.message("Choose a column to group by first.");
        return;
    }
    if (!window->m_curves) {
        std::string error;
        window->m_curves =
            CreateGroupCurves(curveSources(window), window->m_dialogs, window, error);
        if (!window->m_curves) {
            window->m_dialogs.message("The curves cannot be shown: " + error);
            return;
        }
    }
    QWidget* curves = window->m_curves.widget();
    curves->show();
    curves->raise();
    curves->activateWindow();
}

void TrialReports::follow(TrialWindow* window)
{
    if (!window->m_curves)
        return;
    if (grouped(window))
        window->m_curves->setSources(curveSources(window));
    else
        window->m_curves.widget()->close();
}

CurveLabel TrialReports::placeOf(const TrialWindow* window, const TrialSites& sites,
                                 TrialSites::Place at)
{
    CurveLabel place;
    place.site = QString::fromStdString(sites.sites()[at.site].name);
    const int grouped = window->m_groupBy->currentIndex();
    if (grouped > 0) {
        const std::uint32_t own = sites.copiedColumn(at.site, std::size_t(grouped - 1));
        if (own != TrialSites::kMissing) {
            place.groupColumn = QString::fromStdString(window->m_groupName);
            place.group = QString::fromStdString(
                std::string(sites.sites()[at.site].table->cell(at.row, own + 1)));
        }
    }
    return place;
}

bool TrialReports::report(const TrialWindow* window, ReportData& data, std::string& why)
{
    const std::vector<SiteFile> files = siteFiles(window);
    for (const SiteFile& file : files)
        data.trials.push_back(QFileInfo(file.path).fileName().toStdString());
    data.groupedBy = window->m_groupName;
    data.standards = window->m_standardsUsed;
    data.evaluation = *window->m_evaluation;
    GroupCurves curves;
    curves.keepRefused();
    ChooseCurves(data.evaluation, data.standards, curves);
    for (const SiteFile& file : files)
        if (!ReadCurvesInto(file, data.groupedBy, curves, why))
            return false;
    data.curves = curves.curves();
    data.refused = curves.refused();
    return true;
}

// What is written is taken once the dialog has answered, as the other
// exports do.
void TrialReports::exportReport(TrialWindow* window)
{
    if (!grouped(window)) {
        window->m_dialogs.message("Choose a column to group by first.");
        return;
    }
    const QPointer<TrialWindow> alive(window);
    const std::string path = window->m_dialogs.saveImageName(
        "Export report", ReportName(window->m_sites.front()->path).toStdString(), "pdf");
    if (path.empty() || !alive)
        return;
    const std::string failed = "The report was not exported: " + path + ": ";
    if (!grouped(window)) {
        window->m_dialogs.message(failed + "the column grouped by is no longer in the trial");
        return;
    }
    std::string why;
    ReportData data;
    const ReportOutput* output = LoadReportOutput(why);
    QByteArray bytes;
    QString painted;
    if (output && report(window, data, why) && !output->pdf(data, bytes, &painted))
        why = painted.toStdString();
    if (why.empty() &&
        !WriteBesideTrials(QString::fromStdString(path), sitePaths(window),
                           std::string(bytes.constData(), std::size_t(bytes.size())), why) &&
        why.empty())
        why = "it could not be written";
    if (!why.empty())
        window->m_dialogs.message(failed + why);
}

void TrialReports::print(TrialWindow* window)
{
    if (!grouped(window)) {
        window->m_dialogs.message("Choose a column to group by first.");
        return;
    }
    std::string why;
    ReportData data;
    const ReportOutput* output = LoadReportOutput(why);
    QString printed;
    if (output && report(window, data, why) && !output->print(data, window, &printed))
        why = printed.toStdString();
    if (!why.empty())
        window->m_dialogs.message("The report was not printed: " + why);
}

} // namespace quarven
