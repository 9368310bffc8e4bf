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

class QLineEdit;
class QListWidget;

namespace quarven {

class Dialogs;

// What the curve reads: the table, the count, the period and the name of
// the plot opened from a file (empty for none).
struct CurveSources {
    QListWidget* dates;
    QListWidget* levels;
    QLineEdit* count;
    QLineEdit* period;
    std::function<int()> currentYear;
    std::function<std::string()> plotName;
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

} // namespace quarven
