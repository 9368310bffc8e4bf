#include "curve_loader.h"

#include "app/module_loader.h"

namespace quarven {
namespace {

CurveFactory g_curveFactory = nullptr;
SummaryChartFactory g_chartFactory = nullptr;
GroupCurvesFactory g_groupCurvesFactory = nullptr;
ReportOutputFactory g_reportFactory = nullptr;

// The factory registered, or else the module's, loaded now.
template <typename Factory>
[[nodiscard]] bool known(Factory& factory, const char* symbol, std::string& error)
{
    if (!factory) {
        if (const auto entry = ModuleEntry<Factory (*)()>("quarven-curve", symbol, error))
            factory = entry();
    }
    return factory != nullptr;
}

} // namespace

void RegisterCurveFactory(CurveFactory factory)
{
    g_curveFactory = factory;
}

CurveView* CreateCurveWindow(const CurveSources& sources, Dialogs& dialogs, QWidget* owner,
                             std::string& error)
{
    return known(g_curveFactory, kCurveFactorySymbol, error)
               ? g_curveFactory(sources, dialogs, owner)
               : nullptr;
}

void RegisterSummaryChartFactory(SummaryChartFactory factory)
{
    g_chartFactory = factory;
}

GroupChart* CreateSummaryChart(QWidget* parent, std::string& error)
{
    return known(g_chartFactory, kSummaryChartSymbol, error) ? g_chartFactory(parent) : nullptr;
}

void RegisterGroupCurvesFactory(GroupCurvesFactory factory)
{
    g_groupCurvesFactory = factory;
}

GroupCurvesView* CreateGroupCurves(const GroupCurveSources& sources, Dialogs& dialogs,
                                   QWidget* owner, std::string& error)
{
    return known(g_groupCurvesFactory, kGroupCurvesSymbol, error)
               ? g_groupCurvesFactory(sources, dialogs, owner)
               : nullptr;
}

void RegisterReportOutput(ReportOutputFactory factory)
{
    g_reportFactory = factory;
}

const ReportOutput* LoadReportOutput(std::string& error)
{
    return known(g_reportFactory, kReportOutputSymbol, error) ? g_reportFactory() : nullptr;
}

} // namespace quarven
