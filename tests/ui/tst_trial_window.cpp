// The Trial window over real trials: what it counts, groups, goes to a plot,
// exports, copies, follows its file and takes keys. Its models' sort and
// filter are tested on their own, in tst_trial_models.
#include "entry/plot_file.h"
#include "support/main_window_fixture.h"
#include "support/trial_files.h"
#include "trial/books/workbook.h"
#include "trial/trial_batch.h"
#include "trial/trial_run.h"
#include "trial/trial_summary.h"
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
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <map>
#include <optional>
#include <tuple>

using namespace quarven;
using namespace quarven::test;

namespace {

const QString kLong = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-long.csv");
const QString kWide = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-wide.csv");
const QString kSmall = QStringLiteral(QUARVEN_EXAMPLES "/trial-wide.csv");

std::string_view textOf(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), std::size_t(bytes.size()));
}

int column(const QAbstractItemModel* model, const QString& name)
{
    for (int at = 0; at < model->columnCount(); ++at)
        if (model->headerData(at, Qt::Horizontal).toString() == name ||
            model->headerData(at, Qt::Horizontal, kColumnNameRole).toString() == name)
            return at;
    return -1;
}

QString cell(const QAbstractItemModel* model, int row, const QString& name)
{
    return model->index(row, column(model, name)).data().toString();
}

// Dropped on the calculator, as a user brings a file from the desktop.
void dropOn(QWidget& window, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &drop);
}

// The long trial as three sites, one file per treatment named after it, as
// R's evaluation over sites takes them.
QStringList treatmentSites(const QTemporaryDir& folder)
{
    const QList<QByteArray> lines = contents(kLong).split('\n');
    QStringList names;
    std::map<QString, QByteArray> files;
    for (qsizetype at = 1; at < lines.size(); ++at) {
        const QString trt = QString::fromUtf8(lines[at].split(',').value(2));
        if (trt.isEmpty())
            continue;
        if (!files.count(trt))
            names.append(trt);
        files[trt] += lines[at] + '\n';
    }
    QStringList paths;
    for (const QString& name : names) {
        paths.append(folder.filePath(name + ".csv"));
        if (!writeFile(paths.back(), lines[0] + '\n' + files[name]))
            return {};
    }
    return paths;
}

// A sheet's cells as texts.
class SheetRecords final : public FieldSink {
public:
    std::vector<QStringList> rows;
    void separator(char) override {}
    bool record(std::uint32_t, Items<std::string_view> fields) override
    {
        rows.emplace_back();
        for (const std::string_view field : fields)
            rows.back() << QString::fromUtf8(field.data(), qsizetype(field.size()));
        return true;
    }
    void end(std::uint32_t) override {}
};

} // namespace

class TestTrialWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { m_fixture.close(); }
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
    void copiesInTheDesktopsMark_data();
    void copiesInTheDesktopsMark();
    void showsControlCharacters();
    void readsAPlotNoFurtherThanItGoes_data();
    void readsAPlotNoFurtherThanItGoes();
    void exportsTheTableShownWhenWritten_data();
    void exportsTheTableShownWhenWritten();
    void followsThePeriod_data();
    void followsThePeriod();
    void standardsBelongToTheirGrouping();
    void groupsByTheColumnChosen();
    void followsARemovedFile_data();
    void followsARemovedFile();
    void waitsForAWholeRow();
    void menuFromTheKeyboard();
    void standardKeepsTheCurrentCell();
    void addsOrReplacesASite_data();
    void addsOrReplacesASite();
    void comparesTheSitesAsR();
    void asksAboutEachSiteOpened_data();
    void asksAboutEachSiteOpened();
    void calculatorFollowsItsPlot_data();
    void calculatorFollowsItsPlot();
    void filterReachesTheSummary_data();
    void filterReachesTheSummary();
    void opensWhollyOnTheScreen_data();
    void opensWhollyOnTheScreen();

private:
    TrialWindow* openTrial(const QString& path);
    QTableView* view(const char* name) { return m_trial->findChild<QTableView*>(name); }

    MainWindowFixture m_fixture;
    TrialWindow* m_trial = nullptr;
};

// Copy follows the desktop's decimal mark: a comma here, whatever the
// locale the test runs in.
void TestTrialWindow::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    RegisterCurveFactory(&MakeCurveWindow);
    RegisterSummaryChartFactory(&MakeSummaryChart);
}

TrialWindow* TestTrialWindow::openTrial(const QString& path)
{
    LossEng& window = m_fixture.open();
    dropOn(window, path);
    m_trial = window.trialWindow();
    if (m_trial) {
        QApplication::setActiveWindow(m_trial);
        if (!QTest::qWaitForWindowActive(m_trial) ||
            !QTest::qWaitFor([this] { return !m_trial->reading(); }))
            return nullptr;
    }
    return m_trial;
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
    QTest::addColumn<QString>("path");
    QTest::newRow("Enter") << false << kLong;
    QTest::newRow("double click") << true << kLong;
    QTest::newRow("a workbook") << false
                                << QStringLiteral(QUARVEN_BOOKS_DATA "/huasahuasi-long.xlsx");
}

// The row shown is not the row of the batch once sorted. A workbook's plot
// is the one its CSV export holds.
void TestTrialWindow::goesToThePlotUnderTheSort()
{
    QFETCH(bool, doubleClick);
    QFETCH(QString, path);

    QVERIFY(openTrial(path));
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
    QStringList dates, levels;
    for (const QByteArray& line : contents(kLong).split('\n')) {
        if (!line.startsWith(plot.toUtf8() + ','))
            continue;
        const QList<QByteArray> fields = line.split(',');
        const QDate date = QDate::fromString(QString::fromUtf8(fields[5]), Qt::ISODate);
        dates.append(date.toString(QStringLiteral("dd/MM")));
        levels.append(QString::fromUtf8(fields.last()));
    }
    const MainWindowControls ui(m_fixture.window());
    QCOMPARE(items(ui.sTx), dates);
    QCOMPARE(items(ui.sX), levels);
    // Its results at once, as Calculate gives them.
    const QStringList results{ui.sWEvro->text(), ui.sPotEvro->text()};
    QVERIFY(!results[0].isEmpty() && !results[1].isEmpty());
    ui.Command1->click();
    QCOMPARE((QStringList{ui.sWEvro->text(), ui.sPotEvro->text()}), results);
    QCOMPARE(m_fixture.window().curveWindow()->windowTitle(),
             QStringLiteral("Disease progress curve: %1, site %2, plot %3")
                 .arg(QFileInfo(path).fileName(), QFileInfo(path).completeBaseName(), plot));
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
    QTest::newRow("summary as a workbook") << summary << "Export summary"
                                           << "out.xlsx"
                                           << "";
    QTest::newRow("workbook into no folder") << plots << "Export plots"
                                             << "none/out.xlsx"
                                             << "The plots were not exported: ";
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
    if (!file.endsWith(".xlsx")) {
        QCOMPARE(contents(path).toStdString(), expected);
        return;
    }
    // The same cells, read back by the project's own reader.
    SheetRecords sheet;
    const std::optional<TrialError> error =
        ReadWorkbook(WorkbookSource::File(path.toStdString()), "summary", sheet);
    QVERIFY2(!error, error ? error->message.c_str() : "");
    const QStringList lines = QString::fromStdString(expected).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(qsizetype(sheet.rows.size()), lines.size());
    for (qsizetype row = 0; row < lines.size(); ++row) {
        const QStringList cells = lines[row].split(',');
        // Empty cells at a row's end are no cells.
        QStringList got = sheet.rows[std::size_t(row)];
        QVERIFY(got.size() <= cells.size());
        while (got.size() < cells.size())
            got.append(QString());
        for (qsizetype at = 0; at < cells.size(); ++at) {
            bool number = false;
            const double value = cells[at].toDouble(&number);
            if (number && row > 0)
                QVERIFY2(std::abs(got[at].toDouble() - value) < 1e-9,
                         qPrintable(got[at] + " for " + cells[at]));
            else
                QCOMPARE(got[at], cells[at]);
        }
    }
}

// The file dialog's own "replace?" knows nothing of the open trial.
void TestTrialWindow::exportNeverReplacesTheTrial()
{
    QTemporaryDir folder;
    const QString trial = folder.filePath("trial.csv");
    const QString link = folder.filePath("link.csv");
    const QByteArray small = contents(kSmall);
    QVERIFY(writeFile(trial, small));
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
    QVERIFY(writeFile(path, "plot,clone,date,level\n=A,G,2026-07-01,0\n=A,G,2026-07-11,5\n"
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
    QVERIFY(lines[1].startsWith("'=A\tG\t2\t2026-07-01\t2026-07-11\t52\t25\t0,5\t"));
    QVERIFY(lines[2].startsWith("C\tI\t1\t"));

    // The summary's rows while it has the focus.
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clone"));
    QTableView* summary = view("summary");
    summary->setFocus();
    summary->selectRow(1);
    QTest::keySequence(summary, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text().split('\n'),
             (QStringList{"group\tstandard\tplots\trefused\taudpc_mean\taudpc_sd\t"
                          "yield_losses_mean\tyield_losses_sd\trelative_audpc_mean\t"
                          "relative_audpc_sd\taudps_mean\taudps_sd\trank\tscale",
                          "H\t\t1\t0\t15,0\t\t0,29\t\t0,0150\t\t30,0\t\t1\t", ""}));
}

// A spreadsheet saving the file again: a plot more, the view as it was.
void TestTrialWindow::followsTheFileAndKeepsTheView()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    const QByteArray small = contents(kSmall);
    QVERIFY(writeFile(path, small));
    QVERIFY(openTrial(path));
    auto* status = m_trial->findChild<QLabel*>("status");
    QCOMPARE(status->text(), QStringLiteral("4 plots, 1 refused"));
    QTest::keyClicks(m_trial->findChild<QLineEdit*>("filter"), "Gala");
    QCOMPARE(status->text(), QStringLiteral("2 of 4 plots shown, 1 refused"));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clone"));
    QTableView* plots = view("plots");
    plots->sortByColumn(column(plots->model(), "audpc"), Qt::DescendingOrder);
    QAbstractItemModel* summary = view("summary")->model();
    QVERIFY(summary->setData(summary->index(0, column(summary, "standard")), "5"));
    QCOMPARE(plots->model()->rowCount(), 2);
    const auto selected = [plots] {
        QStringList names;
        for (const QModelIndex& row : plots->selectionModel()->selectedRows())
            names.append(row.data().toString());
        return names;
    };
    plots->selectRow(cell(plots->model(), 0, "plot") == "101" ? 0 : 1);
    QCOMPARE(selected(), QStringList{"101"});

    QVERIFY(writeFile(path, small + "105;Gala;;;0;10;30;60\n"));
    QTRY_COMPARE(plots->model()->rowCount(), 3);
    QVERIFY2(status->text().startsWith("3 of 5 plots shown, 1 refused; Standards: 1"),
             qPrintable(status->text()));
    QCOMPARE(cell(plots->model(), 0, "plot"), QStringLiteral("105"));
    QCOMPARE(selected(), QStringList{"101"});
    QCOMPARE(groupBy->currentText(), QStringLiteral("clone"));
    QCOMPARE(cell(summary, 0, "standard"), QStringLiteral("5.0"));
    QCOMPARE(cell(summary, 0, "plots"), QStringLiteral("3"));

    // Changed again and a plot chosen before the window has read it: the row
    // now names another plot, which must not fill the calculator.
    QList<QByteArray> lines = (small + "105;Gala;;;0;10;30;60\n").split('\n');
    std::reverse(lines.begin() + 1, lines.end() - 1);
    QVERIFY(writeFile(path, lines.join('\n')));
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
    const auto clear = m_trial->findChild<QLineEdit*>("filter")->findChildren<QToolButton*>();
    QVERIFY(!clear.isEmpty());
    for (const QToolButton* button : clear)
        QVERIFY(!button->accessibleName().isEmpty());
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
    // The window opens with the filter focused, which has keys of its own.
    QTest::newRow("Copy from the filter")
        << QKeySequence(QKeySequence::Copy) << QStringList() << QStringList() << "filter"
        << "plot\tblock\ttrt\tclon\tplant\tassessments";
    QTest::newRow("Export plots... from the filter")
        << QKeySequence(Qt::CTRL | Qt::Key_E) << QStringList{"!file:"}
        << QStringList{saveFileLine("Export plots", folder + "/huasahuasi-long-results.csv")}
        << "filter"
        << "";
}

// Each key is given to the plots, or to the filter, as a user at the
// keyboard does.
void TestTrialWindow::everyActionHasAKey()
{
    QFETCH(QKeySequence, key);
    QFETCH(QStringList, script);
    QFETCH(QStringList, transcript);
    QFETCH(QString, focus);
    QFETCH(QString, clipboard);

    QVERIFY(openTrial(kLong));
    QTableView* plots = view("plots");
    plots->setCurrentIndex(plots->model()->index(1, 0));
    const QString count = cell(plots->model(), 1, "assessments");
    QWidget* given = QString(QTest::currentDataTag()).endsWith("from the filter")
                         ? static_cast<QWidget*>(m_trial->findChild<QLineEdit*>("filter"))
                         : plots;
    given->setFocus();
    QGuiApplication::clipboard()->clear();
    test::script(m_fixture.dialogs, script);
    QTest::keySequence(given, key);
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
    // Nothing of a refused trial is held while the refusal is told.
    if (table->error)
        QCOMPARE(table->cells.capacity() + table->results.capacity() + table->rows(),
                 std::string().capacity() * 2);
}

void TestTrialWindow::copiesInTheDesktopsMark_data()
{
    QTest::addColumn<char>("mark");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("lines"); // after the header

    const QString formula = "'=A\tG H\t2\t2026-07-01\t2026-07-11\t52\t28\t0.5\t0.0275\t55.0\t";
    const QString plain = "B\tK\t2\t2026-07-01\t2026-07-11\t52\t15\t0.3\t0.0150\t30.0\t";
    const QString refused =
        "C\tK\t1\t\t\t52\t\t\t\t\tThe damage level => ( x ) is not a number (line 6)";
    QTest::newRow("decimal comma")
        << ',' << QList<int>{0, 2} << QStringList{QString(formula).replace('.', ','), refused};
    QTest::newRow("decimal point, in the order shown")
        << '.' << QList<int>{1, 0} << QStringList{plain, formula};
}

// Numbers a spreadsheet reads in its locale, dates in any, texts as texts.
void TestTrialWindow::copiesInTheDesktopsMark()
{
    QFETCH(char, mark);
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, lines);

    const auto table = tableOf("plot,clone,date,level\n=A,\"G\tH\",01/07,0\n=A,\"G\tH\",11/07,5.5\n"
                               "B,K,2026-07-01,1\nB,K,2026-07-11,2\nC,K,01/07,x\n");
    lines.prepend("plot\tclone\tassessments\tfirst_date\tlast_date\tperiod\taudpc\tyield_losses\t"
                  "relative_audpc\taudps\tmessage");
    const std::vector<std::uint32_t> chosen(rows.begin(), rows.end());
    QCOMPARE(QString::fromUtf8(CopiedPlots(*table, chosen, mark)), lines.join('\n') + '\n');
}

// A screen reader's text is cut at a NUL, and a line break splits a row.
void TestTrialWindow::showsControlCharacters()
{
    QCOMPARE(ShownText(std::string_view("a\0b\tc\n\x7f", 7)), QString::fromUtf8("a␀b␉c␊␡"));
    QCOMPARE(ShownText("Ñandú"), QString::fromUtf8("Ñandú"));
}

void TestTrialWindow::readsAPlotNoFurtherThanItGoes_data()
{
    QTest::addColumn<QByteArray>("trial");
    QTest::addColumn<int>("index");

    QTest::newRow("long, the first plot") << contents(kLong) << 0;
    QTest::newRow("long, the last plot") << contents(kLong) << 449;
    QTest::newRow("wide, a refused plot") << contents(kWide) << 278;
    QTest::newRow("wide, the last plot") << contents(kWide) << 449;
    // A field left open for more than a megabyte stops the whole file.
    QTest::newRow("wide, a broken row after the plot")
        << contents(kSmall) + "\"" + QByteArray(2 << 20, 'x') << 1;
}

// The plot the calculator gets is the one the whole file gives.
void TestTrialWindow::readsAPlotNoFurtherThanItGoes()
{
    QFETCH(QByteArray, trial);
    QFETCH(int, index);

    PlotReader reader(std::size_t(index), kCommonYear, kDefaultPeriod);
    qsizetype at = 0;
    while (at < trial.size() && reader.read(textOf(trial.mid(at, 4096))))
        at += 4096;
    const OpenedTrial opened = reader.finish();
    QVERIFY(!opened.error && opened.plot);
    // The whole file, less what follows a wide plot's row.
    const qsizetype broken = trial.indexOf('"');
    const OpenedTrial whole = ReadPlot(textOf(broken < 0 ? trial : trial.left(broken)),
                                       std::size_t(index), kCommonYear, kDefaultPeriod);
    QVERIFY(whole.plot);
    const PlotSummary& got = opened.plot->summary;
    const PlotSummary& wanted = whole.plot->summary;
    QCOMPARE(std::tie(got.name, got.copied, got.audpc, got.losses, got.refusal),
             std::tie(wanted.name, wanted.copied, wanted.audpc, wanted.losses, wanted.refusal));
    QCOMPARE(opened.plot->dates, whole.plot->dates);
    QCOMPARE(opened.plot->levels, whole.plot->levels);
}

void TestTrialWindow::exportsTheTableShownWhenWritten_data()
{
    QTest::addColumn<QByteArray>("meanwhile"); // written while the dialog waits
    QTest::addColumn<bool>("readable");

    QTest::newRow("a plot more") << contents(kSmall) + "105;Gala;;;0;10;30;60\n" << true;
    QTest::newRow("a file the window cannot read") << QByteArray("plot;date\n") << false;
}

// A spreadsheet saves the trial while the save dialog waits, and the window
// reads it again: the export is what the window shows once the dialog is
// answered, and nothing freed meanwhile is read.
void TestTrialWindow::exportsTheTableShownWhenWritten()
{
    QFETCH(QByteArray, meanwhile);
    QFETCH(bool, readable);

    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    QVERIFY(writeFile(path, contents(kSmall)));
    QVERIFY(openTrial(path));
    const QString out = folder.filePath("out.csv");
    auto* status = m_trial->findChild<QLabel*>("status");
    m_fixture.dialogs.file(out).meanwhile([&] {
        QVERIFY(writeFile(path, meanwhile));
        QVERIFY(QTest::qWaitFor([&] {
            return readable ? view("plots")->model()->rowCount() == 5
                            : status->text().contains("The file cannot be read");
        }));
    });
    QTest::keySequence(m_trial, QKeySequence(Qt::CTRL | Qt::Key_E));
    const QByteArray shown = readable ? meanwhile : contents(kSmall);
    QCOMPARE(contents(out).toStdString(),
             RunTrial(textOf(shown), BatchSettings{kCommonYear, kDefaultPeriod}).results);
}

void TestTrialWindow::followsThePeriod_data()
{
    QTest::addColumn<int>("option"); // of the calculator's period frame
    QTest::newRow("Late") << 5;
    QTest::newRow("First early") << 0;
}

// Plots that give no period take the calculator's: a changed period changes
// their results, in the list and in the export.
void TestTrialWindow::followsThePeriod()
{
    QFETCH(int, option);

    QVERIFY(openTrial(kSmall));
    QTest::mouseClick(MainWindowControls(m_fixture.window()).Spel(option + 1), Qt::LeftButton);
    const int days = kPeriodOptions[std::size_t(option)].days;
    const QAbstractItemModel* plots = view("plots")->model();
    QTRY_COMPARE(cell(plots, 0, "period"), QString::number(days));
    QCOMPARE(cell(plots, 1, "period"), QStringLiteral("51")); // its own, from its dates
    QTemporaryDir folder;
    script(m_fixture.dialogs, {"!file:" + folder.filePath("out.csv")});
    m_trial->exportPlots();
    QCOMPARE(contents(folder.filePath("out.csv")).toStdString(),
             RunTrial(textOf(contents(kSmall)), BatchSettings{kCommonYear, days}).results);
}

// A standard of one grouping is no group of another, and comes back with it.
void TestTrialWindow::standardsBelongToTheirGrouping()
{
    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    QAbstractItemModel* summary = view("summary")->model();
    const auto standardOf = [&](const QString& group) {
        for (int row = 0; row < summary->rowCount(); ++row)
            if (cell(summary, row, "group") == group)
                return summary->index(row, column(summary, "standard"));
        return QModelIndex();
    };
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QVERIFY(summary->setData(standardOf("Yungay"), "8"));
    QTRY_COMPARE(cell(summary, standardOf("Yungay").row(), "scale"), QStringLiteral("8.0"));
    groupBy->setCurrentIndex(groupBy->findText("trt"));
    auto* status = m_trial->findChild<QLabel*>("status");
    QTRY_VERIFY(!status->text().contains("standard", Qt::CaseInsensitive));
    for (int row = 0; row < summary->rowCount(); ++row)
        QCOMPARE(cell(summary, row, "standard"), QString());
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QCOMPARE(standardOf("Yungay").data().toString(), QStringLiteral("8.0"));
    QTRY_COMPARE(cell(summary, standardOf("Yungay").row(), "scale"), QStringLiteral("8.0"));
}

// Two columns of one name: the second stays chosen when the file changes.
// A group of refused plots only is told as such, not as a mean of 0.
void TestTrialWindow::groupsByTheColumnChosen()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    const QByteArray trial = "plot,clone,clone,date,level\nA,G,X,01/07,1\nA,G,X,11/07,5\n"
                             "B,H,Y,01/07,1\nB,H,Y,11/07,x\n";
    QVERIFY(writeFile(path, trial));
    QVERIFY(openTrial(path));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(2);
    const QAbstractItemModel* summary = view("summary")->model();
    QCOMPARE(cell(summary, 1, "group"), QStringLiteral("Y"));
    QVERIFY2(m_trial->findChild<QWidget*>("chart")->accessibleDescription().contains(
                 "Y: no computed plot."),
             qPrintable(m_trial->findChild<QWidget*>("chart")->accessibleDescription()));

    QVERIFY(writeFile(path, trial + "C,G,Z,01/07,1\nC,G,Z,11/07,2\n"));
    QTRY_COMPARE(summary->rowCount(), 3);
    QCOMPARE(groupBy->currentIndex(), 2);
    QCOMPARE(cell(summary, 2, "group"), QStringLiteral("Z"));
}

void TestTrialWindow::followsARemovedFile_data()
{
    QTest::addColumn<bool>("folder"); // the path is a folder for a moment
    QTest::newRow("removed, then written again") << false;
    QTest::newRow("a folder for a moment") << true;
}

// As editors do: a file removed and written again is followed again.
void TestTrialWindow::followsARemovedFile()
{
    QFETCH(bool, folder);

    QTemporaryDir where;
    const QString path = where.filePath("trial.csv");
    QVERIFY(writeFile(path, contents(kSmall)));
    QVERIFY(openTrial(path));
    QVERIFY(QFile::remove(path));
    if (folder)
        QVERIFY(QDir().mkdir(path));
    auto* status = m_trial->findChild<QLabel*>("status");
    QTRY_VERIFY(status->text().contains("The file cannot be read"));
    QVERIFY(!folder || QDir().rmdir(path));
    QVERIFY(writeFile(path, contents(kSmall) + "105;Gala;;;0;10;30;60\n"));
    QTRY_COMPARE(view("plots")->model()->rowCount(), 5);
    QVERIFY(!status->text().contains("The file cannot be read"));
    QVERIFY(writeFile(path, contents(kSmall)));
    QTRY_COMPARE(view("plots")->model()->rowCount(), 4);
}

// A writer that stops half-way through a row for longer than the window
// waits for its writes to settle: the half row is never listed as a plot.
void TestTrialWindow::waitsForAWholeRow()
{
    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    QVERIFY(writeFile(path, contents(kSmall)));
    QVERIFY(openTrial(path));
    QStringList listed; // plot 105's AUDPC in each table shown
    connect(m_trial, &TrialWindow::tableShown, this, [&] {
        const QAbstractItemModel* plots = view("plots")->model();
        listed.append(cell(plots, plots->rowCount() - 1, "audpc"));
    });
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::Append));
    QVERIFY(writer.write("105;Gala;;;0;1") == 14 && writer.flush());
    QTest::qWait(300);
    QVERIFY(writer.write("0;30;60\n") == 8 && writer.flush());
    writer.close();
    QTRY_COMPARE(view("plots")->model()->rowCount(), 5);
    QCOMPARE(listed.value(0), QStringLiteral("490"));
    QCOMPARE(listed.filter("490").size(), listed.size());
}

// Shift+F10 opens the menu the Menu key opens; Escape closes the menu only.
// The menu offers the buttons' actions, in two groups, and the combined view.
void TestTrialWindow::menuFromTheKeyboard()
{
    QVERIFY(openTrial(kSmall));
    QStringList buttons;
    const QLayout* row = m_trial->layout()->itemAt(m_trial->layout()->count() - 1)->layout();
    for (int at = 0; row && at < row->count(); ++at)
        if (const auto* button = qobject_cast<QPushButton*>(row->itemAt(at)->widget()))
            buttons.append(button->text());
        else
            buttons.append(row->itemAt(at)->spacerItem() ? "|" : "?");
    QCOMPARE(buttons, (QStringList{"Go to plot", "Copy", "Export plots...", "Export summary...",
                                   "Export fit...", "Export combined...", "Curves...",
                                   "Export report...", "Print...", "|", "Find", "Close"}));
    QTableView* plots = view("plots");
    plots->setFocus();
    plots->setCurrentIndex(plots->model()->index(1, 0));
    QStringList entries;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (const QAction* entry : menu->actions())
            entries.append(entry->text());
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    QTest::keyClick(plots, Qt::Key_F10, Qt::ShiftModifier);
    // The menu has no stretch, and one entry that is no button.
    buttons.removeAll("|");
    buttons.insert(buttons.indexOf("Export combined...") + 1, "Combined view");
    QCOMPARE(entries, buttons);
    QTest::qWait(50);
    QVERIFY(m_fixture.window().trialWindow() && m_trial->isVisible());
}

// Enter after a typed standard leaves the cell where it was, so that the
// next arrow goes on from it.
void TestTrialWindow::standardKeepsTheCurrentCell()
{
    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QTableView* summary = view("summary");
    summary->setFocus();
    const int standard = column(summary->model(), "standard");
    // Sorted by a column the standard changes, with other rows selected too.
    summary->sortByColumn(column(summary->model(), "relative_audpc_mean"), Qt::AscendingOrder);
    const auto selected = [summary] {
        QStringList names;
        for (const QModelIndex& row : summary->selectionModel()->selectedRows())
            names.append(row.data().toString());
        names.sort();
        return names;
    };
    summary->selectionModel()->select(summary->model()->index(0, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    summary->selectionModel()->select(summary->model()->index(4, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    summary->selectionModel()->setCurrentIndex(summary->model()->index(2, standard),
                                               QItemSelectionModel::Select |
                                                   QItemSelectionModel::Rows);
    const QStringList before = selected();
    QCOMPARE(before.size(), 3);
    QTest::keyClick(summary, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "5");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(m_trial->findChild<QLabel*>("status")->text().contains("Standards: 1"), true);
    QCOMPARE(selected(), before);
    summary->setCurrentIndex(summary->model()->index(2, standard));
    QTest::keyClick(summary, Qt::Key_Down);
    QCOMPARE(summary->currentIndex().row(), 3);
    QCOMPARE(summary->currentIndex().column(), standard);
}

void TestTrialWindow::addsOrReplacesASite_data()
{
    QTest::addColumn<int>("pick"); // -1 cancels
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("plots");
    QTest::addColumn<QString>("firstColumn");

    QTest::newRow("as another site")
        << 0 << "Trial: trial-wide.csv, huasahuasi-long.csv" << 454 << "site";
    QTest::newRow("in place of what it holds")
        << 1 << "Trial: huasahuasi-long.csv" << 450 << "plot";
    QTest::newRow("cancelled") << -1 << "Trial: trial-wide.csv" << 4 << "plot";
}

// A second trial dropped while one is shown: the user chooses.
void TestTrialWindow::addsOrReplacesASite()
{
    QFETCH(int, pick);
    QFETCH(QString, title);
    QFETCH(int, plots);
    QFETCH(QString, firstColumn);

    QVERIFY(openTrial(kSmall));
    m_fixture.dialogs.pick(pick < 0 ? std::nullopt : std::optional<std::size_t>(pick));
    dropOn(m_fixture.window(), kLong);
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{chooseLine("Open a trial",
                                    "The Trial window holds trial-wide. Open huasahuasi-long.csv "
                                    "as another site of the evaluation, or in place of what it "
                                    "holds?",
                                    {"As another site", "In place of what it holds"})});
    QTRY_COMPARE(view("plots")->model()->rowCount(), plots);
    QVERIFY(QTest::qWaitFor([this] { return !m_trial->reading(); }));
    QCOMPARE(m_trial->windowTitle(), title);
    QCOMPARE(view("plots")->model()->headerData(0, Qt::Horizontal).toString(), firstColumn);
}

// Three sites by clone with two standards, against R: the combined table
// exported, the fit's warning in view, the rank correlations; an export
// over a site's file is refused.
void TestTrialWindow::asksAboutEachSiteOpened_data()
{
    QTest::addColumn<bool>("traitChosen");
    QTest::newRow("the trait of the observations chosen: both sites") << true;
    QTest::newRow("the question cancelled: that file left out") << false;
}

// As quarven BOOK TRIAL opens them: a field book is asked about as Open asks.
void TestTrialWindow::asksAboutEachSiteOpened()
{
    QFETCH(bool, traitChosen);
    m_fixture.dialogs.pick(traitChosen ? std::optional<std::size_t>(0) : std::nullopt);
    m_fixture.open().openSites({QStringLiteral(QUARVEN_BOOKS_DATA "/observations.xlsx"), kSmall});
    QVERIFY(m_fixture.dialogs.scriptFinished());
    m_trial = m_fixture.window().trialWindow();
    QVERIFY(m_trial);
    QVERIFY(QTest::qWaitFor([this] { return !m_trial->reading(); }));
    // The observations hold two plots of the trait chosen.
    const int small = int(tableOf(contents(kSmall))->rows());
    QTRY_COMPARE(view("plots")->model()->rowCount(), small + (traitChosen ? 2 : 0));
}

void TestTrialWindow::comparesTheSitesAsR()
{
    QTemporaryDir folder;
    const QStringList paths = treatmentSites(folder);
    QCOMPARE(paths.size(), 3);
    m_fixture.open().openSites(paths);
    m_trial = m_fixture.window().trialWindow();
    QVERIFY(m_trial);
    QTRY_COMPARE(view("plots")->model()->rowCount(), 450);
    QVERIFY(QTest::qWaitFor([this] { return !m_trial->reading(); }));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QAbstractItemModel* summary = view("summary")->model();
    for (const auto& [group, value] : {std::pair("Yungay", "5"), std::pair("Musuq", "8")})
        for (int row = 0; row < summary->rowCount(); ++row)
            if (cell(summary, row, "group") == group && cell(summary, row, "site") == "40mm")
                QVERIFY(summary->setData(summary->index(row, column(summary, "standard")), value));
    QTRY_COMPARE(view("fit")->model()->rowCount(), 6);
    const auto* warnings = m_trial->findChild<QListWidget*>("warnings");
    QCOMPARE(warnings->count(), 1);
    QCOMPARE(warnings->item(0)->text(),
             QStringLiteral("Site \"40mm\": the standard \"Yungay\" of value 5 is fitted at 2.5, "
                            "2 units or more from its value"));
    QVERIFY(!warnings->isHidden());

    std::map<QString, QString> fromR; // group|site|measure, rounded as the table writes it
    QStringList groups;
    for (const QByteArray& line :
         contents(QStringLiteral(QUARVEN_TRIAL_DATA "/sites_huasahuasi.csv")).split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(',');
        if (fields.size() != 5 || fields[0] != "clon")
            continue;
        const bool whole = fields[3] == "sites" || fields[3] == "rank" || fields[3] == "shared";
        fromR[fields[2] + '|' + fields[1] + '|' + fields[3]] =
            QString::number(fields[4].toDouble(), 'f',
                            whole                ? 0
                            : fields[3] == "rho" ? 3
                                                 : 1);
        if (fields[3] == "sites")
            groups.append(fields[2]);
    }
    QAbstractItemModel* correlations = view("correlations")->model();
    QCOMPARE(correlations->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(cell(correlations, row, "spearman_rho"),
                 fromR[cell(correlations, row, "other site") + '|' +
                       cell(correlations, row, "site") + "|rho"]);

    script(m_fixture.dialogs, {"!file:" + paths[1], "!ok"});
    const QByteArray site = contents(paths[1]);
    QTest::keySequence(m_trial, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    QCOMPARE(m_fixture.dialogs.takeTranscript().value(1),
             messageLine("The combined table was not exported: " + paths[1] +
                         ": will not write over the trial file"));
    QCOMPARE(contents(paths[1]), site);

    const QString out = folder.filePath("combined.csv");
    m_fixture.dialogs.file(out);
    QTest::keySequence(m_trial, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    QStringList expected{
        "group,sites,scale_mean,scale_sd,scale_cv,rank,40mm,7-days,Non-application"};
    for (const QString& group : groups) {
        QStringList fields{group};
        for (const char* measure : {"sites", "scale_mean", "scale_sd", "scale_cv", "rank"})
            fields.append(fromR[group + "||" + measure]);
        for (const char* at : {"40mm", "7-days", "Non-application"})
            fields.append(fromR[group + '|' + at + "|scale"]);
        expected.append(fields.join(','));
    }
    QCOMPARE(QString::fromUtf8(contents(out)).split('\n'), expected << "");
}

void TestTrialWindow::calculatorFollowsItsPlot_data()
{
    QTest::addColumn<QByteArray>("row"); // plot 101's row in the new file
    QTest::addColumn<bool>("edited");    // the calculator's table, before the change
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QString>("note");
    const QStringList shown{"0", "2.5", "12", "35"};
    QTest::newRow("changed") << QByteArray("101;Gala;;;0;5;15;40\n") << false
                             << QStringList{"0", "5", "15", "40"} << "";
    QTest::newRow("edited in the calculator") << QByteArray("101;Gala;;;0;5;15;40\n") << true
                                              << QStringList{"0", "2.5", "12", "50"} << "";
    QTest::newRow("gone") << QByteArray() << false << shown
                          << "Plot 101, shown in the calculator, is no longer in trial.csv";
}

// The file changed on disk: the plot the calculator shows is read again, or
// said to be gone; a table the user has edited since is left alone.
void TestTrialWindow::calculatorFollowsItsPlot()
{
    QFETCH(QByteArray, row);
    QFETCH(bool, edited);
    QFETCH(QStringList, levels);
    QFETCH(QString, note);

    QTemporaryDir folder;
    const QString path = folder.filePath("trial.csv");
    QList<QByteArray> lines = contents(kSmall).split('\n');
    QVERIFY(writeFile(path, lines.join('\n')));
    QVERIFY(openTrial(path));
    QTableView* plots = view("plots");
    const auto audpcOf101 = [plots] {
        for (int at = 0; at < plots->model()->rowCount(); ++at)
            if (cell(plots->model(), at, "plot") == "101")
                return cell(plots->model(), at, "audpc");
        return QString();
    };
    const QString audpc = audpcOf101();
    plots->setCurrentIndex(
        plots->model()->index(cell(plots->model(), 0, "plot") == "101" ? 0 : 1, 0));
    m_trial->goToPlot();
    const MainWindowControls ui(m_fixture.window());
    QCOMPARE(items(ui.sX), (QStringList{"0", "2.5", "12", "35"}));
    if (edited)
        ui.sX->item(3)->setText(QStringLiteral("50"));
    lines[1] = row.chopped(row.isEmpty() ? 0 : 1);
    lines.removeAll(QByteArray());
    QVERIFY(writeFile(path, lines.join('\n') + '\n'));
    auto* status = m_trial->findChild<QLabel*>("status");
    QTRY_VERIFY(audpcOf101() != audpc);
    QTRY_COMPARE(items(ui.sX), levels);
    QCOMPARE(status->text().contains(note), true);
    if (note.isEmpty())
        QVERIFY2(!status->text().contains("no longer"), qPrintable(status->text()));
}

void TestTrialWindow::filterReachesTheSummary_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("groups");
    QTest::newRow("a clone") << "yungay" << QStringList{"Yungay"};
    QTest::newRow("a plot") << "h0001" << QStringList{"C387164.4"};
    QTest::newRow("none") << ""
                          << QStringList{"C386209.10", "C387164.4", "Cruza148", "Musuq", "Yungay"};
}

// Only the groups that keep a plot shown; their numbers stay those of every
// plot.
void TestTrialWindow::filterReachesTheSummary()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, groups);

    QVERIFY(openTrial(kLong));
    auto* groupBy = m_trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QAbstractItemModel* summary = view("summary")->model();
    const QString plots = cell(summary, 0, "plots");
    m_trial->findChild<QLineEdit*>("filter")->setText(filter);
    QStringList shown;
    for (int row = 0; row < summary->rowCount(); ++row)
        shown.append(summary->index(row, 0).data().toString());
    shown.sort();
    QCOMPARE(shown, groups);
    if (filter.isEmpty())
        QCOMPARE(cell(summary, 0, "plots"), plots);
    else
        QCOMPARE(cell(summary, 0, "plots"), QStringLiteral("90"));
}

void TestTrialWindow::opensWhollyOnTheScreen_data()
{
    QTest::addColumn<QRect>("wanted");
    QTest::addColumn<QRect>("placed");
    QTest::newRow("fits beside") << QRect(100, 50, 1000, 560) << QRect(100, 50, 1000, 560);
    QTest::newRow("beside a calculator on the right")
        << QRect(620, 50, 1000, 560) << QRect(280, 50, 1000, 560);
    QTest::newRow("wider and taller than the screen")
        << QRect(620, 500, 1400, 900) << QRect(0, 0, 1280, 800);
    QTest::newRow("above and left of it") << QRect(-30, -10, 600, 400) << QRect(0, 0, 600, 400);
}

void TestTrialWindow::opensWhollyOnTheScreen()
{
    QFETCH(QRect, wanted);
    QFETCH(QRect, placed);
    QCOMPARE(PlacedOnScreen(wanted, QRect(0, 0, 1280, 800)), placed);
}

QTEST_MAIN(TestTrialWindow)
#include "tst_trial_window.moc"
