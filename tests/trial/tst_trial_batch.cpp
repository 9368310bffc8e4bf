// The batch from trial text to results text: the window's rules and messages
// per plot with the file lines they concern, the periods a plot can give, the
// measures beside the yield losses, the decimal mark, and plots whose rows are
// not next to each other.
#include "trial/trial_run.h"

#include <QtTest>

using namespace quarven;

namespace {

constexpr int kYear = 2026;
const QString kHeader = QStringLiteral(
    "plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_audpc,audps,message");

QStringList results(const QByteArray& text, int defaultPeriod = kDefaultPeriod)
{
    BatchSettings settings;
    settings.year = kYear;
    settings.defaultPeriod = defaultPeriod;
    const TrialRunOutcome outcome = RunTrial(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), settings);
    if (outcome.error)
        return {QStringLiteral("error %1: %2")
                    .arg(outcome.error->line)
                    .arg(QString::fromStdString(outcome.error->message))};
    QStringList lines = QString::fromStdString(outcome.results).split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    // Each plot once, and the refused ones counted as refused.
    int refused = 0;
    for (const QString& line : lines.mid(1))
        if (!line.endsWith(QLatin1Char(',')) && !line.endsWith(QLatin1Char(';')))
            ++refused;
    if (static_cast<std::size_t>(lines.size() - 1) != outcome.plots ||
        static_cast<std::size_t>(refused) != outcome.refused)
        lines << QStringLiteral("counts %1 plots, %2 refused")
                     .arg(outcome.plots)
                     .arg(outcome.refused);
    return lines;
}

// A trial sorted by date, three assessments a plot, with plots refused for a
// falling level or for too few assessments, and a copied column whose values
// sometimes need quotes.
QByteArray generatedTrial(int plots, char separator, bool decimalComma)
{
    const QByteArray sep(1, separator);
    QByteArray text = "plot" + sep + "clone" + sep + "date" + sep + "level\n";
    for (int day = 0; day < 3; ++day) {
        for (int plot = 1; plot <= plots; ++plot) {
            if (plot % 11 == 0 && day > 0)
                continue;
            int tenths = (plot % 7) * 10 * day + day * 3;
            if (plot % 13 == 0 && day == 2)
                tenths = 1;
            QByteArray level =
                QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10);
            if (decimalComma)
                level.replace('.', ',');
            const QByteArray clone =
                plot % 3 == 0 ? "\"Gala" + sep + " red\"" : "C" + QByteArray::number(plot % 10);
            text += "P" + QByteArray::number(plot) + sep + clone + sep + "0" +
                    QByteArray::number(day + 1) + "/07" + sep + level + "\n";
        }
    }
    return text;
}

} // namespace

class TestTrialBatch : public QObject {
    Q_OBJECT

private slots:
    void plots_data();
    void plots();
    void periods_data();
    void periods();
    void decimalMark_data();
    void decimalMark();
    void wideResultsLeaveBeforeTheEnd_data();
    void wideResultsLeaveBeforeTheEnd();
    void twoThreadsGiveTheSameBytes_data();
    void twoThreadsGiveTheSameBytes();
    void fallsKeptOnRequest_data();
    void fallsKeptOnRequest();
};

void TestTrialBatch::plots_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines"); // after the header

    const QByteArray header = "plot,date,level\n";
    QTest::newRow("the window's example")
        << header + "P1,01/07,0\nP1,11/07,10\nP1,21/07,30\n"
        << QStringList{"P1,3,01/07,21/07,52,250,4.8,0.1250,400.0,"};
    QTest::newRow("sorted by date, plots in first-appearance order")
        << header + "B,01/07,0\nA,01/07,5\nB,11/07,10\nA,11/07,5\nB,21/07,30\nA,21/07,7\n"
        << QStringList{"B,3,01/07,21/07,52,250,4.8,0.1250,400.0,",
                       "A,3,01/07,21/07,52,110,2.1,0.0550,170.0,"};
    QTest::newRow("an AUDPC of 0 is a number, which the window shows empty")
        << header + "P1,01/07,0\nP1,11/07,0\n"
        << QStringList{"P1,2,01/07,11/07,52,0,0.0,0.0000,0.0,"};
    QTest::newRow("ISO dates keep their year, across New Year")
        << header + "P1,2025-12-30,0\nP1,2026-01-02,6\n"
        << QStringList{"P1,2,2025-12-30,2026-01-02,52,9,0.2,0.0300,18.0,"};
    QTest::newRow("same date twice")
        << header + "P1,01/07,0\nP1,01/07,10\n"
        << QStringList{"P1,2,,,52,,,,,Assessment date input error(assessments # 1 and  2). "
                       "Consequent assessments should differ from one another! (lines 2 and 3)"};
    QTest::newRow("falling level: its carriage return becomes a blank")
        << header + "P1,01/07,0\nX,01/07,1\nP1,11/07,10\nP1,21/07,5\n"
        << QStringList{"P1,3,,,52,,,,,Data input error (assessments # 2 and  3).  Results of the "
                       "next assessment should be equal or higher than those for the previous "
                       "assessment! (lines 4 and 5)",
                       "X,1,,,52,,,,,At least two assessments are needed; the plot has 1 (line 3)"};
    QTest::newRow("date checked before level")
        << header + "P1,11/07,5\nP1,01/07,3\n"
        << QStringList{"P1,2,,,52,,,,,Assessment date input error(assessments # 1 and  2). "
                       "Consequent assessments should differ from one another! (lines 2 and 3)"};
    QTest::newRow("unreadable date, in the date prompt's words")
        << header + "P1,01/07,0\nP1,31/06,10\n"
        << QStringList{"P1,2,,,52,,,,,Error insertion of the date=>(31/06) [Example: July 12 "
                       "should be recorded as 12/7] (line 3)"};
    QTest::newRow("level above 100, in the level prompt's words")
        << header + "P1,01/07,0\nP1,11/07,100.5\n"
        << QStringList{"P1,2,,,52,,,,,The damage level => ( 100.5 ) should be between 0 and "
                       "100% (line 3)"};
    QTest::newRow("a level that is not wholly a number is not read in part")
        << header + "P1,01/07,0\nP1,11/07,35 %\n"
        << QStringList{"P1,2,,,52,,,,,The damage level => ( 35 % ) is not a number (line 3)"};
    QTest::newRow("a long row with a date and no level is a day not assessed")
        << header + "P1,01/07,0\nP1,11/07,\nP1,21/07,30\nP1,31/07, \n"
        << QStringList{"P1,2,01/07,21/07,52,300,5.8,0.1500,600.0,"};
    QTest::newRow("dates month first span more than half a year")
        << header + "P1,06/01/2026,0\nP1,06/08/2026,10\nP1,06/12/2026,20\n"
        << QStringList{"P1,3,,,52,,,,,\"The assessments span 212 days, more than half a year: "
                       "dates are read day first (dd/mm or dd/mm/yyyy); were these written "
                       "month first? (line 3)\""};
    QTest::newRow("183 days are computed, 184 refused")
        << header + "P1,01/05,0\nP1,31/10,10\nP2,01/05,0\nP2,01/11,10\n"
        << QStringList{"P1,2,01/05,31/10,52,915,17.6,0.0500,1830.0,",
                       "P2,2,,,52,,,,,\"The assessments span 184 days, more than half a year: "
                       "dates are read day first (dd/mm or dd/mm/yyyy); were these written "
                       "month first? (line 5)\""};
    QTest::newRow("texts a spreadsheet would run get an apostrophe, numbers do not")
        << QByteArray("plot,clone,date,level\n=cmd|' /C calc'!A0,-5,01/07,0\n"
                      "=cmd|' /C calc'!A0,-5,11/07,10\n@SUM(A1),+cmd,01/07,0\n-x,\"\tx\",01/07,0\n")
        << QStringList{"'=cmd|' /C calc'!A0,-5,2,01/07,11/07,52,50,1.0,0.0500,100.0,",
                       "'@SUM(A1),'+cmd,1,,,52,,,,,At least two assessments are needed; the "
                       "plot has 1 (line 4)",
                       "'-x,'\tx,1,,,52,,,,,At least two assessments are needed; the plot has 1 "
                       "(line 5)"};
    QTest::newRow("a decimal comma splits a comma row: the row is refused")
        << header + "P1,01/07,0\nP1,11/07,12,5\n"
        << QStringList{"P1,2,,,52,,,,,The row has more fields than the header names (1 more) "
                       "(line 3)"};
    QTest::newRow("dates more than 16 bits of days apart")
        << header + "P1,1900-01-01,0\nP1,2000-01-01,0\n"
        << QStringList{"P1,2,,,52,,,,,Assessment date input error(assessments # 1 and  2). The "
                       "dates lie more than 32767 days apart (lines 2 and 3)"};
    QTest::newRow("a plot declared on a row with no assessment")
        << header + "P1,,\n"
        << QStringList{"P1,0,,,52,,,,,At least two assessments are needed; "
                       "the plot has 0 (line 2)"};
    QTest::newRow("the first refusal decides; later rows still counted")
        << header + "P1,01/07,0\nP1,01/07,1\nP1,xx,1\n"
        << QStringList{"P1,3,,,52,,,,,Assessment date input error(assessments # 1 and  2). "
                       "Consequent assessments should differ from one another! (lines 2 and 3)"};
    QTest::newRow("a NUL byte in a name is written as the replacement character")
        << header + "P" + '\0' + "1,01/07,0\nP" + '\0' + "1,11/07,10\n"
        << QStringList{"P\uFFFD1,2,01/07,11/07,52,50,1.0,0.0500,100.0,"};
    QTest::newRow("copied columns from the plot's first row, quoted when needed")
        << QByteArray("plot,clone,date,level\nP1,\"Gala, red\",01/07,0\nP1,other,11/07,10\n")
        << QStringList{"P1,\"Gala, red\",2,01/07,11/07,52,50,1.0,0.0500,100.0,"};
    QTest::newRow("wide layout: a plot per row, empty cells not assessed")
        << QByteArray("plot,01/07,11/07,21/07\nP1,0,,30\nP2,1,2,3\n")
        << QStringList{"P1,2,01/07,21/07,52,300,5.8,0.1500,600.0,",
                       "P2,3,01/07,21/07,52,40,0.8,0.0200,60.0,"};
}

void TestTrialBatch::plots()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, lines);

    const QStringList got = results(text);
    QCOMPARE(got.mid(1), lines);
}

void TestTrialBatch::periods_data()
{
    QTest::addColumn<QByteArray>("columns");
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<int>("defaultPeriod");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("message"); // with its line

    QTest::newRow("none: the run's default") << QByteArray() << QByteArray() << 84 << "84"
                                             << "";
    QTest::newRow("a period column") << QByteArray(",period") << QByteArray(",40") << 52 << "40"
                                     << "";
    QTest::newRow("period 0 means the default")
        << QByteArray(",period") << QByteArray(",0") << 60 << "60"
        << "";
    QTest::newRow("period 9.6 reads as 10")
        << QByteArray(",period") << QByteArray(",9.6") << 52 << "10"
        << "";
    QTest::newRow("period out of range")
        << QByteArray(",period") << QByteArray(",131") << 52 << "131"
        << "Duration of the tuberization stage usually makes from 10 to 130 days (line 2)";
    QTest::newRow("period not a number")
        << QByteArray(",period") << QByteArray(",abc") << 52 << ""
        << "The period => ( abc ) is not a number of days (line 2)";
    QTest::newRow("a group, in any case")
        << QByteArray(",group") << QByteArray(",first EARLY") << 52 << "40"
        << "";
    QTest::newRow("an unknown group")
        << QByteArray(",group") << QByteArray(",Very late") << 52 << ""
        << "The maturity group => ( Very late ) is none of First early, Early, Mid-early, Mid, "
           "Mid-late, Late (line 2)";
    QTest::newRow("budding to desiccation")
        << QByteArray(",budding,desiccation") << QByteArray(",13/6,14/9") << 52 << "93"
        << "";
    QTest::newRow("dates win over the group")
        << QByteArray(",group,budding,desiccation") << QByteArray(",Late,1/6,11/6") << 52 << "10"
        << "";
    QTest::newRow("the period wins over all") << QByteArray(",period,group,budding,desiccation")
                                              << QByteArray(",70,Late,1/6,11/6") << 52 << "70"
                                              << "";
    QTest::newRow("desiccation before budding")
        << QByteArray(",budding,desiccation") << QByteArray(",14/9,13/6") << 52 << "-93"
        << "Tuberization stage (-93) usually makes from 10 to 130 days Date input error (line 2)";
    QTest::newRow("over four months")
        << QByteArray(",budding,desiccation") << QByteArray(",1/3,30/9") << 52 << "213"
        << "Tuberization stage ( 213) usually does not exceed 4 months Insert a number of days "
           "between the budding and the dessiccation (line 2)";
    QTest::newRow("a missing desiccation date counts 0 days, as the window does")
        << QByteArray(",budding,desiccation") << QByteArray(",13/6,") << 52 << ""
        << "Tuberization stage ( 0) usually makes from 10 to 130 days Date input error (line 2)";
    QTest::newRow("an unreadable budding date")
        << QByteArray(",budding,desiccation") << QByteArray(",31/6,14/9") << 52 << ""
        << "Date input error =>(31/6)? [Example: June 12 should be recorded as 12/6 ] (line 2)";
    QTest::newRow("an unreadable desiccation date")
        << QByteArray(",budding,desiccation") << QByteArray(",13/6,x") << 52 << ""
        << "Date input error=>(x) [Example: September 12 should be recorded as 12/9] (line 2)";
}

void TestTrialBatch::periods()
{
    QFETCH(QByteArray, columns);
    QFETCH(QByteArray, values);
    QFETCH(int, defaultPeriod);
    QFETCH(QString, period);
    QFETCH(QString, message);

    // Semicolons, since some of the messages hold commas.
    const QByteArray text = "plot;date;level" + columns.replace(',', ';') + "\nP1;01/07;0" +
                            values.replace(',', ';') + "\nP1;11/07;10" + values + "\n";
    const QStringList got = results(text, defaultPeriod);
    QCOMPARE(got.size(), 2);
    const QStringList fields = got[1].split(QLatin1Char(';'));
    QCOMPARE(fields.size(), 10);
    QCOMPARE(fields[4], period);
    QCOMPARE(fields[9], message);
    if (message.isEmpty())
        QCOMPARE(fields[5], QStringLiteral("50"));
}

void TestTrialBatch::decimalMark_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("row");

    QTest::newRow("semicolons and decimal commas")
        << QByteArray("plot;date;level\nP1;01/07;0,5\nP1;11/07;10\n")
        << "P1;2;01/07;11/07;52;53;1,0;0,0525;105,0;";
    QTest::newRow("semicolons and whole levels: the comma their spreadsheet expects")
        << QByteArray("plot;date;level\nP1;01/07;0\nP1;11/07;10\n")
        << "P1;2;01/07;11/07;52;50;1,0;0,0500;100,0;";
    QTest::newRow("semicolons and decimal points")
        << QByteArray("plot;date;level\nP1;01/07;0.5\nP1;11/07;10\n")
        << "P1;2;01/07;11/07;52;53;1.0;0.0525;105.0;";
    QTest::newRow("tabs and whole levels")
        << QByteArray("plot\tdate\tlevel\nP1\t01/07\t0\nP1\t11/07\t10\n")
        << "P1\t2\t01/07\t11/07\t52\t50\t1.0\t0.0500\t100.0\t";
    QTest::newRow("wide, tabs: a whole first level gives the point")
        << QByteArray("plot\t01/07\t11/07\nP1\t0\t10\nP2\t0,5\t10\n")
        << "P1\t2\t01/07\t11/07\t52\t50\t1.0\t0.0500\t100.0\t";
    QTest::newRow("wide, semicolons: a whole first level gives the comma")
        << QByteArray("plot;01/07;11/07\nP1;0;10\nP2;0.5;10\n")
        << "P1;2;01/07;11/07;52;50;1,0;0,0500;100,0;";
}

void TestTrialBatch::decimalMark()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, row);

    const QStringList got = results(text);
    QVERIFY(got.size() >= 2);
    QCOMPARE(got[1], row);
}

// A wide file streams: its results are written while it is read, whatever
// its levels, rather than held until a fraction shows the decimal mark.
void TestTrialBatch::wideResultsLeaveBeforeTheEnd_data()
{
    QTest::addColumn<char>("separator");

    QTest::newRow("semicolons") << ';';
    QTest::newRow("tabs") << '\t';
    QTest::newRow("commas") << ',';
}

void TestTrialBatch::wideResultsLeaveBeforeTheEnd()
{
    QFETCH(char, separator);

    const QByteArray sep(1, separator);
    QByteArray text = "plot" + sep + "01/07" + sep + "11/07\n";
    for (int plot = 0; plot < 50000; ++plot)
        text += "P" + QByteArray::number(plot) + sep + "0" + sep + "10\n";
    std::size_t written = 0;
    BatchSettings settings;
    settings.year = kYear;
    TrialRun run(settings, [&written](std::string_view piece) { written += piece.size(); });
    QVERIFY(!run.read(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))));
    QVERIFY(written > 0);
}

void TestTrialBatch::twoThreadsGiveTheSameBytes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("blockPlots");
    QTest::addColumn<int>("plots");

    QTest::newRow("blocks of one plot") << generatedTrial(40, ',', false) << 1 << 40;
    QTest::newRow("blocks of three, the last one short")
        << generatedTrial(100, ';', true) << 3 << 100;
    QTest::newRow("an odd number of blocks") << generatedTrial(50, '\t', false) << 10 << 50;
    QTest::newRow("two blocks exactly") << generatedTrial(20, ',', false) << 10 << 20;
    QTest::newRow("too few plots for two blocks") << generatedTrial(19, ',', false) << 10 << 19;
    QTest::newRow("the usual blocks, many plots")
        << generatedTrial(60000, ';', false) << 8192 << 60000;
    QTest::newRow("wide: results come row by row")
        << QByteArray("plot,01/07,11/07\nP1,0,10\nP2,5,1\nP3,1,2\n") << 1 << 3;
    QTest::newRow("a file that fails")
        << QByteArray(generatedTrial(30, ',', false) + "\"open\n") << 1 << 0;
}

void TestTrialBatch::twoThreadsGiveTheSameBytes()
{
    QFETCH(QByteArray, text);
    QFETCH(int, blockPlots);
    QFETCH(int, plots);

    BatchSettings settings;
    settings.year = kYear;
    const std::string_view trial(text.constData(), static_cast<std::size_t>(text.size()));
    const TrialRunOutcome alone = RunTrial(trial, settings, TrialRun::Options{false, 1});
    const TrialRunOutcome two =
        RunTrial(trial, settings, TrialRun::Options{true, static_cast<std::size_t>(blockPlots)});
    QCOMPARE(two.error.has_value(), alone.error.has_value());
    if (alone.error) {
        QCOMPARE(two.error->line, alone.error->line);
        QCOMPARE(two.error->message, alone.error->message);
        return;
    }
    QCOMPARE(two.plots, alone.plots);
    QCOMPARE(two.refused, alone.refused);
    QCOMPARE(QByteArray::fromStdString(two.results), QByteArray::fromStdString(alone.results));

    // The trial is worth comparing: every plot once and in order, some
    // refused, some computed.
    QCOMPARE(alone.plots, static_cast<std::size_t>(plots));
    QVERIFY(alone.refused > 0);
    QVERIFY(alone.refused < alone.plots);
    const QList<QByteArray> lines = QByteArray::fromStdString(alone.results).split('\n');
    QCOMPARE(lines.size(), plots + 2); // the header, and nothing after the last line feed
    for (int plot = 1; plot <= plots; ++plot)
        QVERIFY2(lines[plot].startsWith("P" + QByteArray::number(plot) + lines[0].at(4)),
                 lines[plot].constData());
}

void TestTrialBatch::fallsKeptOnRequest_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("row"); // the first plot's
    QTest::addColumn<int>("refused");

    // 35 -> 25 a week apart. By the trapezoids: 7 * (10 + 35) / 2 = 157.5,
    // 7 * (35 + 25) / 2 = 210 and 7 * (25 + 40) / 2 = 227.5, an AUDPC of 595;
    // 595 / 52 = 11.4; 595 / (100 * 21) = 0.2833; AUDPS 595 + (10 + 40) / 2 *
    // 21 / 3 = 770.
    const QByteArray falls = "plot,date,level\nP1,01/07,10\nP1,08/07,35\nP1,15/07,25\n"
                             "P1,22/07,40\nP2,01/07,0\nP2,08/07,5\n";
    QTest::newRow("refused without the option")
        << falls << false
        << "P1,4,,,52,,,,,Data input error (assessments # 2 and  3).  Results of the next "
           "assessment should be equal or higher than those for the previous assessment! "
           "(lines 3 and 4)"
        << 1;
    QTest::newRow("kept, computed, with a note")
        << falls << true << "P1,4,01/07,22/07,52,595,11.4,0.2833,770.0,the level falls on 15/07"
        << 0;
    // 7 * (10 + 35) / 2 + 7 * (35 + 25) / 2 + 7 * (25 + 20) / 2 = 525; AUDPS 525 +
    // (10 + 20) / 2 * 21 / 3 = 630.
    QTest::newRow("wide, falling twice: the first fall noted")
        << QByteArray("plot,01/07/2005,08/07/2005,15/07/2005,22/07/2005\nP1,10,35,25,20\n") << true
        << "P1,4,2005-07-01,2005-07-22,52,525,10.1,0.2500,630.0,the level falls on "
           "2005-07-15"
        << 0;
    QTest::newRow("kept falls refuse nothing else")
        << QByteArray("plot,date,level\nP1,01/07,10\nP1,01/07,5\n") << true
        << "P1,2,,,52,,,,,Assessment date input error(assessments # 1 and  2). Consequent "
           "assessments should differ from one another! (lines 2 and 3)"
        << 1;
}

void TestTrialBatch::fallsKeptOnRequest()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, keep);
    QFETCH(QString, row);
    QFETCH(int, refused);

    BatchSettings settings;
    settings.year = kYear;
    settings.keepFalls = keep;
    const TrialRunOutcome outcome = RunTrial(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), settings);
    QVERIFY(!outcome.error);
    QCOMPARE(QString::fromStdString(outcome.results).split('\n').value(1), row);
    QCOMPARE(outcome.refused, static_cast<std::size_t>(refused));
}

QTEST_GUILESS_MAIN(TestTrialBatch)
#include "tst_trial_batch.moc"
