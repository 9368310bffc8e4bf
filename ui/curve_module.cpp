// The entry of the curve module: the factory the main window resolves when
// the user first asks for the curve.
#include "ui/curve_loader.h"
#include "ui/curve_window.h"
#include "ui/group_curves_window.h"
#include "ui/report_output.h"
#include "ui/summary_chart.h"

extern "C" Q_DECL_EXPORT quarven::CurveFactory quarvenCurveFactory()
{
    return &quarven::MakeCurveWindow;
}

extern "C" Q_DECL_EXPORT quarven::SummaryChartFactory quarvenSummaryChartFactory()
{
    return &quarven::MakeSummaryChart;
}

extern "C" Q_DECL_EXPORT quarven::GroupCurvesFactory quarvenGroupCurvesFactory()
{
    return &quarven::MakeGroupCurves;
}

extern "C" Q_DECL_EXPORT quarven::ReportOutputFactory quarvenReportOutput()
{
    return &quarven::ReportOutputs;
}
