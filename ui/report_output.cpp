#include "report_output.h"

#include "report/report.h"

#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

namespace quarven {
namespace {

PrintSetup g_setup;

bool pdf(const ReportData& data, QByteArray& bytes, QString* why)
{
    return ReportPdf(data, bytes, why);
}

bool print(const ReportData& data, QWidget* parent, QString* why)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Quarven report"));
    bool chosen = false;
    if (g_setup) {
        chosen = g_setup(printer, parent);
    } else {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QObject::tr("Print the report"));
        chosen = dialog.exec() == QDialog::Accepted;
    }
    if (!chosen) {
        if (why)
            why->clear();
        return false;
    }
    if (!PaintReport(data, printer, why))
        return false;
    if (printer.printerState() == QPrinter::Error) {
        if (why)
            *why = QObject::tr("the printer refused the pages");
        return false;
    }
    return true;
}

const ReportOutput kOutput{&pdf, &print};

} // namespace

void SetPrintSetup(PrintSetup setup)
{
    g_setup = std::move(setup);
}

const ReportOutput* ReportOutputs()
{
    return &kOutput;
}

} // namespace quarven
