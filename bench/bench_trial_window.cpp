// One opening of a trial in the Trial window, on the offscreen platform with
// scripted dialogs (any dialog stops the run), as scripts/bench-trial-window.sh
// takes it in turns with the batch over the same file:
//   open_ms      Open of the file until the Trial window lists its plots and
//                has painted;
//   window_kib   the window's resident memory before the opening;
//   extra_kib    the peak resident memory of the opening above it;
//   sort_ms      the slowest column's median sort (each column sorted up and
//                down, three times each), until the view has painted;
// and the longest time the window's thread gave no answer (a 5 ms timer's
// longest wait) in each of these, the last the worst of their kind:
//   openwait_ms  the opening, until the plots are listed;
//   filter_ms    a character typed into the filter, ASCII and not, and the
//                filter cleared again;
//   copy_ms      every plot selected, then Copy;
//   goto_ms      Go to plot on the last plot of the file;
//   export_ms    Export plots, the file dialog answered at once;
//   reread_ms    the file written again, until the window has read it again.
// Given a second trial, which the window must refuse as too large, opened
// once the first trial's window is closed, the resident memory its opening
// adds:
//   told_kib     while the refusal is told;
//   refused_kib  once it has been answered.
// With --sites, the second trial is a second site, opened with the first as
// `quarven TRIAL SECOND` opens them; the figures are then over both sites,
// and the file written again is the first.
//
//   bench_trial_window TRIAL [REFUSED_TRIAL]
//   bench_trial_window --sites TRIAL SECOND
//
// Given --summary GROUPS instead, a trial of GROUPS clones of four plots is
// written, opened and grouped by clone, and the summary and its chart timed,
// each a median, until the window has painted:
//   summary_sort_ms  the slowest column's sort of the summary, up and down
//                    three times each (the chart follows the sort);
//   chart_ms         the chart given the groups again and painted;
//   standard_ms      a standard typed, or cleared, until the chart shows it.
#include "support/main_window_fixture.h"
#include "ui/curve_loader.h"
#include "ui/summary_chart.h"
#include "ui/trial_model.h"
#include "ui/trial_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

// The action's own time, or the longest wait of a 5 ms timer in the
// following milliseconds, whichever is longer: a window that reads or
// filters later, in steps, is timed by its longest step. Given `until`, the
// following time ends as soon as it holds.
double longestStall(const std::function<void()>& action, int followMs, QWidget* window,
                    const std::function<bool()>& until = {})
{
    QElapsedTimer clock;
    clock.start();
    action();
    settle(window);
    double longest = double(clock.nsecsElapsed()) / 1e6;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    qint64 last = clock.nsecsElapsed();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
        last = now;
        if (until && until())
            loop.quit();
    });
    QTimer::singleShot(followMs, &loop, &QEventLoop::quit);
    last = clock.nsecsElapsed();
    tick.start();
    loop.exec();
    return longest;
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Outside an event loop deleteLater waits for this.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Clones of four plots, each a little more diseased than the one before,
// assessed five times.
QByteArray groupedTrial(int groups)
{
    QByteArray text = "plot,clone,date,level\n";
    for (int group = 0; group < groups; ++group)
        for (int plot = 0; plot < 4; ++plot)
            for (int day = 0; day < 5; ++day)
                text += QByteArray::number(group * 4 + plot) + ",C" + QByteArray::number(group) +
                        ',' + QByteArray::number(1 + day * 7) + "/07," +
                        QByteArray::number(std::min(100, day * (group % 97 + plot + 1) / 4)) + '\n';
    return text;
}

int summaryBench(int groups)
{
    quarven::RegisterSummaryChartFactory(&quarven::MakeSummaryChart);
    quarven::test::MainWindowFixture fixture;
    quarven::LossEng& window = fixture.open();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("grouped.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(groupedTrial(groups)) < 0 || !file.flush())
        return 2;
    file.close();
    window.openFile(path);
    const auto listed = [&] {
        const quarven::TrialWindow* shown = window.trialWindow();
        const auto* plots =
            shown ? shown->findChild<QTableView*>(QStringLiteral("plots")) : nullptr;
        return plots && plots->model()->rowCount() > 0;
    };
    quarven::TrialWindow* trial = nullptr;
    if (!waitUntil(listed, 60000) || !(trial = window.trialWindow()) ||
        !QTest::qWaitForWindowExposed(trial))
        return 2;
    auto* groupBy = trial->findChild<QComboBox*>(QStringLiteral("groupBy"));
    groupBy->setCurrentIndex(groupBy->findText(QStringLiteral("clone")));
    auto* summary = trial->findChild<QTableView*>(QStringLiteral("summary"));
    auto* proxy = qobject_cast<QSortFilterProxyModel*>(summary->model());
    auto* model = qobject_cast<quarven::TrialSummaryModel*>(proxy->sourceModel());
    auto* chart =
        dynamic_cast<quarven::GroupChart*>(trial->findChild<QWidget*>(QStringLiteral("chart")));
    if (!chart || !waitUntil([&] { return proxy->rowCount() == groups; }, 60000)) {
        std::fprintf(stderr, "bench_trial_window: the trial was not grouped\n");
        return 2;
    }
    settle(trial);

    QElapsedTimer clock;
    double slowest = 0.0;
    for (int column = 0; column < proxy->columnCount(); ++column) {
        std::vector<double> times;
        for (int repeat = 0; repeat < 3; ++repeat) {
            for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                clock.restart();
                summary->sortByColumn(column, order);
                settle(trial);
                times.push_back(double(clock.nsecsElapsed()) / 1e6);
            }
        }
        slowest = std::max(slowest, medianOf(times));
    }

    std::vector<double> drawn;
    for (int repeat = 0; repeat < 11; ++repeat) {
        clock.restart();
        chart->setGroups(quarven::ChartGroupsOf(*proxy, *model));
        chart->widget()->repaint();
        drawn.push_back(double(clock.nsecsElapsed()) / 1e6);
    }

    std::vector<double> typed;
    const QString standard = QStringLiteral("C1, standard of value 5");
    for (int repeat = 0; repeat < 11; ++repeat) {
        const bool set = repeat % 2 == 0;
        int row = 0;
        while (row < proxy->rowCount() && proxy->index(row, 0).data().toString() != "C1")
            ++row;
        clock.restart();
        proxy->setData(proxy->index(row, quarven::TrialSummaryModel::kStandardColumn),
                       set ? QStringLiteral("5") : QString());
        if (!waitUntil(
                [&] { return chart->widget()->accessibleDescription().contains(standard) == set; },
                60000))
            return 2;
        settle(trial);
        typed.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("groups %d\nsummary_sort_ms %.1f\nchart_ms %.1f\nstandard_ms %.1f\n",
                int(proxy->rowCount()), slowest, medianOf(drawn), medianOf(typed));
    const QStringList shown = fixture.dialogs.takeTranscript();
    for (const QString& line : shown)
        std::fprintf(stderr, "bench_trial_window: %s\n", qPrintable(line));
    return shown.isEmpty() ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--summary") == 0)
        return summaryBench(std::max(1, std::atoi(argv[2])));
    const bool sites = argc == 4 && qstrcmp(argv[1], "--sites") == 0;
    if (sites) {
        --argc;
        ++argv;
    }
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: bench_trial_window TRIAL [REFUSED_TRIAL]\n"
                             "       bench_trial_window --sites TRIAL SECOND\n"
                             "       bench_trial_window --summary GROUPS\n");
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
    const QString path = QString::fromLocal8Bit(argv[1]);
    QTableView* plots = nullptr;
    const auto listed = [&] {
        quarven::TrialWindow* shown = window.trialWindow();
        plots = shown ? shown->findChild<QTableView*>(QStringLiteral("plots")) : nullptr;
        return plots && plots->model()->rowCount() > 0 && !shown->reading();
    };
    const double openWaitMs = longestStall(
        [&] {
            if (sites)
                window.openSites({path, QString::fromLocal8Bit(argv[2])});
            else
                window.openFile(path);
        },
        60000, &window, listed);
    quarven::TrialWindow* trial = window.trialWindow();
    if (!trial || !listed() || !QTest::qWaitForWindowExposed(trial)) {
        std::fprintf(stderr, "bench_trial_window: the Trial window did not list the trial\n");
        return 2;
    }
    settle(trial);
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    const long extra = statusKib("VmHWM:") - before;
    const int rows = plots->model()->rowCount();

    auto* filter = trial->findChild<QLineEdit*>(QStringLiteral("filter"));
    double filterMs = 0.0;
    for (const QString& typed : {QStringLiteral("9"), QStringLiteral("\u00e9")}) {
        // As a keyboard gives it: QTest spells only ASCII keys.
        filterMs =
            std::max(filterMs, longestStall(
                                   [&] {
                                       QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, typed);
                                       QApplication::sendEvent(filter, &press);
                                   },
                                   600, trial));
        filterMs = std::max(filterMs, longestStall([&] { filter->clear(); }, 600, trial));
    }
    if (!waitUntil([&] { return plots->model()->rowCount() == rows; }, 60000))
        return 2;

    const double copyMs = longestStall(
        [&] {
            plots->selectAll();
            QTest::keySequence(plots, QKeySequence::Copy);
        },
        300, trial);
    plots->clearSelection();

    plots->setCurrentIndex(plots->model()->index(rows - 1, 0));
    const double gotoMs = longestStall([&] { trial->goToPlot(); }, 300, trial);

    const QString exported = QFileInfo(QString::fromLocal8Bit(argv[1]))
                                 .dir()
                                 .filePath(QStringLiteral("bench-export.csv"));
    fixture.dialogs.file(exported);
    const double exportMs = longestStall([&] { trial->exportPlots(); }, 300, trial);
    QFile::remove(exported);
    if (fixture.dialogs.takeTranscript().size() != 1) {
        std::fprintf(stderr, "bench_trial_window: the export was not written\n");
        return 2;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return 2;
    const QByteArray bytes = file.readAll();
    file.close();
    const double rereadMs = longestStall(
        [&] {
            QFile again(path);
            if (!again.open(QIODevice::WriteOnly) || again.write(bytes) != bytes.size() ||
                !again.flush())
                std::fprintf(stderr, "bench_trial_window: the trial was not written again\n");
        },
        rows > 200000 ? 5000 : 2000, trial);

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
    // After the trial's window is closed, as a user opens another trial; the
    // memory held while the refusal is told, then once it is answered.
    long toldKib = 0;
    long refusedKib = 0;
    if (argc == 3 && !sites) {
        trial->close();
        if (!waitUntil([&] { return !window.trialWindow(); }, 60000))
            return 2;
        const long open = statusKib("VmRSS:");
        fixture.dialogs.acknowledge().meanwhile([&] { toldKib = statusKib("VmRSS:") - open; });
        window.openFile(QString::fromLocal8Bit(argv[2]));
        if (!waitUntil([&] { return fixture.dialogs.scriptFinished() && !window.trialWindow(); },
                       60000)) {
            std::fprintf(stderr, "bench_trial_window: the large trial was not refused\n");
            return 2;
        }
        settle(&window);
        refusedKib = statusKib("VmRSS:") - open;
        if (fixture.dialogs.takeTranscript().size() != 1)
            return 2;
    }
    std::printf("openwait_ms %.1f\n", openWaitMs);
    std::printf("open_ms %.1f\nwindow_kib %ld\nextra_kib %ld\nsort_ms %.1f\nfilter_ms %.1f\n"
                "copy_ms %.1f\ngoto_ms %.1f\nexport_ms %.1f\nreread_ms %.1f\nplots %d\n",
                openMs, before, extra, slowest, filterMs, copyMs, gotoMs, exportMs, rereadMs, rows);
    if (argc == 3 && !sites)
        std::printf("told_kib %ld\nrefused_kib %ld\n", toldKib, refusedKib);
    const QStringList shown = fixture.dialogs.takeTranscript();
    for (const QString& line : shown)
        std::fprintf(stderr, "bench_trial_window: %s\n", qPrintable(line));
    return shown.isEmpty() ? 0 : 2;
}
