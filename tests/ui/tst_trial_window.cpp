// The Trial window over real trials: what it lists, how it sorts, filters,
// groups, goes to a plot, exports, copies, follows its file and takes keys.
// Before any Qt header, which makes "emit" a macro.
#include "trial/trial_batch.h"
#include "trial/trial_run.h"
#include "trial/trial_summary.h"

#include "support/main_window_fixture.h"
#include "ui/curve_loader.h"
#include "ui/curve_window.h"
#include "ui/summary_chart.h"
#include "ui/trial_model.h"
#include "ui/trial_window.h"

#include <QAbstractItemModel>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <tuple>

using namespace quarven;
using namespace quarven::test;

namespace {

const QString kLong = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-long.csv");
const QString kWide = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-wide.csv");
const QString kSmall = QStringLiteral(QUARVEN_EXAMPLES "/trial-wide.csv");

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

int column(const QAbstractItemModel* model, const QString& name)
{
    for (int at = 0; at < model->columnCount(); ++at)
        if (model->headerData(at, Qt::Horizontal).toString() == name)
            return at;
    return -1;
}

QString cell(const QAbstractItemModel* model, int row, const QString& name)
{
    return model->index(row, column(model, name)).data().toString();
}

} // namespace

class TestTrialWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { m_fixture.close(); }
    void listsEveryPlot_data();
    void listsEveryPlot();
    void sortsNumbersAndFilters_data();
    void sortsNumbersAndFilters();
    void groupsWithStandards_data();
    void groupsWithStandards();
    void goesToThePlotUnderTheSort_data();
    void goesToThePlotUnderTheSort();
    void exportsTheBatchFiles_data();
    void exportsTheBatchFiles();
    void exportNeverReplacesTheTrial();
    void copiesTheSelectedRows();
    void followsTheFileAndKeepsTheView();
    void keysAndNames();
    void everyActionHasAKey_data();
    void everyActionHasAKey();
    void refusesMorePlotsThanItHolds_data();
    void refusesMorePlotsThanItHolds();

private:
    TrialWindow* openTrial(const QString& path);
    QTableView* view(const char* name) { return m_trial->findChild<QTableView*>(name); }

    MainWindowFixture m_fixture;
    TrialWindow* m_trial = nullptr;
};

void TestTrialWindow::initTestCase()
{
    RegisterCurveFactory(&MakeCurveWindow);
    RegisterSummaryChartFactory(&MakeSummaryChart);
}

// Dropped on the calculator, as a user brings a file from the desktop.
TrialWindow* TestTrialWindow::openTrial(const QString& path)
{
    LossEng& window = m_fixture.open();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &drop);
    m_trial = window.trialWindow();
    if (m_trial) {
        QApplication::setActiveWindow(m_trial);
        if (!QTest::qWaitForWindowActive(m_trial))
            return nullptr;
    }
    return m_trial;
}

void TestTrialWindow::listsEveryPlot_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("plots");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("refused"); // the refused plots' names

    QTest::newRow("long layout") << kLong << 450 << 14 << QStringList{"h0279"};
    QTest::newRow("wide layout") << kWide << 450 << 14 << QStringList{"h0279"};
    QTest::newRow("a refused plot among others") << kSmall << 4 << 11 << QStringList{"104"};
}

void TestTrialWindow::listsEveryPlot()
{
    QFETCH(QString, path);
    QFETCH(int, plots);
    QFETCH(int, columns);
    QFETCH(QStringList, refused);

    QVERIFY(openTrial(path));
    const QAbstractItemModel* model = view("plots")->model();
    QCOMPARE(model->rowCount(), plots);
    QCOMPARE(model->columnCount(), columns);
    QStringList marked;
    for (int row = 0; row < model->rowCount(); ++row) {
        const bool isRefused = model->index(row, 0).data(kRefusedRole).toBool();
        QCOMPARE(cell(model, row, "message").isEmpty(), !isRefused);
        QCOMPARE(model->index(row, 0).data(Qt::BackgroundRole).isValid(), isRefused);
        if (isRefused)
            marked.append(cell(model, row, "plot"));
    }
    QCOMPARE(marked, refused);
}

void TestTrialWindow::sortsNumbersAndFilters_data()
{
    QTest::addColumn<QByteArray>("trial"); // empty for huasahuasi
    QTest::addColumn<QString>("sortBy");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("rows");

    QTest::newRow("audpc, every plot") << QByteArray() << "audpc"
                                       << "" << 450;
    QTest::newRow("relative AUDPC of one clone, any case") << QByteArray() << "relative_audpc"
                                                           << "yUNGAY" << 90;
    QTest::newRow("yield losses of ten plots") << QByteArray() << "yield_losses"
                                               << "h001" << 10;
    QTest::newRow("audps of a treatment") << QByteArray() << "audps"
                                          << "40MM" << 150;
    const QByteArray months = "plot;date;level\n9;02/07;5\n9;20/07;10\n9;30/07;20\n"
                              "10;20/06;5\n10;30/06;10\n10;10/07;20\n"
                              "100;25/06;1\n100;05/07;2\n100;15/07;3\n";
    QTest::newRow("dates without a year, across months") << months << "first_date"
                                                         << "" << 3;
    QTest::newRow("plot names that are numbers") << months << "plot"
                                                 << "" << 3;
    QTest::newRow("names that read as numbers only to a parser")
        << months + "nan;01/07;1\nnan;02/07;2\nnan;03/07;3\ninf;01/07;1\ninf;02/07;2\n"
                    "inf;03/07;3\n-inf;01/07;1\n-inf;02/07;2\n-inf;03/07;3\n"
        << "plot"
        << "" << 6;
}

// A number sorted as text puts 1000 before 5, and a date without its year
// puts 02/07 before 20/06; refused plots' empty cells come first.
void TestTrialWindow::sortsNumbersAndFilters()
{
    QFETCH(QByteArray, trial);
    QFETCH(QString, sortBy);
    QFETCH(QString, filter);
    QFETCH(int, rows);

    QTemporaryDir folder;
    const QString path = trial.isEmpty() ? kLong : folder.filePath("trial.csv");
    QVERIFY(trial.isEmpty() || write(path, trial));
    QVERIFY(openTrial(path));
    QTableView* plots = view("plots");
    QTest::keyClicks(m_trial->findChild<QLineEdit*>("filter"), filter);
    const QAbstractItemModel* model = plots->model();
    QCOMPARE(model->rowCount(), rows);
    // Numbers and dates first, then names.
    const auto key = [](const QString& text) {
        const QStringList dayMonth = text.split(QLatin1Char('/'));
        if (dayMonth.size() == 2)
            return std::tuple(1, dayMonth[1].toDouble() * 100 + dayMonth[0].toDouble(), QString());
        bool isNumber = false;
        const double number = text.toDouble(&isNumber);
        return isNumber && std::isfinite(number) ? std::tuple(1, number, QString())
                                                 : std::tuple(2, 0.0, text);
    };
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        plots->sortByColumn(column(model, sortBy), order);
        for (int row = 1; row < model->rowCount(); ++row) {
            const QString before = cell(model, row - 1, sortBy);
            const QString after = cell(model, row, sortBy);
            if (before.isEmpty() || after.isEmpty())
                continue;
            const bool ordered =
                order == Qt::AscendingOrder ? key(before) <= key(after) : key(before) >= key(after);
            QVERIFY2(ordered, qPrintable(before + " then " + after));
        }
    }
}

void TestTrialWindow::groupsWithStandards_data()
{
    QTest::addColumn<QString>("by");
    QTest::addColumn<QString>("standard"); // a group; empty for none
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("scale"); // of the standard's own group

    QTest::newRow("clone, no standard") << "clon"
                                        << ""
                                        << ""
                                        << "";
    QTest::newRow("clone, Yungay at 8") << "clon"
                                        << "Yungay"
                                        << "8"
                                        << "8.0";
    QTest::newRow("treatment, decimal comma") << "trt"
                                              << "40mm"
                                              << "6,5"
                                              << "6.5";
    QTest::newRow("a value off the scale is not used") << "clon"
                                                       << "Yungay"
                                                       << "12"
                                                       << "";
}

// Held to the means R computed from the same trial.
void TestTrialWindow::groupsWithStandards()
{
    QFETCH(QString, by);
    QFETCH(QString, standard);
    QFETCH(QString, value);
    QFETCH(QString, scale);

    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText(by));
    QAbstractItemModel* summary = view("summary")->model();
    QVERIFY(view("summary")->isVisible());
    QVERIFY(m_trial->findChild<QWidget*>("chart"));
    int expected = 0;
    const QList<QByteArray> lines =
        contents(QStringLiteral(QUARVEN_TRIAL_DATA "/summary_huasahuasi.csv")).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 9 || fields[0] != by.toUtf8())
            continue;
        const int row = expected++;
        QCOMPARE(cell(summary, row, "group"), QString::fromUtf8(fields[1]));
        QCOMPARE(cell(summary, row, "audpc_mean").toDouble(),
                 std::round(fields[4].toDouble() * 10) / 10);
        QCOMPARE(cell(summary, row, "relative_audpc_mean").toDouble(),
                 std::round(fields[8].toDouble() * 1e4) / 1e4);
    }
    QCOMPARE(summary->rowCount(), expected);
    for (int row = 0; row < summary->rowCount(); ++row) {
        if (cell(summary, row, "group") != standard)
            continue;
        QVERIFY(summary->setData(summary->index(row, column(summary, "standard")), value));
        QTRY_COMPARE(cell(summary, row, "scale"), scale);
    }
}

void TestTrialWindow::goesToThePlotUnderTheSort_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("Enter") << false;
    QTest::newRow("double click") << true;
}

// The row shown is not the row of the batch once sorted.
void TestTrialWindow::goesToThePlotUnderTheSort()
{
    QFETCH(bool, doubleClick);

    QVERIFY(openTrial(kLong));
    m_fixture.window().showCurve();
    QTableView* plots = view("plots");
    plots->sortByColumn(column(plots->model(), "audpc"), Qt::DescendingOrder);
    const QModelIndex top = plots->model()->index(0, 0);
    const QString plot = top.data().toString();
    plots->setCurrentIndex(top);
    if (doubleClick) {
        const QPoint at = plots->visualRect(top).center();
        // The press that a double click follows.
        QTest::mousePress(plots->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(plots->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::keyClick(plots, Qt::Key_Return);
    }
    QStringList levels;
    for (const QByteArray& line : contents(kLong).split('\n'))
        if (line.startsWith(plot.toUtf8() + ','))
            levels.append(QString::fromUtf8(line.split(',').last()));
    const MainWindowControls ui(m_fixture.window());
    QCOMPARE(items(ui.sX), levels);
    QCOMPARE(m_fixture.window().curveWindow()->windowTitle(),
             QStringLiteral("Disease progress curve: plot %1").arg(plot));
}

void TestTrialWindow::exportsTheBatchFiles_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file"); // in a temporary folder
    QTest::addColumn<QString>("failure");

    const QKeySequence plots(Qt::CTRL | Qt::Key_E);
    const QKeySequence summary(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    QTest::newRow("plots") << plots << "Export plots"
                           << "out.csv"
                           << "";
    QTest::newRow("summary") << summary << "Export summary"
                             << "out.csv"
                             << "";
    QTest::newRow("plots into no folder") << plots << "Export plots"
                                          << "none/out.csv"
                                          << "The plots were not exported: ";
    QTest::newRow("summary into no folder") << summary << "Export summary"
                                            << "none/out.csv"
                                            << "The summary was not exported: ";
}

void TestTrialWindow::exportsTheBatchFiles()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QString, failure);

    QTemporaryDir folder;
    const QString path = folder.filePath(file);
    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    script(m_fixture.dialogs, {"!file:" + path});
    if (!failure.isEmpty())
        m_fixture.dialogs.acknowledge();
    QTest::keySequence(m_trial, keys);
    const QStringList shown = m_fixture.dialogs.takeTranscript();
    QCOMPARE(shown.value(0),
             saveFileLine(title, QFileInfo(kLong).dir().filePath(
                                     title == "Export plots" ? "huasahuasi-long-results.csv"
                                                             : "huasahuasi-long-summary.csv")));
    if (!failure.isEmpty()) {
        QVERIFY2(shown.value(1).contains(failure), qPrintable(shown.value(1)));
        QVERIFY(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        return;
    }
    // The batch's own output for the same file.
    const QByteArray trial = contents(kLong);
    const std::string_view text(trial.constData(), std::size_t(trial.size()));
    const BatchSettings settings{kCommonYear, kDefaultPeriod};
    std::string expected = RunTrial(text, settings).results;
    if (title == "Export summary") {
        TrialSummary summary;
        TrialBatch batch(settings,
                         [&](const PlotResult& result) { summary.add(SummaryPlotOf(result, 2)); });
        TrialReader reader(batch);
        QVERIFY(!reader.read(text) && !reader.finish());
        batch.finish();
        expected = SummaryText(std::get<Summary>(summary.summarise({})), ',', DecimalMark::Point);
    }
    QCOMPARE(contents(path).toStdString(), expected);
}

// The file dialog's own "replace?" knows nothing of the open trial.
void TestTrialWindow::exportNeverReplacesTheTrial()
{
    QTemporaryDir folder;
    const QString trial = folder.filePath("trial.csv");
    const QString link = folder.filePath("link.csv");
    const QByteArray small = contents(kSmall);
    QVERIFY(write(trial, small));
    QVERIFY(QFile::link(trial, link));
    QVERIFY(openTrial(trial));
    script(m_fixture.dialogs, {"!file:" + link, "!ok"});
    QTest::keySequence(m_trial, QKeySequence(Qt::CTRL | Qt::Key_E));
    QCOMPARE(m_fixture.dialogs.takeTranscript().value(1),
             messageLine("The plots were not exported: " + link +
                         ": will not write over the trial file"));
    QCOMPARE(contents(trial), small);
}

void TestTrialWindow::copiesTheSelectedRows()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    QVERIFY(write(path, "plot,clone,date,level\n=A,G,2026-07-01,0\n=A,G,2026-07-11,5\n"
                        "B,H,2026-07-01,1\nB,H,2026-07-11,2\nC,I,2026-07-01,x\n"));
    QVERIFY(openTrial(path));
    QTableView* plots = view("plots");
    const auto centre = [plots](int row) {
        return plots->visualRect(plots->model()->index(row, 0)).center();
    };
    QTest::mouseClick(plots->viewport(), Qt::LeftButton, {}, centre(0));
    QTest::mouseClick(plots->viewport(), Qt::LeftButton, Qt::ControlModifier, centre(2));
    QTest::keySequence(plots, QKeySequence::Copy);
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith("plot\tclone\tassessments\t"));
    QVERIFY(lines[1].startsWith("'=A\tG\t2\t"));
    QVERIFY(lines[2].startsWith("C\tI\t1\t"));
}

// A spreadsheet saving the file again: a plot more, the view as it was.
void TestTrialWindow::followsTheFileAndKeepsTheView()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    const QByteArray small = contents(kSmall);
    QVERIFY(write(path, small));
    QVERIFY(openTrial(path));
    QTest::keyClicks(m_trial->findChild<QLineEdit*>("filter"), "Gala");
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clone"));
    QTableView* plots = view("plots");
    plots->sortByColumn(column(plots->model(), "audpc"), Qt::DescendingOrder);
    QAbstractItemModel* summary = view("summary")->model();
    QVERIFY(summary->setData(summary->index(0, column(summary, "standard")), "5"));
    QCOMPARE(plots->model()->rowCount(), 2);

    QVERIFY(write(path, small + "105;Gala;;;0;10;30;60\n"));
    QTRY_COMPARE(plots->model()->rowCount(), 3);
    QCOMPARE(cell(plots->model(), 0, "plot"), QStringLiteral("105"));
    QCOMPARE(groupBy->currentText(), QStringLiteral("clone"));
    QCOMPARE(cell(summary, 0, "standard"), QStringLiteral("5.0"));
    QCOMPARE(cell(summary, 0, "plots"), QStringLiteral("3"));

    // Changed again and a plot chosen before the window has read it: the row
    // now names another plot, which must not fill the calculator.
    QList<QByteArray> lines = (small + "105;Gala;;;0;10;30;60\n").split('\n');
    std::reverse(lines.begin() + 1, lines.end() - 1);
    QVERIFY(write(path, lines.join('\n')));
    plots->setCurrentIndex(plots->model()->index(0, 0));
    const QString count = MainWindowControls(m_fixture.window()).sNx->text();
    test::script(m_fixture.dialogs, {"!ok"});
    m_trial->goToPlot();
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{messageLine("The plot cannot be opened in the calculator: the file has "
                                     "changed; it is listed again")});
    QCOMPARE(MainWindowControls(m_fixture.window()).sNx->text(), count);
    QCOMPARE(cell(plots->model(), 0, "plot"), QStringLiteral("105"));
}

void TestTrialWindow::keysAndNames()
{
    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    for (const char* name : {"filter", "groupBy", "plots", "summary", "chart"}) {
        auto* widget = m_trial->findChild<QWidget*>(name);
        QVERIFY2(widget && !widget->accessibleName().isEmpty(), name);
        QVERIFY2(widget->focusPolicy() & Qt::TabFocus, name);
    }
    QVERIFY(!view("plots")->accessibleDescription().isEmpty());
    QVERIFY(!m_trial->findChild<QWidget*>("chart")->accessibleDescription().isEmpty());
}

void TestTrialWindow::everyActionHasAKey_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("focus");     // the control that has it afterwards
    QTest::addColumn<QString>("clipboard"); // how it begins afterwards; empty: untouched

    const QString folder = QFileInfo(kLong).absolutePath();
    QTest::newRow("Go to plot") << QKeySequence(Qt::CTRL | Qt::Key_Return) << QStringList()
                                << QStringList() << ""
                                << "";
    QTest::newRow("Copy") << QKeySequence(QKeySequence::Copy) << QStringList() << QStringList()
                          << ""
                          << "plot\tblock\ttrt\tclon\tplant\tassessments";
    QTest::newRow("Export plots...")
        << QKeySequence(Qt::CTRL | Qt::Key_E) << QStringList{"!file:"}
        << QStringList{saveFileLine("Export plots", folder + "/huasahuasi-long-results.csv")} << ""
        << "";
    QTest::newRow("Export summary... before a grouping")
        << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E) << QStringList{"!ok"}
        << QStringList{messageLine("Choose a column to group by first.")} << ""
        << "";
    QTest::newRow("Find") << QKeySequence(QKeySequence::Find) << QStringList() << QStringList()
                          << "filter"
                          << "";
    QTest::newRow("Close") << QKeySequence(Qt::Key_Escape) << QStringList() << QStringList() << ""
                           << "";
}

// Each key is given to the plots, as a user at the keyboard does.
void TestTrialWindow::everyActionHasAKey()
{
    QFETCH(QKeySequence, key);
    QFETCH(QStringList, script);
    QFETCH(QStringList, transcript);
    QFETCH(QString, focus);
    QFETCH(QString, clipboard);

    QVERIFY(openTrial(kLong));
    QTableView* plots = view("plots");
    plots->setFocus();
    plots->setCurrentIndex(plots->model()->index(1, 0));
    const QString count = cell(plots->model(), 1, "assessments");
    QGuiApplication::clipboard()->clear();
    test::script(m_fixture.dialogs, script);
    QTest::keySequence(plots, key);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QVERIFY(m_fixture.dialogs.scriptFinished());
    const QString name = QTest::currentDataTag();
    if (name == QLatin1String("Close"))
        QTRY_VERIFY(!m_fixture.window().trialWindow());
    else
        QVERIFY(m_fixture.window().trialWindow()->isVisible());
    if (name == QLatin1String("Go to plot"))
        QCOMPARE(MainWindowControls(m_fixture.window()).sNx->text(), count);
    if (!focus.isEmpty())
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    const QString copied = QGuiApplication::clipboard()->text();
    QCOMPARE(clipboard.isEmpty() ? copied : copied.left(clipboard.size()), clipboard);
}

void TestTrialWindow::refusesMorePlotsThanItHolds_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("most");
    QTest::addColumn<QString>("error"); // empty when read

    QTest::newRow("wide, as many as it holds") << kSmall << 4 << "";
    QTest::newRow("wide, one more, refused as it streams")
        << kSmall << 3 << "A trial of more than 3 plots is for quarven --batch";
    QTest::newRow("long, one more, refused at the end")
        << kLong << 449 << "A trial of more than 449 plots is for quarven --batch";
}

void TestTrialWindow::refusesMorePlotsThanItHolds()
{
    QFETCH(QString, path);
    QFETCH(int, most);
    QFETCH(QString, error);

    TrialTableReader reader(BatchSettings{kCommonYear, kDefaultPeriod}, std::size_t(most));
    const QByteArray bytes = contents(path);
    QVERIFY(!bytes.isEmpty());
    for (qsizetype at = 0; at < bytes.size(); at += 100)
        reader.read(std::string_view(bytes.constData() + at,
                                     std::size_t(std::min<qsizetype>(100, bytes.size() - at))));
    const std::unique_ptr<TrialTable> table = reader.finish();
    QCOMPARE(table->error ? QString::fromStdString(table->error->message) : QString(), error);
    QVERIFY(table->rows() <= std::size_t(most));
}

QTEST_MAIN(TestTrialWindow)
#include "tst_trial_window.moc"
