// How the main window gets its curve window. The curve draws with Qt Charts
// and exports with Qt SVG, which together cost every start-up a tenth of its
// time to load; so the curve window lives in a module of its own, loaded the
// first time a user asks for the curve. Tests and benchmarks link the window
// and register its factory instead. The windows call the module's widgets
// only through the interfaces below, which both sides compile against.
#pragma once

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QByteArray;
class QLineEdit;
class QListWidget;

namespace quarven {

class Dialogs;
struct GroupCurve;
struct ReportData;
struct Standard;

// What a curve is of, for its titles and for the names its images are
// proposed under: all empty for a plot typed by hand.
struct CurveLabel {
    QString trial;  // the file's name
    QString folder; // the file's folder, where images are proposed
    QString site;
    QString groupColumn; // the column grouped by, when the plot came grouped
    QString group;
    QString plot;
};

// What the curve reads: the table, the count, the period and what the plot
// opened from a file is.
struct CurveSources {
    QListWidget* dates;
    QListWidget* levels;
    QLineEdit* count;
    QLineEdit* period;
    std::function<int()> currentYear;
    std::function<CurveLabel()> label;
};

// The curve window as the main window sees it.
class CurveView {
public:
    // The window itself, to show, raise and close.
    [[nodiscard]] virtual QWidget* widget() = 0;
    // Draws the table as it is now; changes are otherwise drawn once the
    // event loop comes round, however many came at once. The main window
    // calls it when another plot is opened, which may leave the table as it was.
    virtual void redraw() = 0;

protected:
    ~CurveView() = default;
};

// The Trial window's groups as its chart draws them, one entry a group in
// the order shown; not a number where a group has no mean (no computed plot),
// no deviation (fewer than two) or is no standard.
struct ChartGroups {
    QStringList names;
    QList<double> means;
    QList<double> deviations;
    QList<double> standards; // the declared values
};

// The Trial window's chart of each group's mean relative AUDPC and its
// standard deviation, as the Trial window sees it.
class GroupChart {
public:
    [[nodiscard]] virtual QWidget* widget() = 0;
    virtual void setGroups(const ChartGroups& groups) = 0;

protected:
    ~GroupChart() = default;
};

// The mean disease progress curves of a trial's groups: the trial, site and
// column (label, its group and plot empty), the groups in the summary's
// order, the standards, and the curves of chosen groups read from the trial
// (empty with why when it cannot be read).
struct GroupCurveSources {
    CurveLabel label;
    std::vector<std::string> groups;
    std::vector<Standard> standards;
    std::function<std::vector<GroupCurve>(const std::vector<std::string>& groups, std::string& why)>
        read;
};

// The window of those curves, with the groups to choose, as the Trial window
// sees it.
class GroupCurvesView {
public:
    [[nodiscard]] virtual QWidget* widget() = 0;
    // New groups or standards; the groups chosen stay chosen while they are
    // there, and every curve is read again.
    virtual void setSources(const GroupCurveSources& sources) = 0;

protected:
    ~GroupCurvesView() = default;
};

// The report of an evaluation, as the Trial window makes it: the PDF's
// bytes, and the pages on a printer that the system's print dialog chooses
// (false with why empty when the dialog is cancelled).
struct ReportOutput {
    bool (*pdf)(const ReportData& data, QByteArray& bytes, QString* why);
    bool (*print)(const ReportData& data, QWidget* parent, QString* why);
};

// A module's widget through its interface, empty once the widget is gone (a
// closed curve window deletes itself).
template <typename Seam> class ModuleWidget {
public:
    ModuleWidget& operator=(Seam* seam)
    {
        m_seam = seam;
        m_widget = seam ? seam->widget() : nullptr;
        return *this;
    }
    [[nodiscard]] Seam* operator->() const { return m_widget ? m_seam : nullptr; }
    [[nodiscard]] QWidget* widget() const { return m_widget; }
    explicit operator bool() const { return !m_widget.isNull(); }

private:
    Seam* m_seam = nullptr;
    QPointer<QWidget> m_widget;
};

// Makes a curve window owned by owner (it closes with it).
using CurveFactory = CurveView* (*)(const CurveSources& sources, Dialogs& dialogs, QWidget* owner);
// The name the module exports its factory under.
inline constexpr const char* kCurveFactorySymbol = "quarvenCurveFactory";
void RegisterCurveFactory(CurveFactory factory);
// A new curve window, loading the module first when no factory is known;
// nothing, with why in error, when the module cannot be loaded.
[[nodiscard]] CurveView* CreateCurveWindow(const CurveSources& sources, Dialogs& dialogs,
                                           QWidget* owner, std::string& error);

// Makes a group chart, a child of parent; drawn by the same module.
using SummaryChartFactory = GroupChart* (*)(QWidget* parent);
inline constexpr const char* kSummaryChartSymbol = "quarvenSummaryChartFactory";
void RegisterSummaryChartFactory(SummaryChartFactory factory);
[[nodiscard]] GroupChart* CreateSummaryChart(QWidget* parent, std::string& error);

// Makes a window of group curves owned by owner (it closes with it).
using GroupCurvesFactory = GroupCurvesView* (*)(const GroupCurveSources& sources, Dialogs& dialogs,
                                                QWidget* owner);
inline constexpr const char* kGroupCurvesSymbol = "quarvenGroupCurvesFactory";
void RegisterGroupCurvesFactory(GroupCurvesFactory factory);
[[nodiscard]] GroupCurvesView* CreateGroupCurves(const GroupCurveSources& sources, Dialogs& dialogs,
                                                 QWidget* owner, std::string& error);

// The report's outputs, drawn by the same module, which alone loads Qt
// Print Support.
using ReportOutputFactory = const ReportOutput* (*)();
inline constexpr const char* kReportOutputSymbol = "quarvenReportOutput";
void RegisterReportOutput(ReportOutputFactory factory);
[[nodiscard]] const ReportOutput* LoadReportOutput(std::string& error);

} // namespace quarven
