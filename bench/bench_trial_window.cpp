// One opening of a trial in the Trial window, on the offscreen platform with
// scripted dialogs (any dialog stops the run), as scripts/bench-trial-window.sh
// takes it in turns with the batch over the same file:
//   open_ms      Open of the file until the Trial window has painted;
//   window_kib   the window's resident memory before the opening;
//   extra_kib    the peak resident memory of the opening above it;
//   sort_ms      the slowest column's median sort (each column sorted up and
//                down, three times each), until the view has painted.
//
//   bench_trial_window TRIAL
#include "support/main_window_fixture.h"
#include "ui/trial_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A line of /proc/self/status in KiB: VmRSS now, VmHWM the peak since the
// peak was last cleared.
long statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool clearPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1 && refs.flush();
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

void settle(QWidget* window)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    window->repaint();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_trial_window TRIAL\n");
        return 2;
    }
    quarven::test::MainWindowFixture fixture;
    quarven::LossEng& window = fixture.open();
    settle(&window);

    const long before = statusKib("VmRSS:");
    if (before < 0 || !clearPeak()) {
        std::fprintf(stderr, "bench_trial_window: the resident memory cannot be read\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    window.openFile(QString::fromLocal8Bit(argv[1]));
    quarven::TrialWindow* trial = window.trialWindow();
    if (!trial || !QTest::qWaitForWindowExposed(trial)) {
        std::fprintf(stderr, "bench_trial_window: the Trial window did not open\n");
        return 2;
    }
    settle(trial);
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    const long extra = statusKib("VmHWM:") - before;

    auto* plots = trial->findChild<QTableView*>(QStringLiteral("plots"));
    double slowest = 0.0;
    for (int column = 0; column < plots->model()->columnCount(); ++column) {
        std::vector<double> times;
        for (int repeat = 0; repeat < 3; ++repeat) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                clock.restart();
                plots->sortByColumn(column, order);
                settle(trial);
                times.push_back(double(clock.nsecsElapsed()) / 1e6);
            }
        }
        slowest = std::max(slowest, medianOf(times));
    }
    std::printf("open_ms %.1f\nwindow_kib %ld\nextra_kib %ld\nsort_ms %.1f\nplots %d\n", openMs,
                before, extra, slowest, plots->model()->rowCount());
    return fixture.dialogs.takeTranscript().isEmpty() ? 0 : 2;
}
