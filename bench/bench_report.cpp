// What a printed report adds to a batch run (scripts/bench-report.sh): a
// generated trial of PLOTS plots x 10 assessments in 1,000 clones (about one
// plot in a hundred refused, two clones standards) is run as
// `quarven --batch --by clone` runs it, results made, then reported as the
// command line would: the evaluation, the trial read again for the curves
// and the refused plots, the PDF painted and written whole. Prints the
// medians of RUNS runs, each phase apart.
//
//   bench_report [PLOTS [RUNS]]
#include "report/report.h"
#include "trial/trial_run.h"

#include "app/file_io.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace quarven;

namespace {

constexpr unsigned kClones = 1000;
constexpr unsigned kAssessments = 10;
constexpr std::size_t kPiece = std::size_t{1} << 20;

std::string cloneName(unsigned clone)
{
    return "CIP " + std::to_string(390000 + clone * 37) + ".1";
}

// Sorted by plot; levels rise with the clone, one plot in 97 falls once.
std::string trial(unsigned plots)
{
    std::string text = "plot,clone,date,level\n";
    for (unsigned plot = 0; plot < plots; ++plot) {
        const unsigned clone = plot % kClones;
        const std::string lead = "P" + std::to_string(plot + 1) + "," + cloneName(clone) + ",";
        double level = 0.0;
        for (unsigned a = 0; a < kAssessments; ++a) {
            level = std::min(100.0, level + 0.5 + (clone % 200) * 0.05 + (plot % 7) * 0.1);
            const double written = plot % 97 == 0 && a == 5 ? level / 2.0 : level;
            char day[8];
            std::snprintf(day, sizeof day, "%02u/07", 1 + 3 * a);
            char number[16];
            std::snprintf(number, sizeof number, "%.1f", written);
            text += lead + day + "," + number + "\n";
        }
    }
    return text;
}

double seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// The calling thread's processor time: on a shared machine, what the report
// itself costs, whatever else runs.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const unsigned plots = argc > 1 ? unsigned(std::strtoul(argv[1], nullptr, 10)) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::string text = trial(plots);
    QTemporaryDir folder;
    const QString path = folder.filePath("report.pdf");
    const std::vector<Standard> standards{{cloneName(10), 2.0}, {cloneName(190), 8.0}};

    std::vector<double> batchTimes, evaluated, reread, painted, written, total, processor;
    std::size_t pdfBytes = 0;
    std::size_t refused = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        std::size_t resultBytes = 0;
        TrialRun batch({2026, kDefaultPeriod},
                       [&resultBytes](std::string_view piece) { resultBytes += piece.size(); });
        batch.summariseBy("clone");
        for (std::size_t at = 0; at < text.size(); at += kPiece)
            if (batch.read(std::string_view(text).substr(at, kPiece)))
                return 1;
        if (batch.finish())
            return 1;
        batchTimes.push_back(seconds(start));

        start = std::chrono::steady_clock::now();
        const auto reportStart = start;
        const double reportProcessor = threadSeconds();
        ReportData data;
        data.trials = {"generated.csv"};
        data.groupedBy = "clone";
        data.standards = standards;
        OrError<Evaluation> drawn = Evaluate({{"generated", &batch.summary()}}, standards);
        if (!std::holds_alternative<Evaluation>(drawn))
            return 1;
        data.evaluation = std::get<Evaluation>(std::move(drawn));
        GroupCurves curves;
        curves.keepRefused();
        ChooseCurves(data.evaluation, standards, curves);
        evaluated.push_back(seconds(start));

        start = std::chrono::steady_clock::now();
        GroupCurveReader reader({{2026, kDefaultPeriod}, "clone", "", "generated"}, curves);
        TrialReader again(reader);
        for (std::size_t at = 0; at < text.size(); at += kPiece)
            if (again.read(std::string_view(text).substr(at, kPiece)))
                return 1;
        if (again.finish() || reader.finish())
            return 1;
        data.curves = curves.curves();
        data.refused = curves.refused();
        refused = data.refused.size();
        reread.push_back(seconds(start));

        start = std::chrono::steady_clock::now();
        QByteArray pdf;
        QString why;
        if (!ReportPdf(data, pdf, &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
        pdfBytes = std::size_t(pdf.size());
        painted.push_back(seconds(start));

        start = std::chrono::steady_clock::now();
        std::string reason;
        if (!WriteWholeFile(path, pdf.toStdString(), reason)) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            return 1;
        }
        written.push_back(seconds(start));
        total.push_back(seconds(reportStart));
        processor.push_back(threadSeconds() - reportProcessor);
    }
    std::printf("%u plots x %u assessments, %u clones, %zu refused; %d runs; PDF %zu bytes\n",
                plots, kAssessments, kClones, refused, runs, pdfBytes);
    std::printf("median s: batch %.3f | report %.3f = evaluation %.3f + reading again %.3f + "
                "painting %.3f + writing %.3f; report's processor time %.3f\n",
                median(batchTimes), median(total), median(evaluated), median(reread),
                median(painted), median(written), median(processor));
    return median(total) < 1.0 ? 0 : 3;
}
