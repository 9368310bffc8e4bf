// The Trial window's mean curves against the standards and its report: the
// groups offered (standards first, checked), the names curves and images are
// given, and the report exported and printed from the window, read back with
// pdftotext -layout.
#include "support/main_window_fixture.h"
#include "ui/curve_naming.h"
#include "ui/curve_window.h"
#include "ui/group_curves_window.h"
#include "ui/report_output.h"
#include "ui/summary_chart.h"
#include "ui/trial_model.h"
#include "ui/trial_window.h"

#include <QComboBox>
#include <QListWidget>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

const QString kLong = QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-long.csv");

} // namespace

class TestTrialCurves : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void groupsOffered_data();
    void groupsOffered();
    void proposedNames_data();
    void proposedNames();
    void curvesAgainstTheStandards();
    void reportFromTheWindow_data();
    void reportFromTheWindow();

private:
    // The trial, copied into the test's folder, open and grouped by clone
    // with Yungay at 5 and Musuq at 8.
    TrialWindow* openGrouped();
    [[nodiscard]] QString readBack(const QString& pdf) const;

    MainWindowFixture m_fixture;
    QTemporaryDir m_folder;
    QString m_trial;
    QString m_printed;
    QString m_pdftotext;
};

void TestTrialCurves::initTestCase()
{
    RegisterCurveFactory(&MakeCurveWindow);
    RegisterSummaryChartFactory(&MakeSummaryChart);
    RegisterGroupCurvesFactory(&MakeGroupCurves);
    RegisterReportOutput(&ReportOutputs);
    m_trial = m_folder.filePath("huasahuasi-long.csv");
    QVERIFY(QFile::copy(kLong, m_trial));
    m_printed = m_folder.filePath("printed.pdf");
    // The print dialog answered as a user choosing "Print to file".
    SetPrintSetup([this](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_printed);
        return true;
    });
    m_pdftotext = QStandardPaths::findExecutable("pdftotext");
}

void TestTrialCurves::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_fixture.close();
}

TrialWindow* TestTrialCurves::openGrouped()
{
    LossEng& window = m_fixture.open();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_trial)});
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &drop);
    TrialWindow* trial = window.trialWindow();
    if (!trial || !QTest::qWaitFor([trial] { return !trial->reading(); }))
        return nullptr;
    auto* groupBy = trial->findChild<QComboBox*>("groupBy");
    groupBy->setCurrentIndex(groupBy->findText("clon"));
    QAbstractItemModel* summary = trial->findChild<QTableView*>("summary")->model();
    for (const auto& [group, value] : {std::pair{"Yungay", "5"}, std::pair{"Musuq", "8"}}) {
        const QModelIndexList found =
            summary->match(summary->index(0, 0), Qt::DisplayRole, group, 1, Qt::MatchExactly);
        if (found.isEmpty() ||
            !summary->setData(found.front().siblingAtColumn(TrialSummaryModel::kStandardColumn),
                              value, Qt::EditRole))
            return nullptr;
    }
    // The summary is drawn again once the editor's commit is over.
    QCoreApplication::processEvents();
    return trial;
}

QString TestTrialCurves::readBack(const QString& pdf) const
{
    QProcess read;
    read.start(m_pdftotext, {"-layout", pdf, "-"});
    return read.waitForFinished() ? QString::fromUtf8(read.readAllStandardOutput()) : QString();
}

void TestTrialCurves::groupsOffered_data()
{
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QStringList>("standards"); // name=value
    QTest::addColumn<QStringList>("offered");   // a checked one ends in *

    const QStringList groups{"C387164.4", "Yungay", "Cruza148", "Musuq"};
    QTest::newRow("no standard") << groups << QStringList() << groups;
    QTest::newRow("two standards first, in their order")
        << groups << QStringList{"Musuq=8", "Yungay=5"}
        << QStringList{"Musuq*", "Yungay*", "C387164.4", "Cruza148"};
    QTest::newRow("a standard that is no group is left out")
        << groups << QStringList{"Amarilis=3", "Yungay=5"}
        << QStringList{"Yungay*", "C387164.4", "Cruza148", "Musuq"};
    QTest::newRow("a standard given twice is offered once")
        << groups << QStringList{"Yungay=5", "Yungay=6"}
        << QStringList{"Yungay*", "C387164.4", "Cruza148", "Musuq"};
}

void TestTrialCurves::groupsOffered()
{
    QFETCH(QStringList, groups);
    QFETCH(QStringList, standards);
    QFETCH(QStringList, offered);

    std::vector<std::string> names;
    for (const QString& group : groups)
        names.push_back(group.toStdString());
    std::vector<Standard> given;
    for (const QString& standard : standards)
        given.push_back(
            {standard.section('=', 0, 0).toStdString(), standard.section('=', 1).toDouble()});
    QStringList got;
    for (const GroupChoice& choice : ChoiceOrder(names, given))
        got.append(QString::fromStdString(choice.group) + (choice.checked ? "*" : ""));
    QCOMPARE(got, offered);
}

void TestTrialCurves::proposedNames_data()
{
    QTest::addColumn<QString>("folder"); // empty: a plot typed by hand
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("a plot") << "/trials"
                            << "h0012"
                            << "/trials/h0012.png";
    QTest::newRow("a group") << "/trials"
                             << "C386209.10"
                             << "/trials/C386209.10.png";
    QTest::newRow("a slash and colons") << "/trials"
                                        << "CIP 390/1: x Yungay"
                                        << "/trials/CIP 390_1_ x Yungay.png";
    QTest::newRow("blanks and dots at the ends") << "/trials"
                                                 << " ..hidden. "
                                                 << "/trials/hidden.png";
    QTest::newRow("nothing left") << "/trials"
                                  << "..."
                                  << "/trials/curve.png";
    QTest::newRow("a line break and a tab") << "/trials"
                                            << "a\nb\tc"
                                            << "/trials/a_b_c.png";
    QTest::newRow("typed by hand") << ""
                                   << ""
                                   << "curve.png";
}

void TestTrialCurves::proposedNames()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, proposed);

    CurveLabel label;
    label.folder = folder;
    QCOMPARE(ProposedImage(label, name, "png"), proposed);
}

// The list, the chart's words and the images' names, and the calculator's
// curve of a plot gone to from the grouped window.
void TestTrialCurves::curvesAgainstTheStandards()
{
    TrialWindow* trial = openGrouped();
    QVERIFY(trial);
    QTest::keyClick(trial, Qt::Key_G, Qt::ControlModifier);
    auto* curves = trial->findChild<GroupCurvesWindow*>();
    QVERIFY(curves);
    auto* list = curves->findChild<QListWidget*>("groups");
    QStringList offered;
    for (int row = 0; row < list->count(); ++row)
        offered.append(list->item(row)->text() +
                       (list->item(row)->checkState() == Qt::Checked ? "*" : ""));
    QCOMPARE(offered, (QStringList{"Musuq (standard 8)*", "Yungay (standard 5)*", "C387164.4",
                                   "C386209.10", "Cruza148"}));
    QVERIFY(!list->accessibleName().isEmpty());

    list->item(3)->setCheckState(Qt::Checked);
    const QString site = "huasahuasi-long.csv, site huasahuasi-long";
    QCOMPARE(curves->titleText(),
             "Mean disease progress curves, " + site + ", by clon: Musuq, Yungay, C386209.10");
    const QString words = curves->findChild<QWidget*>("curves")->accessibleDescription();
    QVERIFY2(words.contains("C386209.10, 89 plots: 0.0, "), qPrintable(words));
    m_fixture.dialogs.file("");
    curves->savePng();
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{saveFileLine("Save the curves as PNG",
                                      m_folder.filePath("C386209.10.png") + ", *.png")});

    // A new standard comes checked; the groups checked stay so.
    QAbstractItemModel* summary = trial->findChild<QTableView*>("summary")->model();
    const QModelIndex cruza =
        summary->match(summary->index(0, 0), Qt::DisplayRole, "Cruza148", 1, Qt::MatchExactly)
            .front();
    QVERIFY(summary->setData(cruza.siblingAtColumn(TrialSummaryModel::kStandardColumn), "2",
                             Qt::EditRole));
    // Standards are taken once the event loop comes round.
    const auto chosen = [curves] {
        QStringList names;
        for (const std::string& group : curves->chosen())
            names.append(QString::fromStdString(group));
        return names;
    };
    QTRY_COMPARE(chosen(), (QStringList{"Cruza148", "Musuq", "Yungay", "C386209.10"}));

    auto* plots = trial->findChild<QTableView*>("plots");
    plots->setCurrentIndex(plots->model()->index(0, 0));
    trial->goToPlot();
    m_fixture.window().showCurve();
    auto* curve = qobject_cast<CurveWindow*>(m_fixture.window().curveWindow());
    QVERIFY(curve);
    QCOMPARE(curve->windowTitle(),
             "Disease progress curve: " + site + ", clon C387164.4, plot h0001");
    m_fixture.dialogs.file("");
    curve->savePng();
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{saveFileLine("Save the curve as PNG",
                                      m_folder.filePath("h0001.png") + ", *.png")});
}

void TestTrialCurves::reportFromTheWindow_data()
{
    QTest::addColumn<bool>("print");
    QTest::addColumn<QString>("target");  // the name given; empty: the trial itself
    QTest::addColumn<QString>("refusal"); // how the message begins; empty: written

    QTest::newRow("exported") << false << "report.pdf"
                              << "";
    QTest::newRow("printed") << true << ""
                             << "";
    QTest::newRow("never over the trial") << false << ""
                                          << "The report was not exported: ";
    QTest::newRow("never in place of a folder") << false << "folder"
                                                << "The report was not exported: ";
}

// Each group on one line with its plots, refused plots, relative AUDPC mean
// and deviation, scale and rank.
void TestTrialCurves::reportFromTheWindow()
{
    QFETCH(bool, print);
    QFETCH(QString, target);
    QFETCH(QString, refusal);
    if (m_pdftotext.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed: the report cannot be read back");

    TrialWindow* trial = openGrouped();
    QVERIFY(trial);
    const QByteArray before = [this] {
        QFile file(m_trial);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY(target != "folder" || QDir(m_folder.path()).mkpath("folder"));
    QString pdf = target.isEmpty() ? m_trial : m_folder.filePath(target);
    if (print) {
        pdf = m_printed;
        QTest::keyClick(trial, Qt::Key_P, Qt::ControlModifier);
    } else {
        m_fixture.dialogs.file(pdf);
        if (!refusal.isEmpty())
            m_fixture.dialogs.acknowledge();
        QTest::keyClick(trial, Qt::Key_R, Qt::ControlModifier);
    }
    const QStringList transcript = m_fixture.dialogs.takeTranscript();
    if (!print)
        QCOMPARE(transcript.value(0),
                 saveFileLine("Export report",
                              m_folder.filePath("huasahuasi-long-report.pdf") + ", *.pdf"));
    if (!refusal.isEmpty()) {
        QCOMPARE(transcript.size(), 2);
        QVERIFY2(transcript[1].contains(refusal + pdf + ": "), qPrintable(transcript[1]));
        QFile file(m_trial);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        return;
    }
    QCOMPARE(transcript.size(), print ? 0 : 1);
    const QString text = readBack(pdf);
    QVERIFY(text.contains("huasahuasi-long.csv"));
    const QStringList lines = text.split('\n');
    for (const QString& row :
         {QString("Yungay\\s+5\\s+90\\s+0\\s+0\\.1666\\s+0\\.1090\\s+\\S+\\s+\\d+"),
          QString("C386209\\.10\\s+90\\s+1\\s+0\\.1963\\s+0\\.1031\\s+\\S+\\s+\\d+")}) {
        const QRegularExpression pattern("^\\s*" + row + "\\s*$");
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& line) { return pattern.match(line).hasMatch(); }),
                 qPrintable(row + " is on no line of\n" + text));
    }
    QFile::remove(pdf);
}

QTEST_MAIN(TestTrialCurves)
#include "tst_trial_curves.moc"
