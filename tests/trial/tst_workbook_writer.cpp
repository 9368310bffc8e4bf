// Workbooks written, read back by the project's own workbook reader: each
// kind of cell, a trial's results and summary as their CSV texts give them
// with the header row frozen, and a workbook that cannot be written whole
// leaves its target as it was and nothing beside it.
#include "trial/books/workbook.h"
#include "trial/books/zip_xml.h"
#include "trial/trial_run.h"
#include "trial/trial_workbook.h"

#include <QtTest>

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace quarven;

namespace {

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
    void end(std::uint32_t) override {}
};

QStringList sheetOf(const QString& path, const char* sheet)
{
    Records records;
    const std::optional<TrialError> error =
        ReadWorkbook(WorkbookSource::File(path.toStdString()), sheet, records);
    if (error)
        return {QString::fromStdString(error->message)};
    return records.lines;
}

// A part of the package, as text.
QString partOf(const QString& path, const char* part)
{
    books::ZipPackage package(WorkbookSource::File(path.toStdString()));
    std::string text;
    const books::Error error = package.read(part, [&text](std::string_view piece) {
        text.append(piece);
        return true;
    });
    return error ? QString::fromStdString(*error) : QString::fromStdString(text);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// A CSV line's fields and a sheet's record agree: as numbers where both are
// numbers ("0.0" shown from 0), as texts otherwise.
bool sameRow(const QString& csv, const QString& record)
{
    const QStringList expected = csv.split(',');
    QStringList got = record.section(':', 1).split('|');
    while (got.size() < expected.size())
        got << QString();
    if (got.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        bool numbers[2] = {false, false};
        const double a = expected[i].toDouble(&numbers[0]);
        const double b = got[i].toDouble(&numbers[1]);
        if (numbers[0] && numbers[1] ? a != b : expected[i] != got[i])
            return false;
    }
    return true;
}

} // namespace

class TestWorkbookWriter : public QObject {
    Q_OBJECT

private slots:
    void cellsKeepTheirKinds_data();
    void cellsKeepTheirKinds();
    void resultsAndSummaryAreTheirCsvs();
    void writtenWholeOrNotAtAll_data();
    void writtenWholeOrNotAtAll();

private:
    QTemporaryDir m_folder;
};

void TestWorkbookWriter::cellsKeepTheirKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read"); // back by the reader
    QTest::addColumn<bool>("number");  // a number cell, not a text one

    const int number = static_cast<int>(CellKind::Number);
    const int date = static_cast<int>(CellKind::Date);
    const int text = static_cast<int>(CellKind::Text);
    const int name = static_cast<int>(CellKind::Name);
    QTest::newRow("a number") << number << "17.94"
                              << "17.94" << true;
    QTest::newRow("a number with a decimal comma") << number << "-1,5"
                                                   << "-1.5" << true;
    QTest::newRow("no number stays text") << number << "1.2.3"
                                          << "1.2.3" << false;
    QTest::newRow("an ISO date") << date << "2005-02-14"
                                 << "2005-02-14" << true;
    QTest::newRow("a day and month in the book's year") << date << "14/02"
                                                        << "2005-02-14" << true;
    QTest::newRow("no such day stays text") << date << "31/02"
                                            << "31/02" << false;
    QTest::newRow("text of digits") << text << "101"
                                    << "101" << false;
    QTest::newRow("text like a formula is no formula") << text << "=1+1"
                                                       << "=1+1" << false;
    QTest::newRow("a name read back whole is a number") << name << "101"
                                                        << "101" << true;
    QTest::newRow("a name with a leading zero") << name << "01"
                                                << "01" << false;
    QTest::newRow("a name with a trailing zero") << name << "1.50"
                                                 << "1.50" << false;
}

void TestWorkbookWriter::cellsKeepTheirKinds()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, read);
    QFETCH(bool, number);

    const QString path = m_folder.filePath("cells.xlsx");
    const std::optional<std::string> error = WriteWorkbook(
        path.toStdString(), 2005,
        {SheetTable{"cells", {{"value", static_cast<CellKind>(kind), 2}}, {{text.toStdString()}}}});
    QVERIFY2(!error, error ? error->c_str() : "");
    QCOMPARE(sheetOf(path, "cells"), (QStringList{"1:value", "2:" + read}));
    const QString xml = partOf(path, "xl/worksheets/sheet1.xml");
    const QRegularExpression cell(QStringLiteral("<c r=\"A2\"([^>]*)>"));
    const QRegularExpressionMatch found = cell.match(xml);
    QVERIFY2(found.hasMatch(), qPrintable(xml));
    QCOMPARE(!found.captured(1).contains(QLatin1String(" t=")), number);
}

void TestWorkbookWriter::resultsAndSummaryAreTheirCsvs()
{
    QFile trial(QStringLiteral(QUARVEN_TRIAL_DATA "/huasahuasi-long.csv"));
    QVERIFY(trial.open(QIODevice::ReadOnly));
    const QByteArray text = trial.readAll();
    const QString path = m_folder.filePath("results.xlsx");
    std::string csv;
    {
        WorkbookWriter book(path.toStdString(), 2005);
        std::optional<ResultsSheet> sheet;
        TrialRun run(BatchSettings{2005, kDefaultPeriod},
                     [&csv](std::string_view piece) { csv.append(piece); });
        run.summariseBy("clon");
        run.keepResults([&](const PlotResult& result) {
            if (!sheet)
                sheet.emplace(book, run.copiedNames());
            sheet->add(result);
        });
        QVERIFY(!run.read(std::string_view(text.constData(), std::size_t(text.size()))));
        QVERIFY(!run.finish());
        const Summary summary = std::get<Summary>(run.summary().summarise({}));
        AddSheet(book, SummaryTable(summary));
        QVERIFY2(book.commit(), book.error().c_str());
        csv += SummaryText(summary, ',', DecimalMark::Point);
    }
    QVERIFY(!csv.empty() && csv.find('"') == std::string::npos);
    const QStringList lines = QString::fromStdString(csv).split('\n', Qt::SkipEmptyParts);
    QStringList records = sheetOf(path, "results") + sheetOf(path, "summary");
    QCOMPARE(records.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(sameRow(lines[i], records[i]),
                 qPrintable(QStringLiteral("%1 / %2").arg(lines[i], records[i])));
    // Numbers shown with their column's decimals, the header row frozen.
    QVERIFY(partOf(path, "xl/styles.xml").contains(QLatin1String("formatCode=\"0.0000\"")));
    QVERIFY(partOf(path, "xl/worksheets/sheet1.xml").contains(QLatin1String("state=\"frozen\"")));
}

void TestWorkbookWriter::writtenWholeOrNotAtAll_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("error");

    QTest::newRow("a folder") << "folder"
                              << "is a folder";
    QTest::newRow("a named pipe") << "pipe"
                                  << "is not a regular file";
    QTest::newRow("a folder not there")
        << "none/book.xlsx" << QString::fromLocal8Bit(std::strerror(ENOENT));
    // A file grown past the process's limit fails as on a full disk.
    QTest::newRow("a full disk") << "book.xlsx" << QString::fromLocal8Bit(std::strerror(EFBIG));
}

void TestWorkbookWriter::writtenWholeOrNotAtAll()
{
    QFETCH(QString, target);
    QFETCH(QString, error);

    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir("folder"));
    QCOMPARE(::mkfifo(qPrintable(folder.filePath("pipe")), 0666), 0);
    QFile earlier(folder.filePath("book.xlsx"));
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier\n") == 8);
    earlier.close();
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::System);

    SheetTable table{"rows", {{"plot", CellKind::Name}, {"audpc", CellKind::Number, 1}}, {}};
    for (int row = 0; row < 20000; ++row)
        table.rows.push_back({"P" + std::to_string(row), std::to_string(row) + ".5"});
    const bool limited = target == "book.xlsx";
    rlimit saved{};
    if (limited) {
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{64 << 10, saved.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const std::optional<std::string> why =
        WriteWorkbook(folder.filePath(target).toStdString(), 2005, {table});
    if (limited)
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    QVERIFY(why);
    QCOMPARE(QString::fromStdString(*why), error);
    QCOMPARE(bytesOf(folder.filePath("book.xlsx")), QByteArray("earlier\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System), before);
}

QTEST_GUILESS_MAIN(TestWorkbookWriter)
#include "tst_workbook_writer.moc"
