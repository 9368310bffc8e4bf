// The row reader: the header's names matched to columns, the layout chosen,
// rows of a layout handed over, and the headers and rows it refuses. Records
// are handed to it directly, as a reader of workbook cells would hand them;
// a trial of one plot is written and read back through the whole reader.
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

QString errorLine(const TrialError& error)
{
    return QStringLiteral("error %1: %2")
        .arg(error.line)
        .arg(QString::fromStdString(error.message));
}

// Records written "line:field|field|…", handed over in turn, then the end at
// the last record's line. A first record "sep none" tells of no separator.
QStringList transcriptOf(char separator, QStringList records)
{
    Transcript transcript;
    TrialRowReader reader(transcript);
    if (!records.isEmpty() && records.constFirst() == QLatin1String("sep none")) {
        separator = '\0';
        records.removeFirst();
    }
    reader.separator(separator);
    std::uint32_t line = 1;
    for (const QString& record : std::as_const(records)) {
        line = record.section(':', 0, 0).toUInt();
        std::vector<std::string> texts;
        for (const QString& field : record.section(':', 1).split('|'))
            texts.push_back(field.toStdString());
        const std::vector<std::string_view> fields(texts.begin(), texts.end());
        if (!reader.record(line, Items<std::string_view>(fields.data(), fields.size())))
            break;
    }
    if (!reader.error())
        reader.end(line);
    if (reader.error())
        transcript.lines << errorLine(*reader.error());
    return transcript.lines;
}

} // namespace

class TestTrialRows : public QObject {
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void refusedHeadersAndRows_data();
    void refusedHeadersAndRows();
    void onePlotReadsBack_data();
    void onePlotReadsBack();
};

void TestTrialRows::rows_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("transcript");

    QTest::newRow("long layout") << ","
                                 << QStringList{"1:plot|date|level", "2:P1|01/07|0",
                                                "3:P1|11/07|10"}
                                 << QStringList{"header 1 long sep , ---- copied [] dates []",
                                                "2 P1 [] {01/07=0}", "3 P1 [] {11/07=10}"};
    QTest::newRow("names in any case and between blanks")
        << ";" << QStringList{"1: Plot |DATE|Level", "2:P1|01/07|12,5"}
        << QStringList{"header 1 long sep ; ---- copied [] dates []", "2 P1 [] {01/07=12,5}"};
    QTest::newRow("blank records skipped, the header the first that is not")
        << "\t" << QStringList{"1:", "2: |\t", "3:plot|date|level|clone", "4:||", "6:P 1|01/07|3|x"}
        << QStringList{"header 3 long sep tab ---- copied [clone] dates []", "6 P 1 [x] {01/07=3}"};
    QTest::newRow("per-plot columns and copied columns in file order")
        << ","
        << QStringList{"1:block|plot|Period|date|group|level|Budding|desiccation|clone",
                       "2:1|P1|60|01/07|Late|0|13/6|14/9|Gala"}
        << QStringList{"header 1 long sep , PGBD copied [block|clone] dates []",
                       "2 P1 [1|Gala] {01/07=0} period=60 group=Late budding=13/6 "
                       "desiccation=14/9"};
    QTest::newRow("short row, a row declaring its plot only, fields past the header")
        << ","
        << QStringList{"1:plot|date|level|clone", "2:P1|01/07", "3:P2|||Gala",
                       "4:P3|01/07|1|Gala|12||"}
        << QStringList{"header 1 long sep , ---- copied [clone] dates []", "2 P1 [] {01/07=}",
                       "3 P2 [Gala] {}", "4 P3 [Gala] {01/07=1} extra=1"};
    QTest::newRow("wide layout: dates as headers, empty cells skipped")
        << ";"
        << QStringList{"1:plot|01/07|11/07|2026-07-21|clone", "2:P1|0||30|Gala", "3:P2||||Laura"}
        << QStringList{"header 1 wide sep ; ---- copied [clone] dates [01/07|11/07|2026-07-21]",
                       "2 P1 [Gala] {01/07=0 2026-07-21=30}", "3 P2 [Laura] {}"};
    QTest::newRow("unnamed column after the last one")
        << "," << QStringList{"1:plot|date|level|", "2:P1|01/07|0|", "3:P1|11/07|10|5"}
        << QStringList{"header 1 long sep , ---- copied [] dates []", "2 P1 [] {01/07=0}",
                       "3 P1 [] {11/07=10} extra=1"};
}

void TestTrialRows::rows()
{
    QFETCH(QString, separator);
    QFETCH(QStringList, records);
    QFETCH(QStringList, transcript);

    QCOMPARE(transcriptOf(separator.toLatin1().at(0), records), transcript);
}

void TestTrialRows::refusedHeadersAndRows_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("error");

    QTest::newRow("a text whose first line holds no separator")
        << QStringList{"sep none", "1:plot"}
        << "error 1: the header has a single column: its names must be separated by commas, "
           "semicolons or tabs";
    QTest::newRow("no header") << QStringList{"2: "}
                               << "error 2: the file is empty: a header row is needed";
    QTest::newRow("no plot column")
        << QStringList{"2:name|date|level"} << "error 2: the header names no plot column";
    QTest::newRow("date without level")
        << QStringList{"1:plot|date|clone"}
        << "error 1: the header names a date column but no level column";
    QTest::newRow("level without date")
        << QStringList{"1:plot|level"}
        << "error 1: the header names a level column but no date column";
    QTest::newRow("neither layout")
        << QStringList{"1:plot|clone"}
        << "error 1: the header names neither date and level columns nor any assessment date";
    QTest::newRow("a column twice") << QStringList{"1:plot|date|level|LEVEL"}
                                    << "error 1: the header names the column level twice";
    QTest::newRow("row without a plot")
        << QStringList{"1:plot|date|level", "2:P1|01/07|0", "3:|01/07|3", "4:P2|01/07|3"}
        << "error 3: the row names no plot";
    QTest::newRow("wide: a heading written like a date that is none")
        << QStringList{"1:plot|03/07|10/07|17/07|31/06", "2:A|1|2|3|4"}
        << "error 1: column 5 of the header (31/06) is written like a date but is none: dates "
           "are read day first, dd/mm or dd/mm/yyyy";
    QTest::newRow("wide: headings written month first")
        << QStringList{"1:plot|07/03/2026|07/17/2026"}
        << "error 1: column 3 of the header (07/17/2026) is written like a date but is none: "
           "dates are read day first, dd/mm or dd/mm/yyyy";
}

void TestTrialRows::refusedHeadersAndRows()
{
    QFETCH(QStringList, records);
    QFETCH(QString, error);

    const QStringList lines = transcriptOf(',', records);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.constLast(), error);
    // Nothing is handed over after the refusal.
    QVERIFY(!lines.constLast().isEmpty() && !lines.join('\n').contains(QStringLiteral("P2")));
}

void TestTrialRows::onePlotReadsBack_data()
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

void TestTrialRows::onePlotReadsBack()
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
    Transcript read;
    if (const std::optional<TrialError> error = ReadTrial(text, read))
        read.lines << errorLine(*error);
    QCOMPARE(read.lines, transcript);
}

QTEST_GUILESS_MAIN(TestTrialRows)
#include "tst_trial_rows.moc"
