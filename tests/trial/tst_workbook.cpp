// Workbooks as trial files, on workbooks LibreOffice Calc made (and copies of
// them changed by tests/data/make-crafted.py to be refused): a workbook's
// results are those of the CSV it was saved from, byte for byte, in each of
// the three formats, from its path and from its bytes in memory; each kind of
// cell becomes the same field in each format and date system; the sheets are
// listed and chosen by name; and each refusal comes with its reason.
#include "trial/books/book_rows.h"
#include "trial/trial_run.h"

#include <QtTest>

using namespace quarven;

namespace {

QString data(const QString& name)
{
    return QStringLiteral(QUARVEN_BOOKS_DATA "/") + name;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

WorkbookSource fileOf(const QString& name)
{
    return WorkbookSource::File(data(name).toStdString());
}

// Every record a sheet gives, "line:field|field".
class Records final : public FieldSink {
public:
    QStringList lines;
    void separator(char) override {}
    bool record(std::uint32_t line, Items<std::string_view> fields) override
    {
        QStringList texts;
        for (const std::string_view field : fields)
            texts << QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
        lines << QStringLiteral("%1:%2").arg(line).arg(texts.join('|'));
        return true;
    }
    void end(std::uint32_t line) override { lines << QStringLiteral("end %1").arg(line); }
};

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

private slots:
    void resultsAreTheCsvs_data();
    void resultsAreTheCsvs();
    void cellsBecomeFields_data();
    void cellsBecomeFields();
    void sheetsListedAndChosen_data();
    void sheetsListedAndChosen();
    void refused_data();
    void refused();
    void numbersAndDatesAsText_data();
    void numbersAndDatesAsText();
    void formatCodes_data();
    void formatCodes();
};

void TestWorkbook::resultsAreTheCsvs_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<QString>("csv");
    for (const char* layout : {"long", "wide"})
        for (const char* format : {"xlsx", "ods", "xls"})
            QTest::addRow("%s %s", layout, format)
                << QStringLiteral("huasahuasi-%1.%2").arg(layout, format)
                << QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-%1.csv").arg(layout);
}

void TestWorkbook::resultsAreTheCsvs()
{
    QFETCH(QString, book);
    QFETCH(QString, csv);
    const QByteArray text = bytesOf(csv);
    QVERIFY(!text.isEmpty());
    const BatchSettings settings{2026, kDefaultPeriod};
    const TrialRunOutcome expected = RunTrial(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), settings);
    QVERIFY(!expected.error);
    QCOMPARE(expected.plots, std::size_t{450});

    const QByteArray bytes = bytesOf(data(book));
    const std::string_view inMemory(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (const WorkbookSource& source : {fileOf(book), WorkbookSource::Bytes(inMemory)}) {
        const TrialRunOutcome outcome = RunTrialWorkbook(source, "", settings);
        QVERIFY2(!outcome.error, outcome.error ? outcome.error->message.c_str() : "");
        QCOMPARE(outcome.results, expected.results);
        QCOMPARE(outcome.refused, expected.refused);
    }
}

void TestWorkbook::cellsBecomeFields_data()
{
    QTest::addColumn<QString>("book");
    for (const char* name :
         {"cells.xlsx", "cells.ods", "cells.xls", "cells-1904.xlsx", "cells-1904.xls"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The sheet "trial" of every one: its header on row 2 after an empty column
// A, dates, a formula of a number and one of a text, text with blanks
// around, a decimal, a percentage, a number as the plot, an empty row 4.
void TestWorkbook::cellsBecomeFields()
{
    QFETCH(QString, book);
    Records records;
    const std::optional<TrialError> error = ReadWorkbook(fileOf(book), "trial", records);
    QVERIFY(!error);
    QCOMPARE(records.lines, (QStringList{
                                "2:|plot|date|level|note",
                                "3:|p1|2026-07-02|5|padded",
                                "5:|p1|2026-07-09|10|xy",
                                "6:|p1|2026-07-16|12.75",
                                "7:|p2|2026-07-02|35%",
                                "8:|101|2026-07-02|0.1",
                                "9:|101|2026-07-23|100000",
                                "end 9",
                            }));
}

void TestWorkbook::sheetsListedAndChosen_data()
{
    QTest::addColumn<QString>("book");
    for (const char* name : {"cells.xlsx", "cells.ods", "cells.xls"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestWorkbook::sheetsListedAndChosen()
{
    QFETCH(QString, book);
    const TrialSheets list = ListTrialSheets(fileOf(book));
    QVERIFY(!list.error);
    QStringList sheets;
    for (const TrialSheet& sheet : list.sheets)
        sheets << QString::fromStdString(sheet.name) + (sheet.namesPlot ? " plot" : "");
    QCOMPARE(sheets, (QStringList{"notes", "trial plot", "second plot"}));

    const BatchSettings settings{2026, kDefaultPeriod};
    // The first sheet unless one is named.
    const TrialRunOutcome first = RunTrialWorkbook(fileOf(book), "", settings);
    QVERIFY(first.error);
    QCOMPARE(first.error->message, std::string("the header names no plot column"));
    const TrialRunOutcome second = RunTrialWorkbook(fileOf(book), "second", settings);
    QVERIFY(!second.error);
    QCOMPARE(second.results, RunTrial("plot,2026-07-02,2026-07-09\nw1,1,3\n", settings).results);
    const TrialRunOutcome unknown = RunTrialWorkbook(fileOf(book), "Trial", settings);
    QVERIFY(unknown.error);
    QCOMPARE(unknown.error->line, 0u);
    QCOMPARE(unknown.error->message,
             std::string("the workbook has no sheet \"Trial\"; its sheets are \"notes\", "
                         "\"trial\", \"second\""));
}

void TestWorkbook::refused_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<uint>("line");
    QTest::addColumn<QString>("message");
    const QString encrypted =
        QStringLiteral("the workbook is encrypted: save it without a password to read it");
    QTest::newRow("encrypted xlsx") << "encrypted.xlsx" << 0u << encrypted;
    QTest::newRow("encrypted ods") << "encrypted.ods" << 0u << encrypted;
    QTest::newRow("encrypted xls") << "encrypted.xls" << 0u << encrypted;
    QTest::newRow("zip bomb") << "bomb.xlsx" << 0u
                              << "the workbook inflates past 300 times its packed size: refused "
                                 "as a zip bomb";
    QTest::newRow("entities") << "doctype.xlsx" << 0u
                              << "the workbook's XML declares a document type, which no "
                                 "workbook does: refused";
    QTest::newRow("shared string")
        << "shared-index.xlsx" << 1u << "a shared string (9999) past the workbook's 11 strings";
    QTest::newRow("outside") << "outside.xlsx" << 0u
                             << "the workbook points outside its package "
                                "(../../worksheets/sheet1.xml)";
    QTest::newRow("reference") << "reference.xlsx" << 1u
                               << "a cell reference past the sheet's bounds (XFE1)";
    QTest::newRow("repeats") << "repeated.ods" << 1u
                             << "the sheet holds more than 268435456 cells: no field book is "
                                "that large";
    QTest::newRow("zip of no workbook")
        << "not-a-workbook.xlsx" << 0u << "not a workbook: a zip archive with no spreadsheet in it";
    QTest::newRow("cut short") << "broken.xlsx" << 0u
                               << "not a workbook: a damaged zip archive (Not a zip archive)";
}

void TestWorkbook::refused()
{
    QFETCH(QString, book);
    QFETCH(uint, line);
    QFETCH(QString, message);
    const TrialRunOutcome outcome = RunTrialWorkbook(fileOf(book), "", {2026, kDefaultPeriod});
    QVERIFY(outcome.error);
    QCOMPARE(QString::fromStdString(outcome.error->message), message);
    QCOMPARE(outcome.error->line, line);
    QVERIFY(outcome.results.empty());
}

void TestWorkbook::numbersAndDatesAsText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("show");
    QTest::addColumn<bool>("from1904");
    QTest::addColumn<QString>("text");
    const int plain = static_cast<int>(books::NumberShow::Plain);
    const int date = static_cast<int>(books::NumberShow::Date);
    const int percent = static_cast<int>(books::NumberShow::Percent);
    QTest::newRow("whole") << 100000.0 << plain << false << "100000";
    QTest::newRow("tenth") << 0.1 << plain << false << "0.1";
    QTest::newRow("small") << 1e-7 << plain << false << "0.0000001";
    QTest::newRow("negative zero") << -0.0 << plain << false << "0";
    QTest::newRow("percentage") << 0.35 << percent << false << "35%";
    QTest::newRow("first day") << 1.0 << date << false << "1900-01-01";
    QTest::newRow("before the leap day") << 59.0 << date << false << "1900-02-28";
    QTest::newRow("fictitious leap day") << 60.0 << date << false << "1900-02-29";
    QTest::newRow("after it") << 61.0 << date << false << "1900-03-01";
    QTest::newRow("with a time") << 38397.75 << date << false << "2005-02-14";
    QTest::newRow("a hair before midnight") << 38397.9999999999 << date << false << "2005-02-15";
    QTest::newRow("no day 0") << 0.0 << date << false << "0";
    QTest::newRow("1904 day 0") << 0.0 << date << true << "1904-01-01";
    QTest::newRow("1904") << 36935.0 << date << true << "2005-02-14";
    QTest::newRow("past 9999") << 2958466.0 << date << false << "2958466";
}

void TestWorkbook::numbersAndDatesAsText()
{
    QFETCH(double, value);
    QFETCH(int, show);
    QFETCH(bool, from1904);
    QFETCH(QString, text);
    std::string shown;
    books::AppendShown(shown, value, static_cast<books::NumberShow>(show),
                       from1904 ? books::DateSystem::From1904 : books::DateSystem::From1900);
    QCOMPARE(QString::fromStdString(shown), text);
}

void TestWorkbook::formatCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("show");
    const int plain = static_cast<int>(books::NumberShow::Plain);
    const int date = static_cast<int>(books::NumberShow::Date);
    const int percent = static_cast<int>(books::NumberShow::Percent);
    QTest::newRow("iso") << "yyyy\\-mm\\-dd" << date;
    QTest::newRow("day month") << "d/m" << date;
    QTest::newRow("month name") << "[$-409]mmmm" << date;
    QTest::newRow("minutes") << "mm:ss" << plain;
    QTest::newRow("elapsed hours") << "[h]:mm" << plain;
    QTest::newRow("quoted days") << "0 \"days\"" << plain;
    QTest::newRow("general") << "General" << plain;
    QTest::newRow("percent") << "0.0%" << percent;
    QTest::newRow("quoted percent") << "0\"%\"" << plain;
}

void TestWorkbook::formatCodes()
{
    QFETCH(QString, code);
    QFETCH(int, show);
    QCOMPARE(static_cast<int>(books::ShowOfFormatCode(code.toStdString())), show);
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
