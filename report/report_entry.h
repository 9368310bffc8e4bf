// How the command line, which links Qt Core only, makes a report: it loads
// the report module (Qt Gui) with ModuleEntry and calls its two entries.
// First, before any application object exists, the application the module
// makes on the offscreen platform, which needs no display; then, once the
// evaluation and curves are drawn, the report itself, as a file or as bytes.
#pragma once

#include <QByteArray>
#include <QString>

class QCoreApplication;

namespace quarven {

struct ReportData;

inline constexpr const char* kReportModule = "quarven-report";

// A QGuiApplication on the offscreen platform, owned by the caller: the
// command line's application object when a report is asked for.
using ReportApplicationEntry = QCoreApplication* (*)(int& argc, char** argv);
inline constexpr const char* kReportApplicationSymbol = "quarvenReportApplication";

// WriteReport (report.h).
using WriteReportEntry = bool (*)(const ReportData& data, const QString& path, QString* why);
inline constexpr const char* kWriteReportSymbol = "quarvenWriteReport";

// ReportPdf (report.h): the bytes, for a caller that writes them with its
// other outputs, all whole or none.
using ReportPdfEntry = bool (*)(const ReportData& data, QByteArray& pdf, QString* why);
inline constexpr const char* kReportPdfSymbol = "quarvenReportPdf";

} // namespace quarven
