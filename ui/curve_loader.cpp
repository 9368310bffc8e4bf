#include "curve_loader.h"

#include "app/module_loader.h"

namespace quarven {
namespace {

CurveFactory g_curveFactory = nullptr;
SummaryChartFactory g_chartFactory = nullptr;

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

} // namespace quarven
