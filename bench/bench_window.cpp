// The main window under load, on the offscreen platform with scripted
// dialogs (any dialog stops the run): typing 32767 into the count box, which
// rebuilds the three lists at every keystroke; scrolling the lists it leaves;
// Calculate on a full season; pasting the largest table, and refusing a
// clipboard of 50 MB. Baselines are plain QListWidgets of the same
// geometry and font, filled in one addItems per list.
#include "window_bench.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <array>
#include <memory>

namespace {

using namespace quarven;

// The rows of each rebuild as 32767 is typed digit by digit.
constexpr std::array<int, 5> kRebuildRows = {3, 32, 327, 3276, 32767};
constexpr int kAllRebuildRows = 3 + 32 + 327 + 3276 + 32767;
constexpr int kLargestRows = 32767;

std::unique_ptr<test::MainWindowFixture> g_main;

LossEng& mainWindow()
{
    return g_main->window();
}

std::array<QListWidget*, 3> mainLists()
{
    const test::MainWindowControls ui(mainWindow());
    return {ui.sNuch, ui.sTx, ui.sX};
}

void settle()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void setCount(const char* count)
{
    QLineEdit* sNx = test::MainWindowControls(mainWindow()).sNx;
    if (sNx->text() != QLatin1String(count))
        sNx->setText(QString::fromLatin1(count));
    settle();
}

// The texts the three lists hold after the given rebuilds, one after another.
std::array<QStringList, 3> tableTexts(std::initializer_list<int> rebuilds)
{
    std::array<QStringList, 3> texts;
    for (const int rows : rebuilds) {
        for (int row = 1; row <= rows; ++row) {
            texts[0].append(QString::number(row));
            texts[1].append(QStringLiteral(" "));
            texts[2].append(QStringLiteral(" "));
        }
    }
    return texts;
}

// Three lists placed and styled like the main window's, in a window of its size.
struct BaselineWindow {
    explicit BaselineWindow(bool uniformRows)
    {
        window.resize(mainWindow().size());
        window.setFont(mainWindow().font());
        const std::array<QListWidget*, 3> model = mainLists();
        for (std::size_t i = 0; i < lists.size(); ++i) {
            lists[i] = new QListWidget(&window);
            lists[i]->setGeometry(model[i]->geometry());
            lists[i]->setFont(model[i]->font());
            lists[i]->setUniformItemSizes(uniformRows);
        }
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("The baseline window was not shown");
    }
    QWidget window;
    std::array<QListWidget*, 3> lists{};
};

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

void BM_TypeLargeCount(benchmark::State& state)
{
    LossEng& window = mainWindow();
    const test::MainWindowControls ui(window);
    int batches = 0;
    long rows = 0;
    const QMetaObject::Connection counting =
        QObject::connect(ui.sNuch->model(), &QAbstractItemModel::rowsInserted,
                         [&](const QModelIndex&, int first, int last) {
                             ++batches;
                             rows += last - first + 1;
                         });
    for (auto _ : state) {
        // Not timed: start from a small table, with the whole count selected.
        setCount("4");
        ui.sNx->setFocus();
        ui.sNx->selectAll();
        settle();
        batches = 0;
        rows = 0;

        QElapsedTimer timer;
        timer.start();
        QTest::keyClicks(ui.sNx, QStringLiteral("32767"));
        settle();
        state.SetIterationTime(seconds(timer));

        if (batches != static_cast<int>(kRebuildRows.size()) || rows != kAllRebuildRows ||
            ui.sX->count() != kLargestRows || ui.sTx->count() != kLargestRows) {
            state.SkipWithError("typing 32767 did not rebuild the table five times");
            break;
        }
    }
    QObject::disconnect(counting);
}
BENCHMARK(BM_TypeLargeCount)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same strings as all five rebuilds together, one addItems per list.
void BM_Baseline_AddItems(benchmark::State& state, bool uniformRows)
{
    BaselineWindow baseline(uniformRows);
    const std::array<QStringList, 3> texts = tableTexts(
        {kRebuildRows[0], kRebuildRows[1], kRebuildRows[2], kRebuildRows[3], kRebuildRows[4]});
    for (auto _ : state) {
        for (QListWidget* list : baseline.lists)
            list->clear();
        settle();

        QElapsedTimer timer;
        timer.start();
        for (std::size_t i = 0; i < baseline.lists.size(); ++i)
            baseline.lists[i]->addItems(texts[i]);
        settle();
        state.SetIterationTime(seconds(timer));

        if (baseline.lists[2]->count() != kAllRebuildRows) {
            state.SkipWithError("the baseline lists were not filled");
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_Baseline_AddItems, uniform_rows, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Baseline_AddItems, default_rows, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Each list to its last row and back to its first, painted each time: six
// frames per iteration; slowest_frame_ms is the longest single one.
void scrollBothWays(benchmark::State& state, const std::array<QListWidget*, 3>& lists)
{
    double slowest = 0.0;
    for (auto _ : state) {
        double total = 0.0;
        for (QListWidget* list : lists) {
            for (const bool down : {true, false}) {
                QElapsedTimer timer;
                timer.start();
                if (down)
                    list->scrollToBottom();
                else
                    list->scrollToTop();
                list->viewport()->repaint();
                const double frame = seconds(timer);
                total += frame;
                slowest = std::max(slowest, frame);
            }
        }
        state.SetIterationTime(total);
        const QScrollBar* bar = lists[2]->verticalScrollBar();
        if (bar->value() != bar->minimum() || bar->maximum() <= 0) {
            state.SkipWithError("the lists did not scroll");
            break;
        }
    }
    state.counters["slowest_frame_ms"] = slowest * 1e3;
}

void BM_ScrollLargeTable(benchmark::State& state)
{
    setCount("32767");
    if (test::MainWindowControls(mainWindow()).sX->count() != kLargestRows) {
        state.SkipWithError("the table was not built");
        return;
    }
    scrollBothWays(state, mainLists());
}
BENCHMARK(BM_ScrollLargeTable)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Baseline_Scroll(benchmark::State& state)
{
    BaselineWindow baseline(true);
    const std::array<QStringList, 3> texts = tableTexts({kLargestRows});
    for (std::size_t i = 0; i < baseline.lists.size(); ++i)
        baseline.lists[i]->addItems(texts[i]);
    settle();
    scrollBothWays(state, baseline.lists);
}
BENCHMARK(BM_Baseline_Scroll)->UseManualTime()->Unit(benchmark::kMillisecond);

// Command1 on a full season typed into the lists; the results are cleared
// before each click so that every click writes them again.
void BM_CalculateThroughWindow(benchmark::State& state)
{
    LossEng& window = mainWindow();
    const test::MainWindowControls ui(window);
    bench::FillSeason(ui);
    for (auto _ : state) {
        ui.sPotEvro->clear();
        ui.sWEvro->clear();
        settle();

        QElapsedTimer timer;
        timer.start();
        ui.Command1->click();
        state.SetIterationTime(seconds(timer));

        if (ui.sWEvro->text().isEmpty() || ui.sPotEvro->text().isEmpty()) {
            state.SkipWithError("Calculate wrote no results");
            break;
        }
    }
    state.SetLabel(
        ("audpc " + ui.sWEvro->text() + ", losses " + ui.sPotEvro->text()).toStdString());
}
BENCHMARK(BM_CalculateThroughWindow)->UseManualTime()->Unit(benchmark::kMicrosecond);

void pasteTable()
{
    for (QAction* action : mainWindow().actions()) {
        if (action->text() == QLatin1String("Paste table")) {
            action->trigger();
            return;
        }
    }
    qFatal("The window has no Paste table");
}

// Dates and levels of a whole table, one row a line, as a spreadsheet copies them.
QString copiedRows(int rows)
{
    QString text;
    for (int row = 0; row < rows; ++row)
        text += QStringLiteral("%1/%2\t%3.5\n").arg(row % 28 + 1).arg(row % 12 + 1).arg(row % 100);
    return text;
}

// 32767 rows pasted into a table of three, from the first row: the plan,
// the count growing to 32767 and every cell written.
void BM_PasteLargestTable(benchmark::State& state)
{
    const test::MainWindowControls ui(mainWindow());
    QGuiApplication::clipboard()->setText(copiedRows(kLargestRows));
    for (auto _ : state) {
        setCount("3");
        test::setItems(ui.sTx, {" ", " ", " "});
        ui.sTx->setCurrentRow(0);
        settle();

        QElapsedTimer timer;
        timer.start();
        pasteTable();
        settle();
        state.SetIterationTime(seconds(timer));

        if (ui.sX->count() != kLargestRows || ui.sX->item(kLargestRows - 1)->text() != "66.5") {
            state.SkipWithError("the table was not pasted");
            break;
        }
    }
}
BENCHMARK(BM_PasteLargestTable)->UseManualTime()->Unit(benchmark::kMillisecond);

// 50 MB of rows on the clipboard, refused with its message.
void BM_RefusePasteOf50MB(benchmark::State& state)
{
    const QString block = copiedRows(1000);
    QGuiApplication::clipboard()->setText(block.repeated(50'000'000 / block.size() + 1));
    for (auto _ : state) {
        setCount("3");
        g_main->dialogs.acknowledge();
        settle();

        QElapsedTimer timer;
        timer.start();
        pasteTable();
        state.SetIterationTime(seconds(timer));

        const QStringList shown = g_main->dialogs.takeTranscript();
        if (shown.size() != 1 || !shown.front().contains("would need") ||
            test::MainWindowControls(mainWindow()).sTx->count() != 3) {
            state.SkipWithError("the paste was not refused");
            break;
        }
    }
}
BENCHMARK(BM_RefusePasteOf50MB)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return quarven::bench::RunWithMainWindow(argc, argv, g_main);
}
