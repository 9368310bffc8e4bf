// The trial reader: separators, layouts, quoting and line numbers, the errors
// that stop a run, and the one-plot writer read back. Every table row is read
// whole, in pieces of every small size, and with libcsv for every line, and
// must give the same rows each time. QUARVEN_SPLIT_PATH (sse2, eight-bytes or
// bytes) forces one way of splitting lines throughout; ctest runs each.
#include "trial/trial_file.h"
#include "trial/trial_results.h"

#include <QtTest>

using namespace quarven;

namespace {

QString shown(std::string_view text)
{
    QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    result.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return result;
}

// Everything the reader hands over, one line per call.
class Transcript final : public TrialVisitor {
public:
    QStringList lines;

    void header(const TrialHeader& header) override
    {
        QStringList copied;
        for (const std::string& name : header.copiedNames)
            copied << shown(name);
        QStringList dates;
        for (const std::string& date : header.dates)
            dates << shown(date);
        QString optional;
        optional += header.hasPeriod ? QLatin1Char('P') : QLatin1Char('-');
        optional += header.hasGroup ? QLatin1Char('G') : QLatin1Char('-');
        optional += header.hasBudding ? QLatin1Char('B') : QLatin1Char('-');
        optional += header.hasDesiccation ? QLatin1Char('D') : QLatin1Char('-');
        lines << QStringLiteral("header %1 %2 sep %3 %4 copied [%5] dates [%6]")
                     .arg(header.line)
                     .arg(header.layout == TrialLayout::Long ? "long" : "wide")
                     .arg(header.separator == '\t' ? QStringLiteral("tab")
                                                   : QString(QLatin1Char(header.separator)))
                     .arg(optional, copied.join('|'), dates.join('|'));
    }

    void row(const TrialRow& row) override
    {
        QStringList copied;
        for (const std::string_view text : row.copied)
            copied << shown(text);
        QStringList assessments;
        for (const TrialAssessment& assessment : row.assessments)
            assessments << shown(assessment.date) + '=' + shown(assessment.level);
        QString line = QStringLiteral("%1 %2 [%3] {%4}")
                           .arg(row.line)
                           .arg(shown(row.plot), copied.join('|'), assessments.join(' '));
        for (const auto& [name, value] :
             {std::pair{"period", row.period}, std::pair{"group", row.group},
              std::pair{"budding", row.budding}, std::pair{"desiccation", row.desiccation}})
            if (!value.empty())
                line += QStringLiteral(" %1=%2").arg(name, shown(value));
        if (row.extraFields > 0)
            line += QStringLiteral(" extra=%1").arg(row.extraFields);
        lines << line;
    }
};

SplitPath splitPath = SplitPath::Widest;

QStringList transcriptOf(const QByteArray& text, std::size_t piece, bool splitPlainLines)
{
    Transcript transcript;
    TrialReader reader(transcript, TrialReader::Options{splitPlainLines, splitPath});
    std::optional<TrialError> error;
    const std::string_view all(text.constData(), static_cast<std::size_t>(text.size()));
    for (std::size_t at = 0; at < all.size() && !error; at += piece)
        error = reader.read(all.substr(at, piece));
    if (!error)
        error = reader.finish();
    if (error)
        transcript.lines << QStringLiteral("error %1: %2")
                                .arg(error->line)
                                .arg(QString::fromStdString(error->message));
    return transcript.lines;
}

} // namespace

class TestTrialFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void reading_data();
    void reading();
    void refusedFiles_data();
    void refusedFiles();
    void endlessFieldRefusedWhileRead_data();
    void endlessFieldRefusedWhileRead();
    void largeFirstPiece_data();
    void largeFirstPiece();
    void onePlotReadsBack_data();
    void onePlotReadsBack();
};

void TestTrialFile::initTestCase()
{
    const QByteArray forced = qgetenv("QUARVEN_SPLIT_PATH");
    const std::pair<const char*, SplitPath> paths[] = {{"", SplitPath::Widest},
                                                       {"sse2", SplitPath::Sse2},
                                                       {"eight-bytes", SplitPath::EightBytes},
                                                       {"bytes", SplitPath::Bytes}};
    const auto named = std::find_if(std::begin(paths), std::end(paths),
                                    [&](const auto& path) { return forced == path.first; });
    QVERIFY2(named != std::end(paths), "QUARVEN_SPLIT_PATH names no split path");
    if (!HasSplitPath(named->second))
        QSKIP("this build has no such split path");
    splitPath = named->second;
}

void TestTrialFile::reading_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("transcript");

    QTest::newRow("long layout, comma")
        << QByteArray("plot,date,level\nP1,01/07,0\nP1,11/07,10\n")
        << QStringList{"header 1 long sep , ---- copied [] dates []", "2 P1 [] {01/07=0}",
                       "3 P1 [] {11/07=10}"};
    QTest::newRow("semicolon, names in any case, blanks around fields")
        << QByteArray("Plot ; DATE;Level\n P1 ; 01/07 ;12,5\n")
        << QStringList{"header 1 long sep ; ---- copied [] dates []", "2 P1 [] {01/07=12,5}"};
    QTest::newRow("tab, the blank kept inside a field")
        << QByteArray("plot\tdate\tlevel\tclone\nP 1\t01/07\t3\tBella rosa\n")
        << QStringList{"header 1 long sep tab ---- copied [clone] dates []",
                       "2 P 1 [Bella rosa] {01/07=3}"};
    QTest::newRow("byte order mark and CRLF")
        << QByteArray("\xEF\xBB\xBFplot,date,level\r\nP1,01/07,0\r\nP1,11/07,10\r\n")
        << QStringList{"header 1 long sep , ---- copied [] dates []", "2 P1 [] {01/07=0}",
                       "3 P1 [] {11/07=10}"};
    QTest::newRow("carriage returns alone end lines")
        << QByteArray("plot,date,level,note\r\"P\r1\",01/07,0,x\r\rP1,11/07,10,y\r")
        << QStringList{"header 1 long sep , ---- copied [note] dates []", "2 P\\n1 [x] {01/07=0}",
                       "5 P1 [y] {11/07=10}"};
    QTest::newRow("a carriage return alone inside a line-feed file ends a line")
        << QByteArray("plot,date,level\nP1,01/07,0\rP1,11/07,10\r\nP1,21/07,30\n")
        << QStringList{"header 1 long sep , ---- copied [] dates []", "2 P1 [] {01/07=0}",
                       "3 P1 [] {11/07=10}", "4 P1 [] {21/07=30}"};
    QTest::newRow("blank lines skipped but counted, no final line break")
        << QByteArray("\nplot,date,level\n\n  \nP1,01/07,0\n,,\nP1,11/07,10")
        << QStringList{"header 2 long sep , ---- copied [] dates []", "5 P1 [] {01/07=0}",
                       "7 P1 [] {11/07=10}"};
    QTest::newRow("quoted separator, doubled quote, line break inside a field")
        << QByteArray(
               "plot,date,level,note\n\"P,1\",01/07,0,\"said \"\"wet\"\"\"\nP2,01/07,0,\"two\r\n"
               "lines\"\nP3,01/07,0,x\n")
        << QStringList{"header 1 long sep , ---- copied [note] dates []",
                       "2 P,1 [said \"wet\"] {01/07=0}", "3 P2 [two\\r\\nlines] {01/07=0}",
                       "5 P3 [x] {01/07=0}"};
    QTest::newRow("per-plot columns and copied columns in file order")
        << QByteArray("block,plot,Period,date,group,level,Budding,desiccation,clone\n"
                      "1,P1,60,01/07,Late,0,13/6,14/9,Gala\n")
        << QStringList{"header 1 long sep , PGBD copied [block|clone] dates []",
                       "2 P1 [1|Gala] {01/07=0} period=60 group=Late budding=13/6 "
                       "desiccation=14/9"};
    QTest::newRow("short row, a row declaring its plot only, fields past the header")
        << QByteArray("plot,date,level,clone\nP1,01/07\nP2,,,Gala\nP3,01/07,1,Gala,12,,\n")
        << QStringList{"header 1 long sep , ---- copied [clone] dates []", "2 P1 [] {01/07=}",
                       "3 P2 [Gala] {}", "4 P3 [Gala] {01/07=1} extra=1"};
    QTest::newRow("wide layout: dates as headers, empty cells skipped")
        << QByteArray("plot;01/07;11/07;2026-07-21;clone\nP1;0;;30;Gala\nP2;;;;Laura\n")
        << QStringList{"header 1 wide sep ; ---- copied [clone] dates [01/07|11/07|2026-07-21]",
                       "2 P1 [Gala] {01/07=0 2026-07-21=30}", "3 P2 [Laura] {}"};
    // Separators, blanks and line ends at each place of an eight- and a
    // sixteen-byte step, and lines that end inside one.
    QTest::newRow("stops across the split steps")
        << QByteArray("plot;date;level;c\n1234567;01/07;1;a\r\nP12345678901234; 01/07 ;2;\n"
                      "P;01/07;3;123456789012345678901234\nP;01/07;4;x\n")
        << QStringList{"header 1 long sep ; ---- copied [c] dates []", "2 1234567 [a] {01/07=1}",
                       "3 P12345678901234 [] {01/07=2}", "4 P [123456789012345678901234] {01/07=3}",
                       "5 P [x] {01/07=4}"};
    QTest::newRow("unnamed column after the last one")
        << QByteArray("plot,date,level,\nP1,01/07,0,\nP1,11/07,10,5\n")
        << QStringList{"header 1 long sep , ---- copied [] dates []", "2 P1 [] {01/07=0}",
                       "3 P1 [] {11/07=10} extra=1"};
}

void TestTrialFile::reading()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, transcript);

    QCOMPARE(transcriptOf(text, std::size_t(-1), true), transcript);
    QCOMPARE(transcriptOf(text, std::size_t(-1), false), transcript);
    for (std::size_t piece = 1; piece <= 8; ++piece)
        QCOMPARE(transcriptOf(text, piece, true), transcript);
}

void TestTrialFile::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty") << QByteArray() << "error 1: the file is empty: a header row is needed";
    QTest::newRow("blank lines only")
        << QByteArray("\n \n") << "error 2: the file is empty: a header row is needed";
    QTest::newRow("no plot column")
        << QByteArray("\nname,date,level\n") << "error 2: the header names no plot column";
    QTest::newRow("date without level")
        << QByteArray("plot,date,clone\n")
        << "error 1: the header names a date column but no level column";
    QTest::newRow("neither layout")
        << QByteArray("plot,clone\n")
        << "error 1: the header names neither date and level columns nor any assessment date";
    QTest::newRow("a column twice") << QByteArray("plot,date,level,LEVEL\n")
                                    << "error 1: the header names the column level twice";
    QTest::newRow("single column")
        << QByteArray("plot\n")
        << "error 1: the header has a single column: its names must be separated by commas, "
           "semicolons or tabs";
    QTest::newRow("row without a plot") << QByteArray("plot,date,level\nP1,01/07,0\n,01/07,3\n")
                                        << "error 3: the row names no plot";
    QTest::newRow("quote inside an unquoted field")
        << QByteArray("plot,date,level\nP1,01/07,0\nP\"2,01/07,0\n")
        << "error 3: a quote inside a field: a field holding a quote must be quoted whole, with "
           "each of its quotes doubled";
    QTest::newRow("wide: a heading written like a date that is none")
        << QByteArray("plot,03/07,10/07,17/07,31/06\nA,1,2,3,4\n")
        << "error 1: column 5 of the header (31/06) is written like a date but is none: dates "
           "are read day first, dd/mm or dd/mm/yyyy";
    QTest::newRow("wide: headings written month first")
        << QByteArray("plot;07/03/2026;07/17/2026\n")
        << "error 1: column 3 of the header (07/17/2026) is written like a date but is none: "
           "dates are read day first, dd/mm or dd/mm/yyyy";
    QTest::newRow("a field longer than 1 MiB")
        << "plot,date,level\nP1,01/07,0\nP1,11/07," + QByteArray((1 << 20) + 1, '1') + "\n"
        << "error 3: a field longer than 1 MiB: no trial holds one";
    QTest::newRow("a field of 1 MiB is read")
        << "plot,date,level\n" + QByteArray(1 << 20, 'P') + ",01/07,0\n,01/07,3\n"
        << "error 3: the row names no plot";
    QTest::newRow("quoted field left open names the line it opens on")
        << QByteArray("plot,date,level\nP1,01/07,0\n\"P2,01/07,0\nP3,01/07,0\n")
        << "error 3: a quoted field is not closed before the end of the file";
}

void TestTrialFile::refusedFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);

    for (const bool splitPlainLines : {true, false}) {
        const QStringList lines = transcriptOf(text, std::size_t(-1), splitPlainLines);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.constLast(), error);
    }
    QCOMPARE(transcriptOf(text, 4096, true).constLast(), error);
}

// A field with no end in sight is refused once it passes 1 MiB, while the
// file is still being read, and named by the line it begins on.
void TestTrialFile::endlessFieldRefusedWhileRead_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("filler"); // repeated after the start
    QTest::addColumn<bool>("splitPlainLines");
    QTest::addColumn<QString>("error");

    const QString tooLong = QStringLiteral("a field longer than 1 MiB: no trial holds one");
    QTest::newRow("a level") << QByteArray("plot,date,level\nP1,01/07,0\nP1,11/07,")
                             << QByteArray("1") << true << "error 3: " + tooLong;
    QTest::newRow("a quote left open")
        << QByteArray("plot,date,level\nP1,01/07,0\n\"P2,01/07,0\n") << QByteArray("P,01/07,0\n")
        << true << "error 3: " + tooLong;
    QTest::newRow("a quote left open, every line through libcsv")
        << QByteArray("plot,date,level\n\"P1,01/07,0\n") << QByteArray("P,01/07,0\n") << false
        << "error 2: " + tooLong;
    QTest::newRow("a quote left open, carriage returns alone")
        << QByteArray("plot,date,level\r\r\"P1,01/07,0\r") << QByteArray("P,01/07,0\r") << true
        << "error 3: " + tooLong;
}

void TestTrialFile::endlessFieldRefusedWhileRead()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, filler);
    QFETCH(bool, splitPlainLines);
    QFETCH(QString, error);

    Transcript transcript;
    TrialReader reader(transcript, TrialReader::Options{splitPlainLines, splitPath});
    QVERIFY(!reader.read(std::string_view(start.constData(), std::size_t(start.size()))));
    QByteArray piece;
    while (piece.size() < 65536)
        piece += filler;
    std::optional<TrialError> got;
    for (int i = 0; i < 32 && !got; ++i) // 2 MiB
        got = reader.read(std::string_view(piece.constData(), std::size_t(piece.size())));
    QVERIFY(got);
    QCOMPARE(
        QStringLiteral("error %1: %2").arg(got->line).arg(QString::fromStdString(got->message)),
        error);
}

// The start of a file waits until its header is found: a first piece of
// many kilobytes is taken in steps, and must read as it does in small pieces.
void TestTrialFile::largeFirstPiece_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("first"); // the transcript's first line
    QTest::addColumn<QString>("last");

    QByteArray rows;
    for (int i = 1; i <= 3000; ++i)
        rows += "P" + QByteArray::number(i) + ",01/07," + QByteArray::number(i % 100) + "\n";
    QTest::newRow("many blank lines before the header")
        << QByteArray(5000, '\n') + "plot,date,level\n" + rows
        << "header 5001 long sep , ---- copied [] dates []"
        << "8001 P3000 [] {01/07=0}";
    QTest::newRow("a header longer than the first steps")
        << "plot,date,level," + QByteArray(9000, 'c') + "\n" + rows
        << "header 1 long sep , ---- copied [" + QString(9000, 'c') + "] dates []"
        << "3001 P3000 [] {01/07=0}";
    QTest::newRow("a byte order mark, blanks, the header across a step")
        << "\xEF\xBB\xBF" + QByteArray(4090, ' ') + "\nplot;date;level\n" + rows.replace(',', ';')
        << "header 2 long sep ; ---- copied [] dates []"
        << "3002 P3000 [] {01/07=0}";
    QTest::newRow("no line break in the first megabyte")
        << QByteArray(1536 * 1024, 'x') << ""
        << "error 1: no line break in the first 1 MiB: this is not a trial file";
}

void TestTrialFile::largeFirstPiece()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, first);
    QFETCH(QString, last);

    const QStringList whole = transcriptOf(text, std::size_t(-1), true);
    QVERIFY(!whole.isEmpty());
    if (!first.isEmpty())
        QCOMPARE(whole.constFirst(), first);
    QCOMPARE(whole.constLast(), last);
    QCOMPARE(transcriptOf(text, std::size_t(-1), false), whole);
    for (const std::size_t piece : {std::size_t{1000}, std::size_t{4096}, std::size_t{4097}})
        QCOMPARE(transcriptOf(text, piece, true), whole);
}

void TestTrialFile::onePlotReadsBack_data()
{
    QTest::addColumn<QString>("plot");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("copied"); // name=value
    QTest::addColumn<QStringList>("transcript");

    QTest::newRow("plain, with a period")
        << "P1"
        << "60"
        << ""
        << "," << QStringList()
        << QStringList{"header 1 long sep , P--- copied [] dates []", "2 P1 [] {01/07=0} period=60",
                       "3 P1 [] {11/07=1.5} period=60"};
    QTest::newRow("a group, semicolons")
        << "P1"
        << ""
        << "Mid-late"
        << ";" << QStringList()
        << QStringList{"header 1 long sep ; -G-- copied [] dates []",
                       "2 P1 [] {01/07=0} group=Mid-late", "3 P1 [] {11/07=1.5} group=Mid-late"};
    QTest::newRow("a name that needs quotes")
        << " \"North\"; 3 "
        << ""
        << ""
        << ";" << QStringList()
        << QStringList{"header 1 long sep ; ---- copied [] dates []",
                       "2  \"North\"; 3  [] {01/07=0}", "3  \"North\"; 3  [] {11/07=1.5}"};
    QTest::newRow("copied columns kept, formulas made text, numbers not")
        << "=1+1"
        << ""
        << ""
        << "," << QStringList{"clone=@Gala", "block=-5", "+note=+x"}
        << QStringList{"header 1 long sep , ---- copied [clone|block|'+note] dates []",
                       "2 '=1+1 ['@Gala|-5|'+x] {01/07=0}", "3 '=1+1 ['@Gala|-5|'+x] {11/07=1.5}"};
}

void TestTrialFile::onePlotReadsBack()
{
    QFETCH(QString, plot);
    QFETCH(QString, period);
    QFETCH(QString, group);
    QFETCH(QString, separator);
    QFETCH(QStringList, copied);
    QFETCH(QStringList, transcript);

    OnePlot one;
    one.plot = plot.toStdString();
    for (const QString& column : copied) {
        one.copiedNames.push_back(column.section('=', 0, 0).toStdString());
        one.copied.push_back(column.section('=', 1).toStdString());
    }
    one.dates = {"01/07", "11/07"};
    one.levels = {"0", "1.5"};
    one.period = period.toStdString();
    one.group = group.toStdString();
    const std::string text = WriteOnePlot(one, separator.toLatin1().at(0));
    QCOMPARE(transcriptOf(QByteArray::fromStdString(text), std::size_t(-1), true), transcript);
}

QTEST_GUILESS_MAIN(TestTrialFile)
#include "tst_trial_file.moc"
