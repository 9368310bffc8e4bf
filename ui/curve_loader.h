// How the main window gets its curve window. The curve draws with Qt Charts
// and exports with Qt SVG, which together cost every start-up a tenth of its
// time to load; so the curve window lives in a module of its own, loaded the
// first time a user asks for the curve. Tests and benchmarks link the window
// and register its factory instead.
#pragma once

#include <functional>
#include <string>

class QLineEdit;
class QListWidget;
class QWidget;

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

// Makes a curve window owned by owner (it closes with it).
using CurveFactory = QWidget* (*)(const CurveSources& sources, Dialogs& dialogs, QWidget* owner);

// The name the module exports its factory under.
inline constexpr const char* kCurveFactorySymbol = "quarvenCurveFactory";

void RegisterCurveFactory(CurveFactory factory);

// A new curve window, loading the module first when no factory is known;
// nothing, with why in error, when the module cannot be loaded.
[[nodiscard]] QWidget* CreateCurveWindow(const CurveSources& sources, Dialogs& dialogs,
                                         QWidget* owner, std::string& error);

// The Trial window's chart of each group's mean relative AUDPC and its
// standard deviation, drawn by the same module. The widget takes its groups
// through its invokable setGroups(QStringList names, QList<double> means,
// QList<double> deviations).
using SummaryChartFactory = QWidget* (*)(QWidget* parent);
inline constexpr const char* kSummaryChartSymbol = "quarvenSummaryChartFactory";
void RegisterSummaryChartFactory(SummaryChartFactory factory);
[[nodiscard]] QWidget* CreateSummaryChart(QWidget* parent, std::string& error);

} // namespace quarven
