// A field book opened in the window as it is kept: what the window asks
// before reading it, and the table it then reads, against the same trial
// exported to CSV or against the trapezoids worked by hand.
#include "support/main_window_fixture.h"
#include "support/scripted_dialogs.h"
#include "support/trial_files.h"
#include "trial/trial_columns.h"
#include "ui/trial_loader.h"
#include "ui/trial_questions.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

const QString kBooks = QStringLiteral(QUARVEN_BOOKS_DATA);
const QString kTrials = QStringLiteral(QUARVEN_TRIAL_DATA);

TrialLoaded loaded(const QString& path, const FileReading& how)
{
    const TrialLoad load{path, 2024, kDefaultPeriod, false, 0, how.reading, how.sheet};
    return LoadTrial(load, [] { return false; });
}

} // namespace

class TestTrialQuestions : public QObject {
    Q_OBJECT
private slots:
    void asksWhatTheFileCannotTell_data();
    void asksWhatTheFileCannotTell();
};

void TestTrialQuestions::asksWhatTheFileCannotTell_data()
{
    QTest::addColumn<QString>("file");        // a test file, or the text to write
    QTest::addColumn<bool>("monthFirst");     // as chosen in Open
    QTest::addColumn<QStringList>("answers"); // to the questions, in turn
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("sameAs");  // a CSV whose results the file's equal
    QTest::addColumn<double>("audpc");    // else the first plot's, by hand; -1: refused
    QTest::addColumn<QString>("refusal"); // part of why the file is not read

    const QStringList none;
    QTest::newRow("xlsx") << kBooks + "/huasahuasi-wide.xlsx" << false << none << true
                          << kTrials + "/huasahuasi-wide.csv" << 0.0 << "";
    QTest::newRow("ods") << kBooks + "/huasahuasi-long.ods" << false << none << true
                         << kTrials + "/huasahuasi-long.csv" << 0.0 << "";
    QTest::newRow("xls") << kBooks + "/huasahuasi-long.xls" << false << none << true
                         << kTrials + "/huasahuasi-long.csv" << 0.0 << "";
    // P1 on 03/06 is 0 and 5 averaged, 10 on 10/06, 30 on 17/06:
    // 7 * (2.5 + 10) / 2 + 7 * (10 + 30) / 2 = 183.75.
    QTest::newRow("observations, trait chosen")
        << kBooks + "/observations.xlsx" << false << QStringList{"!pick:0"} << true << "" << 183.75
        << "";
    QTest::newRow("observations, trait cancelled")
        << kBooks + "/observations.ods" << false << QStringList{"!cancel-pick"} << false << ""
        << 0.0 << "";
    // E9 and E14 after 1 June: 10 and 15 June, 5 * (0 + 10) / 2 = 25.
    QTest::newRow("days, a wrong date then one")
        << "plot,E9,E14\nA,0,10\n"
        << false << QStringList{"31/06/2024", "01/06/2024"} << true << "" << 25.0 << "";
    QTest::newRow("days, cancelled") << "plot,E9,E14\nA,0,10\n"
                                     << false << QStringList{"!cancel"} << false << "" << 0.0 << "";
    QTest::newRow("days beside a dated heading: no question")
        << "plot,E9,15/06/2024\nA,0,10\n"
        << false << none << true << "" << -1.0 << "";
    // 15 to 25 January: 10 * (0 + 10) / 2 = 50.
    QTest::newRow("month first, chosen") << "plot,1/15/2024,1/25/2024\nA,0,10\n"
                                         << true << none << true << "" << 50.0 << "";
    QTest::newRow("month first, not chosen: never guessed")
        << "plot,1/15/2024,1/25/2024\nA,0,10\n"
        << false << none << true << "" << 0.0 << "is written like a date but is none";
}

void TestTrialQuestions::asksWhatTheFileCannotTell()
{
    QFETCH(QString, file);
    QFETCH(bool, monthFirst);
    QFETCH(QStringList, answers);
    QFETCH(bool, opened);
    QFETCH(QString, sameAs);
    QFETCH(double, audpc);
    QFETCH(QString, refusal);

    QTemporaryDir folder;
    QString path = file;
    if (file.contains('\n')) {
        path = folder.filePath("t.csv");
        QVERIFY(writeFile(path, file.toUtf8()));
    }
    ScriptedDialogs dialogs;
    for (const QString& answer : answers) {
        if (answer == QLatin1String("!cancel-pick"))
            dialogs.pick(std::nullopt);
        else
            script(dialogs, {answer});
    }
    const std::optional<FileReading> how =
        AskHowToRead(path, monthFirst ? DateOrder::MonthFirst : DateOrder::DayFirst, 2024, dialogs);
    QVERIFY(dialogs.scriptFinished());
    QCOMPARE(how.has_value(), opened);
    if (!how)
        return;

    const TrialLoaded got = loaded(path, *how);
    if (!refusal.isEmpty()) {
        QVERIFY(!got.table);
        QVERIFY2(QString::fromStdString(got.why).contains(refusal), got.why.c_str());
        return;
    }
    QVERIFY2(got.table, got.why.c_str());
    if (!sameAs.isEmpty()) {
        const TrialLoaded csv = loaded(sameAs, FileReading{});
        QVERIFY2(csv.table, csv.why.c_str());
        QCOMPARE(QString::fromStdString(got.table->results),
                 QString::fromStdString(csv.table->results));
        return;
    }
    QVERIFY(got.table->rows() > 0);
    if (audpc < 0) {
        QVERIFY(got.table->refused(0));
        return;
    }
    QVERIFY2(!got.table->refused(0),
             std::string(got.table->cell(0, got.table->columns() - 1)).c_str());
    QCOMPARE(got.table->values[0][kAudpc], audpc);
}

QTEST_MAIN(TestTrialQuestions)
#include "tst_trial_questions.moc"
