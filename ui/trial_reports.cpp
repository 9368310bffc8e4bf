#include "trial_reports.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "trial/trial_file.h"
#include "trial/trial_table.h"
#include "ui/trial_model.h"
#include "ui/trial_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace quarven {
namespace {

// The window's standards as the summary uses them: none when they are
// refused, as the status line then says.
std::vector<Standard> standardsOf(const TrialSummaryModel& model, const TrialSummary& sums)
{
    std::vector<Standard> standards;
    for (const auto& [name, value] : model.standards())
        standards.push_back({name, value});
    if (std::holds_alternative<SummaryError>(sums.summarise(standards)))
        standards.clear();
    return standards;
}

} // namespace

bool ReadCurvesInto(const QString& path, const BatchSettings& settings, const std::string& groupBy,
                    const std::string& site, GroupCurves& curves, std::string& why)
{
    GroupCurveReader reader({settings, groupBy, {}, site}, curves);
    TrialReader trial(reader);
    std::optional<TrialError> error;
    const bool read = ReadTrialFile(
        path,
        [&](std::string_view piece) {
            error = trial.read(piece);
            return !error;
        },
        why);
    if (!read)
        return false;
    if (!error)
        error = trial.finish();
    if (!error)
        error = reader.finish();
    if (error)
        why = (error->line ? "line " + std::to_string(error->line) + ": " : std::string()) +
              error->message;
    return !error;
}

std::vector<GroupCurve> ReadGroupCurves(const QString& path, const BatchSettings& settings,
                                        const std::string& groupBy, const std::string& site,
                                        const std::vector<std::string>& groups, std::string& why)
{
    GroupCurves curves;
    for (const std::string& group : groups)
        curves.choose(site, group);
    return ReadCurvesInto(path, settings, groupBy, site, curves, why) ? curves.curves()
                                                                      : std::vector<GroupCurve>();
}

QString SiteOf(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

QString ReportName(const QString& trial)
{
    const QFileInfo info(trial);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-report.pdf"));
}

bool TrialReports::grouped(const TrialWindow* window)
{
    return window->m_plotsModel->table() && window->m_groupBy->currentIndex() > 0 &&
           window->m_running;
}

GroupCurveSources TrialReports::curveSources(const TrialWindow* window)
{
    GroupCurveSources sources;
    sources.label.trial = QFileInfo(window->m_path).fileName();
    sources.label.folder = QFileInfo(window->m_path).absolutePath();
    sources.label.site = SiteOf(window->m_path);
    sources.label.groupColumn = QString::fromStdString(window->m_groupName);
    for (const GroupSummary& group : window->m_summaryModel->summary().groups)
        sources.groups.push_back(group.name);
    sources.standards = standardsOf(*window->m_summaryModel, *window->m_running);
    const std::shared_ptr<const TrialTable>& table = window->m_plotsModel->table();
    const BatchSettings settings{table->year, table->defaultPeriod};
    sources.read = [path = window->m_path, settings, groupBy = window->m_groupName,
                    site = sources.label.site.toStdString()](const std::vector<std::string>& groups,
                                                             std::string& why) {
        return ReadGroupCurves(path, settings, groupBy, site, groups, why);
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

CurveLabel TrialReports::placeOf(const TrialWindow* window, std::size_t row)
{
    CurveLabel place;
    place.site = SiteOf(window->m_path);
    const std::shared_ptr<const TrialTable>& table = window->m_plotsModel->table();
    const int at = window->m_groupBy->currentIndex();
    if (table && at > 0) {
        place.groupColumn = QString::fromStdString(window->m_groupName);
        place.group = QString::fromStdString(std::string(table->cell(row, std::size_t(at))));
    }
    return place;
}

bool TrialReports::report(const TrialWindow* window, ReportData& data, std::string& why)
{
    const std::string site = SiteOf(window->m_path).toStdString();
    data.trials = {QFileInfo(window->m_path).fileName().toStdString()};
    data.groupedBy = window->m_groupName;
    data.standards = standardsOf(*window->m_summaryModel, *window->m_running);
    OrError<Evaluation> drawn = Evaluate({{site, window->m_running.get()}}, data.standards);
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        why = error->message;
        return false;
    }
    data.evaluation = std::get<Evaluation>(std::move(drawn));
    const std::shared_ptr<const TrialTable>& table = window->m_plotsModel->table();
    GroupCurves curves;
    curves.keepRefused();
    ChooseCurves(data.evaluation, data.standards, curves);
    if (!ReadCurvesInto(window->m_path, {table->year, table->defaultPeriod}, data.groupedBy, site,
                        curves, why))
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
        "Export report", ReportName(window->m_path).toStdString(), "pdf");
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
        !WriteBesideTrial(QString::fromStdString(path), window->m_path,
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
