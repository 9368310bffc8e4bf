// A program of Qt Core alone, as the command line is, that makes a report
// through the report module: the module's application on the offscreen
// platform, then the report of a trial grouped by clone with Yungay a
// standard of value 5, as bytes and as a file.
//
//   report_probe MODULE TRIAL OUTPUT
#include "report/report_data.h"

#include "report/report_entry.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

#include <cstdio>
#include <memory>

using namespace quarven;

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    QLibrary module(QString::fromLocal8Bit(argv[1]));
    const auto makeApplication =
        reinterpret_cast<ReportApplicationEntry>(module.resolve(kReportApplicationSymbol));
    const auto write = reinterpret_cast<WriteReportEntry>(module.resolve(kWriteReportSymbol));
    const auto pdf = reinterpret_cast<ReportPdfEntry>(module.resolve(kReportPdfSymbol));
    if (!makeApplication || !write || !pdf) {
        std::fprintf(stderr, "%s\n", qPrintable(module.errorString()));
        return 1;
    }
    const std::unique_ptr<QCoreApplication> application(makeApplication(argc, argv));

    QFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    const std::string_view text(bytes.constData(), std::size_t(bytes.size()));
    TrialSummary sums;
    TrialBatch batch({2026, kDefaultPeriod},
                     [&sums](const PlotResult& result) { sums.add(SummaryPlotOf(result, 2)); });
    if (ReadTrial(text, batch))
        return 1;
    batch.finish();

    ReportData data;
    data.trials = {argv[2]};
    data.groupedBy = "clon";
    data.standards = {{"Yungay", 5.0}};
    const OrError<Evaluation> drawn = Evaluate({{"huasahuasi", &sums}}, data.standards);
    if (!std::holds_alternative<Evaluation>(drawn))
        return 1;
    data.evaluation = std::get<Evaluation>(drawn);
    GroupCurves curves;
    curves.keepRefused();
    ChooseCurves(data.evaluation, data.standards, curves);
    GroupCurveReader reader({{2026, kDefaultPeriod}, "clon", "", "huasahuasi"}, curves);
    if (ReadTrial(text, reader) || reader.finish())
        return 1;
    data.curves = curves.curves();
    data.refused = curves.refused();

    QString why;
    QByteArray report;
    if (!pdf(data, report, &why) || !report.startsWith("%PDF-") ||
        !write(data, QString::fromLocal8Bit(argv[3]), &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    return 0;
}
