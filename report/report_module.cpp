// The entries of the report module, which the command line loads when a
// report is asked for: the application object that fonts need, on the
// offscreen platform so that no display is wanted, and the report itself.
#include "report.h"
#include "report_entry.h"

#include <QGuiApplication>

#include <type_traits>

extern "C" Q_DECL_EXPORT QCoreApplication* quarvenReportApplication(int& argc, char** argv)
{
    // A batch run paints only into files: a display, even where there is
    // one, is never wanted.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
}

extern "C" Q_DECL_EXPORT bool quarvenWriteReport(const quarven::ReportData& data,
                                                 const QString& path, QString* why)
{
    return quarven::WriteReport(data, path, why);
}

extern "C" Q_DECL_EXPORT bool quarvenReportPdf(const quarven::ReportData& data, QByteArray& pdf,
                                               QString* why)
{
    return quarven::ReportPdf(data, pdf, why);
}

static_assert(std::is_same_v<decltype(&quarvenReportApplication), quarven::ReportApplicationEntry>);
static_assert(std::is_same_v<decltype(&quarvenReportPdf), quarven::ReportPdfEntry>);
static_assert(std::is_same_v<decltype(&quarvenWriteReport), quarven::WriteReportEntry>);
