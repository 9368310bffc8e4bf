// Field books as breeders keep them, read with the choices the file cannot
// tell: dates month first, wide headings in days after a date, and files of
// one observation a row (one trait chosen, two raters averaged). Each through
// the whole run, from text to results, as the command line and the window
// read them; workbooks of observations as LibreOffice Calc saved them.
#include "trial/trial_run.h"

#include <QtTest>

using namespace quarven;

namespace {

constexpr int kYear = 2026;
const QString kColumns = QStringLiteral(
    "assessments,first_date,last_date,period,audpc,yield_losses,relative_audpc,audps,message");

QString shown(const TrialRunOutcome& outcome)
{
    if (outcome.error)
        return QStringLiteral("error %1: %2")
            .arg(outcome.error->line)
            .arg(QString::fromStdString(outcome.error->message));
    return QString::fromStdString(outcome.results);
}

// The results after their header, or the error.
QStringList results(const QByteArray& text, const TrialReading& reading,
                    TrialRun::Options options = {})
{
    const TrialRunOutcome outcome =
        RunTrial(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                 BatchSettings(kYear, kDefaultPeriod, reading), options);
    QStringList lines = shown(outcome).split(QLatin1Char('\n'));
    if (outcome.error)
        return lines;
    lines.removeFirst();
    lines.removeLast(); // after the last line feed
    return lines;
}

TrialReading monthFirst()
{
    TrialReading reading;
    reading.dates = DateOrder::MonthFirst;
    return reading;
}

TrialReading inDays(const char* start, const char* prefix, DateOrder order = DateOrder::DayFirst)
{
    TrialReading reading;
    reading.dates = order;
    reading.dayPrefix = prefix;
    reading.dayStart = ReadTrialDate(start, kYear, order).value_or(TrialDate{});
    return reading;
}

TrialReading ofTrait(const char* trait)
{
    TrialReading reading;
    reading.trait = trait;
    return reading;
}

} // namespace

Q_DECLARE_METATYPE(TrialReading)

class TestFieldBooks : public QObject {
    Q_OBJECT

private slots:
    void datesMonthFirst_data();
    void datesMonthFirst();
    void trials_data();
    void trials();
    void observationWorkbooks_data();
    void observationWorkbooks();
};

void TestFieldBooks::datesMonthFirst_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("monthFirst");
    QTest::addColumn<QString>("written"); // empty: not a date

    QTest::newRow("m/d/yyyy") << "6/3/2024" << true << "2024-06-03";
    QTest::newRow("the same text day first") << "6/3/2024" << false << "2024-03-06";
    QTest::newRow("m/d takes the year given") << "6/3" << true << "03/06";
    QTest::newRow("points and a two-digit year") << "06.03.24" << true << "2024-06-03";
    QTest::newRow("ISO either way") << "2024-06-03" << true << "2024-06-03";
    QTest::newRow("no month 13") << "13/1" << true << "";
    QTest::newRow("no 30 February") << "2/30" << true << "";
}

void TestFieldBooks::datesMonthFirst()
{
    QFETCH(QString, text);
    QFETCH(bool, monthFirst);
    QFETCH(QString, written);

    const std::optional<TrialDate> date = ReadTrialDate(
        text.toStdString(), kYear, monthFirst ? DateOrder::MonthFirst : DateOrder::DayFirst);
    QCOMPARE(date.has_value(), !written.isEmpty());
    if (date) {
        std::string back;
        AppendTrialDate(back, *date);
        QCOMPARE(QString::fromStdString(back), written);
    }
}

void TestFieldBooks::trials_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TrialReading>("reading");
    QTest::addColumn<QStringList>("lines"); // after the header, or the error

    const TrialReading dayFirst;
    // Dates month first: in cells, headings and the period's dates.
    const QByteArray usLong = "plot,date,level\nP1,06/01/2026,0\nP1,06/08/2026,10\n"
                              "P1,06/12/2026,20\n";
    QTest::newRow("month-first cells")
        << usLong << monthFirst()
        << QStringList{"P1,3,2026-06-01,2026-06-12,52,95,1.8,0.0864,150.0,"};
    QTest::newRow("day-first dates read month first span half a year")
        << QByteArray("plot,date,level\nP1,01/06/2026,0\nP1,08/06/2026,10\n") << monthFirst()
        << QStringList{"P1,2,,,52,,,,,\"The assessments span 212 days, more than half a year: "
                       "dates are read month first (mm/dd or mm/dd/yyyy); were these written "
                       "day first? (line 3)\""};
    QTest::newRow("month-first headings") << QByteArray("plot,7/17,7/24\nA,0,10\n") << monthFirst()
                                          << QStringList{"A,2,17/07,24/07,52,35,0.7,0.0500,70.0,"};
    QTest::newRow("the same headings day first stop the run, as before")
        << QByteArray("plot,7/17,7/24\nA,0,10\n") << dayFirst
        << QStringList{"error 1: column 2 of the header (7/17) is written like a date but is "
                       "none: dates are read day first, dd/mm or dd/mm/yyyy"};
    QTest::newRow("budding and desiccation month first")
        << QByteArray("plot,budding,desiccation,date,level\nP1,6/1/2026,7/15/2026,6/10/2026,0\n"
                      "P1,,,6/20/2026,10\n")
        << monthFirst() << QStringList{"P1,2,2026-06-10,2026-06-20,44,50,1.1,0.0500,100.0,"};

    // Headings in days after a date.
    const QByteArray cip = "plot,clone,E9,E14\nA,Yungay,0,10\n";
    QTest::newRow("days after a dated start keep its year")
        << cip << inDays("2005-01-10", "E")
        << QStringList{"A,Yungay,2,2005-01-19,2005-01-24,52,25,0.5,0.0500,50.0,"};
    QTest::newRow("the prefix in any case, a start without a year")
        << QByteArray("plot,e9,E14\nA,0,10\n") << inDays("10/1", "E")
        << QStringList{"A,2,19/01,24/01,52,25,0.5,0.0500,50.0,"};
    QTest::newRow("a start month first without a year")
        << QByteArray("plot,E9,E14\nA,0,10\n") << inDays("1/10", "E", DateOrder::MonthFirst)
        << QStringList{"A,2,19/01,24/01,52,25,0.5,0.0500,50.0,"};
    QTest::newRow("days across New Year from a start without a year")
        << QByteArray("plot,E4,E9\nA,0,10\n") << inDays("27/12", "E")
        << QStringList{"A,2,31/12,2027-01-05,52,25,0.5,0.0500,50.0,"};
    QTest::newRow("dated headings beside headings in days")
        << QByteArray("plot,2005-01-12,DAP_9\nA,0,10\n") << inDays("2005-01-10", "dap_")
        << QStringList{"A,2,2005-01-12,2005-01-19,52,35,0.7,0.0500,70.0,"};
    const QString hint = QStringLiteral(
        "error 1: the header names neither date and level columns nor any assessment date; a "
        "heading such as %1 may count days after a date: give the date and the prefix "
        "(--days-after DATE --day-columns %2)");
    QTest::newRow("headings in days without the options: a hint")
        << cip << dayFirst << QStringList{hint.arg("E9", "E")};
    QTest::newRow("the hint names the prefix most headings share")
        << QByteArray("plot,rep1,E9,E14,E21\nA,1,0,10,20\n") << dayFirst
        << QStringList{hint.arg("E9", "E")};
    QTest::newRow("more days than a trial spans")
        << QByteArray("plot,E9,E40000\nA,0,10\n") << inDays("2005-01-10", "E")
        << QStringList{"error 1: column 3 of the header (E40000) counts more days than a trial "
                       "can span"};

    // One observation a row.
    const QByteArray fieldBook = "plot_id,plot,rep,trait,value,timestamp,person\n"
                                 "P1,1,1,severity,0,2024-06-03T23:30:00-05:00,ana\n"
                                 "P1,1,1,height,50,2024-06-03T10:16:00-05:00,ana\n"
                                 "P2,2,1,severity,5,2019-04-03 10:44:47.328-0500,ana\n"
                                 "P1,1,1,severity,10,2024-06-10T09:00:00Z,ana\n"
                                 "P2,2,1,severity,15,2019-04-10T09:05,ana\n"
                                 "P1,1,1,severity,5,2024-06-03T11:00:00,ben\n"
                                 "P2,2,1,severity,20,2019-04-10 11:00:00 +01:00,ben\n"
                                 "P1,1,1,severity,30,2024-06-17,ben\n";
    QTest::newRow("several traits and none chosen")
        << fieldBook << dayFirst
        << QStringList{"error 1: the file holds observations of 2 traits (\"severity\", "
                       "\"height\"): name the one to read (--trait NAME)"};
    QTest::newRow("a trait chosen; the zone shifts no date; two raters averaged")
        << fieldBook << ofTrait("severity")
        << QStringList{"P1,1,1,ana,3,2024-06-03,2024-06-17,52,184,3.5,0.1313,297.5,"
                       "2 observations on 2024-06-03 averaged",
                       "P2,2,1,ana,2,2019-04-03,2019-04-10,52,79,1.5,0.1125,157.5,"
                       "2 observations on 2019-04-10 averaged"};
    QTest::newRow("another trait, its plots alone")
        << fieldBook << ofTrait("height")
        << QStringList{"P1,1,1,ana,1,,,52,,,,,At least two assessments are needed; the plot has 1 "
                       "(line 3)"};
    QTest::newRow("a trait the file lacks: its traits listed")
        << fieldBook << ofTrait("Severity")
        << QStringList{"error 1: the file holds no trait \"Severity\"; its traits are "
                       "\"severity\", \"height\""};
    QTest::newRow("one trait needs no choosing; a semicolon file's mark")
        << QByteArray("PLOT_ID;Trait;Value;TimeStamp\nP1;s;0;2024-06-03\nP1;s;10;2024-06-10\n"
                      "P1;s;15;2024-06-10\nP1;s;20,5;2024-06-17\n")
        << dayFirst
        << QStringList{"P1;3;2024-06-03;2024-06-17;52;159;3,1;0,1138;231,0;"
                       "2 observations on 2024-06-10 averaged"};
    const QByteArray twoRaters = "plot_id,trait,value,timestamp\nP1,s,0,2024-06-03\n"
                                 "P1,s,%1,2024-06-10\nP1,s,20,2024-06-17\nP1,s,%2,2024-06-10\n";
    QTest::newRow("a value that is no level is not averaged away")
        << QByteArray(twoRaters).replace("%1", "10").replace("%2", "abc") << dayFirst
        << QStringList{"P1,3,,,52,,,,,The damage level => ( abc ) is not a number (line 3)"};
    QTest::newRow("an empty value is no observation")
        << QByteArray(twoRaters).replace("%1", "").replace("%2", "10") << dayFirst
        << QStringList{"P1,3,2024-06-03,2024-06-17,52,140,2.7,0.1000,210.0,"};
    QTest::newRow("a timestamp whose time is none stays whole, as its date")
        << QByteArray("plot_id,trait,value,timestamp\nP1,s,0,2024-06-03\nP1,s,5,2024-06-10T25:00\n")
        << dayFirst
        << QStringList{"P1,2,,,52,,,,,Error insertion of the date=>(2024-06-10T25:00) [Example: "
                       "July 12 should be recorded as 12/7] (line 3)"};
    QTest::newRow("a field past the header refuses its plot")
        << QByteArray("plot_id,trait,value,timestamp\nP1,s,0,2024-06-03\nP1,s,5,2024-06-10,x\n")
        << dayFirst
        << QStringList{"P1,2,,,52,,,,,The row has more fields than the header names (1 more) "
                       "(line 3)"};
}

void TestFieldBooks::trials()
{
    QFETCH(QByteArray, text);
    QFETCH(TrialReading, reading);
    QFETCH(QStringList, lines);

    QCOMPARE(results(text, reading), lines);
    // Notes kept by plot number come out the same from blocks on two threads.
    QCOMPARE(results(text, reading, {true, 1}), lines);
}

void TestFieldBooks::observationWorkbooks_data()
{
    QTest::addColumn<QString>("book");
    for (const char* format : {"xlsx", "ods", "xls"})
        QTest::newRow(format) << QStringLiteral("observations.%1").arg(format);
}

// Calc reads the timestamps without a zone as date and time cells, and those
// with one as text: both give the date.
void TestFieldBooks::observationWorkbooks()
{
    QFETCH(QString, book);
    const TrialRunOutcome outcome = RunTrialWorkbook(
        WorkbookSource::File(QStringLiteral(QUARVEN_BOOKS_DATA "/%1").arg(book).toStdString()), "",
        BatchSettings(kYear, kDefaultPeriod, ofTrait("severity")));
    QCOMPARE(shown(outcome),
             "plot,rep," + kColumns +
                 "\nP1,1,3,2024-06-03,2024-06-17,52,184,3.5,0.1313,297.5,2 observations on "
                 "2024-06-03 averaged\nP2,1,2,2024-06-03,2024-06-10,52,79,1.5,0.1125,157.5,2 "
                 "observations on 2024-06-10 averaged\n");
}

QTEST_GUILESS_MAIN(TestFieldBooks)
#include "tst_field_books.moc"
