// The real quarven binary at the command line, with no display at all (no
// DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM) and a decimal-comma
// locale: exit statuses, the one line on standard error, results written
// whole or not at all and never over the trial. Also which arguments still
// open the window.
#include "app/command_line.h"
#include "app/progress_bar.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString kBinary = QStringLiteral(QUARVEN_BINARY);

const QByteArray kComputed = "plot,date,level\nP1,01/07,0\nP1,11/07,10\nP1,21/07,30\n";
const QByteArray kComputedResults =
    "plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_audpc,audps,"
    "message\nP1,3,01/07,21/07,52,250,4.8,0.1250,400.0,\n";
const QByteArray kRefused = "plot,date,level\nP1,01/07,0\nP1,11/07,10\nP2,01/07,5\nP2,11/07,3\n";
const QByteArray kNoPlot = "name,date,level\nP1,01/07,0\n";
// Clone A's two plots, B's refused one and C's one, in a decimal-comma file.
const QByteArray kClones =
    "plot;clone;date;level\nP1;A;01/07;0\nP1;A;11/07;10\nP2;A;01/07;0\n"
    "P2;A;11/07;20\nP3;B;01/07;5\nP3;B;11/07;3\nP4;C;01/07;0\nP4;C;11/07;30\n";
// Two sites of clones A and B (see sites()).
const QByteArray kSiteA =
    "plot,clone,date,level\nP1,A,01/07,0\nP1,A,11/07,10\nP2,B,01/07,0\nP2,B,11/07,40\n";
const QByteArray kSiteB = "plot;clone;rep;date;level\nP1;A;1;01/07;0\nP1;A;1;11/07;20\n"
                          "P2;B;1;01/07;0\nP2;B;1;11/07;30\n";
const QByteArray kSummaryColumns =
    "group,plots,refused,audpc_mean,audpc_sd,yield_losses_mean,yield_losses_sd,relative_audpc_"
    "mean,relative_audpc_sd,audps_mean,audps_sd,rank,scale\n";

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// prepare: sets up the process further (its streams, environment, limits).
Run run(const QStringList& arguments, const QString& folder, const QByteArray& input = {},
        const std::function<void(QProcess&)>& prepare = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    if (prepare)
        prepare(process);
    process.start(kBinary, arguments);
    if (!process.waitForStarted())
        return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void write(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// A long-layout trial: plots with two assessments each, listed date by date,
// the plots in file order or shuffled.
QByteArray trialOf(int plots, bool shuffled = false)
{
    QByteArray trial = "plot,date,level\n";
    for (const char* date : {"01/07", "11/07"})
        for (int i = 0; i < plots; ++i) {
            // 7919 is a prime that divides no count used here: a permutation.
            const int plot = 1 + (shuffled ? static_cast<int>(qint64{i} * 7919 % plots) : i);
            trial += "P" + QByteArray::number(plot) + "," + date + "," +
                     QByteArray::number(plot % 50 + (date[0] == '1' ? 1 : 0)) + "\n";
        }
    return trial;
}

// As the binary words it, in the locale the test runs under.
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QStringList filesIn(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void statusAndStandardError_data();
    void statusAndStandardError();
    void workbooksGiveTheirCsvResults_data();
    void workbooksGiveTheirCsvResults();
    void workbookRefusals_data();
    void workbookRefusals();
    void workbookThroughStandardInputIsBounded();
    void helpListsEveryOption();
    void helpAllIsAnswered();
    void version();
    void failedRunLeavesNoResults_data();
    void failedRunLeavesNoResults();
    void refusesToWriteOverTheTrial_data();
    void refusesToWriteOverTheTrial();
    void outputsThroughLinksNeverMeet_data();
    void outputsThroughLinksNeverMeet();
    void fileNamedLikeAnOption_data();
    void fileNamedLikeAnOption();
    void failedWriteIsTold_data();
    void failedWriteIsTold();
    void failedSyncIsTold_data();
    void failedSyncIsTold();
    void outOfMemoryIsTold_data();
    void outOfMemoryIsTold();
    void resultsFileHoldsWhatStandardOutputShows_data();
    void resultsFileHoldsWhatStandardOutputShows();
    void summaryOfBlocksMadeOnTwoThreads();
    void sites_data();
    void sites();
    void sitesAgainstR();
    void reportWithoutItsModule();
    void evaluationOutputOnAFullDisk_data();
    void evaluationOutputOnAFullDisk();
    void wantsWindow_data();
    void wantsWindow();
    void progressText_data();
    void progressText();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString path(const QString& name) const { return m_folder->filePath(name); }
    // A 64 KiB file system of its own, to be filled; empty when none could be mounted.
    QTemporaryDir m_smallDiskFolder;
    QString m_smallDisk;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(m_smallDiskFolder.isValid());
    if (::mount("tmpfs", QFile::encodeName(m_smallDiskFolder.path()).constData(), "tmpfs", 0,
                "size=64k") == 0)
        m_smallDisk = m_smallDiskFolder.path();
}

void TestCommandLine::cleanupTestCase()
{
    if (!m_smallDisk.isEmpty())
        QCOMPARE(::umount2(QFile::encodeName(m_smallDisk).constData(), MNT_DETACH), 0);
}

void TestCommandLine::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    write(path("computed.csv"), kComputed);
    write(path("refused.csv"), kRefused);
    write(path("noplot.csv"), kNoPlot);
}

void TestCommandLine::statusAndStandardError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QStringList year{"--year", "2026"};
    QTest::newRow("every plot computed") << (QStringList{"--batch", "computed.csv"} + year)
                                         << QByteArray() << 0 << kComputedResults << QByteArray();
    QTest::newRow("standard input to standard output")
        << (QStringList{"--batch", "-", "--output", "-"} + year) << kComputed << 0
        << kComputedResults << QByteArray();
    QTest::newRow("a plot refused: status 1, the others computed")
        << (QStringList{"--batch", "refused.csv"} + year) << QByteArray() << 1
        << QByteArray("plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_"
                      "audpc,audps,message\nP1,2,01/07,11/07,52,50,1.0,0.0500,100.0,\nP2,2,,,52,,"
                      ",,,Data input error (assessments # 1 and  2).  Results of the next "
                      "assessment should be equal or higher than those for the previous "
                      "assessment! (lines 4 and 5)\n")
        << QByteArray();
    // P2 falls from 5 to 3 in 10 days: 10 * (5 + 3) / 2 = 40.
    QTest::newRow("a falling level kept: status 0")
        << (QStringList{"--batch", "refused.csv", "--falls", "keep"} + year) << QByteArray() << 0
        << QByteArray("plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_"
                      "audpc,audps,message\nP1,2,01/07,11/07,52,50,1.0,0.0500,100.0,\nP2,2,01/07,"
                      "11/07,52,40,0.8,0.0400,80.0,the level falls on 11/07\n")
        << QByteArray();
    QTest::newRow("--falls neither keep nor refuse")
        << QStringList{"--batch", "refused.csv", "--falls", "sometimes"} << QByteArray() << 2
        << QByteArray() << QByteArray("quarven: --falls sometimes: keep or refuse\n");
    QTest::newRow("the default period from a group")
        << (QStringList{"--batch", "computed.csv", "--group", "late"} + year) << QByteArray() << 0
        << QByteArray("plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_"
                      "audpc,audps,message\nP1,3,01/07,21/07,84,250,3.0,0.1250,400.0,\n")
        << QByteArray();
    QTest::newRow("unreadable trial: file and line")
        << QStringList{"--batch", "noplot.csv"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: noplot.csv:1: the header names no plot column\n");
    QTest::newRow("standard input named as such")
        << QStringList{"--batch", "-"} << kNoPlot << 2 << QByteArray()
        << QByteArray("quarven: standard input:1: the header names no plot column\n");
    QTest::newRow("a wide heading written like a date that is none")
        << QStringList{"--batch", "-"} << QByteArray("plot,03/07,10/07,17/07,31/06\nA,1,2,3,4\n")
        << 2 << QByteArray()
        << QByteArray("quarven: standard input:1: column 5 of the header (31/06) is written like "
                      "a date but is none: dates are read day first, dd/mm or dd/mm/yyyy\n");
    QTest::newRow("a field longer than 1 MiB")
        << QStringList{"--batch", "-"}
        << "plot,date,level\nP1,01/07," + QByteArray(3 << 20, '1') + "\n"
        << 2 << QByteArray()
        << QByteArray("quarven: standard input:2: a field longer than 1 MiB: no trial holds one\n");
    QTest::newRow("missing trial")
        << QStringList{"--batch", "absent.csv"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: absent.csv: No such file or directory\n");
    QTest::newRow("a folder as the trial")
        << QStringList{"--batch", "."} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: .: is a folder\n");
    QTest::newRow("unknown option")
        << QStringList{"--batch", "computed.csv", "--bogus"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: Unknown option 'bogus'.\n");
    QTest::newRow("batch without its trial")
        << QStringList{"--batch"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: Missing value after '--batch'.\n");
    QTest::newRow("options without --batch")
        << QStringList{"--period", "60"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: --batch TRIAL is needed; see quarven --help\n");
    QTest::newRow("an argument after the trial is another trial")
        << QStringList{"--batch", "computed.csv", "extra"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: extra: No such file or directory\n");
    QTest::newRow("period out of range")
        << QStringList{"--batch", "computed.csv", "--period", "131"} << QByteArray() << 2
        << QByteArray()
        << QByteArray("quarven: --period 131: Duration of the tuberization stage usually makes "
                      "from 10 to 130 days\n");
    QTest::newRow("period and group together")
        << QStringList{"--batch", "computed.csv", "--period", "60", "--group", "Late"}
        << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: --period and --group exclude each other\n");
    QTest::newRow("unknown group")
        << QStringList{"--batch", "computed.csv", "--group", "Early-ish"} << QByteArray() << 2
        << QByteArray()
        << QByteArray("quarven: --group Early-ish: not a maturity group (First early, Early, "
                      "Mid-early, Mid, Mid-late, Late)\n");
    QTest::newRow("year 0") << QStringList{"--batch", "computed.csv", "--year", "0"} << QByteArray()
                            << 2 << QByteArray()
                            << QByteArray("quarven: --year 0: a year from 1 to 9999 is needed\n");

    // Means and standard deviations as R gives them (tests/trial/data), rounded.
    const QByteArray huasahuasi = read(QFINDTESTDATA("../trial/data/huasahuasi-long.csv"));
    const QByteArray byClone =
        kSummaryColumns +
        "C387164.4,90,0,5.2,9.9,0.10,0.19,0.0009,0.0018,6.1,11.2,1,%1\n"
        "C386209.10,90,1,1099.1,577.4,21.14,11.10,0.1963,0.1031,1314.8,660.6,4,%2\n"
        "Cruza148,90,0,46.0,50.1,0.88,0.96,0.0082,0.0089,54.3,58.3,2,%3\n"
        "Yungay,90,0,932.9,610.4,17.94,11.74,0.1666,0.1090,1125.0,690.8,3,%4\n"
        "Musuq,90,0,2155.8,1018.8,41.46,19.59,0.3850,0.1819,2465.0,1076.7,5,%5\n";
    const auto scaled = [&byClone](QStringList scale) {
        QString text = QString::fromLatin1(byClone);
        for (const QString& value : scale)
            text = text.arg(value);
        return text.toLatin1();
    };
    QTest::newRow("--by clon on huasahuasi: the summary alone on standard output")
        << QStringList{"--batch", "-", "--by", "clon"} << huasahuasi << 1
        << scaled({"", "", "", "", ""}) << QByteArray();
    // Slope (5 x 0.1666 + 8 x 0.3850) / (0.1666^2 + 0.3850^2) = 22.237.
    QTest::newRow("--by CLON with two standards: their scale")
        << QStringList{"--batch",    "-",        "--by",       "CLON",
                       "--standard", "Yungay=5", "--standard", "Musuq=8"}
        << huasahuasi << 1 << scaled({"0.0", "4.4", "0.2", "3.7", "8.6"}) << QByteArray();
    const QStringList clones{"--batch", "-", "--year", "2026", "--by", "clone"};
    QTest::newRow("a semicolon trial's separator and decimal comma")
        << (clones + QStringList{"--standard", "C=6"}) << kClones << 1
        << QByteArray("group;plots;refused;audpc_mean;audpc_sd;yield_losses_mean;yield_losses_"
                      "sd;relative_audpc_mean;relative_audpc_sd;audps_mean;audps_sd;rank;scale\n"
                      "A;2;0;75,0;35,4;1,44;0,68;0,0750;0,0354;150,0;70,7;1;3,0\n"
                      "B;1;1;;;;;;;;;;\nC;1;0;150,0;;2,88;;0,1500;;300,0;;2;6,0\n")
        << QByteArray();
    const QStringList files{"--output", "results.csv", "--summary", "summary.csv"};
    QTest::newRow("an unknown --by column")
        << QStringList{"--batch", "-", "--by", "clones"} + files << kClones << 2 << QByteArray()
        << QByteArray("quarven: standard input:1: No column \"clones\" to group by: the trial "
                      "has \"clone\"\n");
    QTest::newRow("a standard that is no group")
        << clones + files + QStringList{"--standard", "D=3"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: standard input: The standard \"D\" is no group of the trial\n");
    QTest::newRow("a standard given twice")
        << clones + files + QStringList{"--standard", "A=3", "--standard", "A=4"} << kClones << 2
        << QByteArray()
        << QByteArray("quarven: standard input: The standard \"A\" is given twice\n");
    QTest::newRow("a standard outside 1..9")
        << clones + QStringList{"--standard", "A=0"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: standard input: The standard \"A\" has the value 0, outside the "
                      "scale 1..9\n");
    QTest::newRow("standards whose means are all 0")
        << QStringList{"--batch", "-", "--by", "clone", "--standard", "Z=3"} + files
        << QByteArray("plot,clone,date,level\nP1,Z,01/07,0\nP1,Z,11/07,0\n") << 2 << QByteArray()
        << QByteArray("quarven: standard input: The standard \"Z\" has a mean relative AUDPC of 0: "
                      "it gives no scale\n");
    QTest::newRow("a standard not written NAME=VALUE")
        << clones + QStringList{"--standard", "A:3"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: The standard \"A:3\" is not written NAME=VALUE\n");
    QTest::newRow("--standard without --by")
        << QStringList{"--batch", "-", "--standard", "A=3"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: --standard needs --by COLUMN\n");
    QTest::newRow("--summary without --by")
        << QStringList{"--batch", "-", "--summary", "summary.csv"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: --summary needs --by COLUMN\n");
    QTest::newRow("the summary and the results both on standard output")
        << clones + QStringList{"--output", "-"} << kClones << 2 << QByteArray()
        << QByteArray("quarven: --output and --summary cannot both be standard output\n");

    // Field books: the options that tell how a file is read.
    const QStringList toFile{"--batch", "-", "--year", "2026", "--output", "results.csv"};
    QTest::newRow("dates month first")
        << QStringList{"--batch", "-", "--year", "2026", "--dates", "month-first"}
        << QByteArray("plot,date,level\nP1,7/1,0\nP1,7/11,10\nP1,7/21,30\n") << 0
        << kComputedResults << QByteArray();
    QTest::newRow("dates in no order known")
        << toFile + QStringList{"--dates", "mdy"} << kComputed << 2 << QByteArray()
        << QByteArray("quarven: --dates mdy: day-first or month-first\n");
    QTest::newRow("headings in days")
        << QStringList{"--batch",      "-",   "--year",        "2026",
                       "--days-after", "1/7", "--day-columns", "e"}
        << QByteArray("plot,E0,E10,E20\nP1,0,10,30\n") << 0 << kComputedResults << QByteArray();
    QTest::newRow("a start without its prefix")
        << toFile + QStringList{"--days-after", "1/7"} << kComputed << 2 << QByteArray()
        << QByteArray("quarven: --days-after DATE and --day-columns PREFIX go together\n");
    const QByteArray observations =
        "plot_id,trait,value,timestamp\nP1,severity,0,2026-07-01T08:00:00-05:00\n"
        "P1,height,40,2026-07-01T08:00:00-05:00\nP1,severity,10,2026-07-11T08:00Z\n"
        "P1,severity,20,2026-07-21 08:00\nP1,severity,40,2026-07-21 09:00\n";
    QTest::newRow("one observation a row, several traits, none chosen")
        << toFile << observations << 2 << QByteArray()
        << QByteArray("quarven: standard input:1: the file holds observations of 2 traits "
                      "(\"severity\", \"height\"): name the one to read (--trait NAME)\n");
    QTest::newRow("a sheet of a text trial")
        << toFile + QStringList{"--sheet", "trial"} << kComputed << 2 << QByteArray()
        << QByteArray("quarven: standard input: --sheet trial: the trial is a text file, not a "
                      "workbook (.xlsx, .ods or .xls)\n");
}

void TestCommandLine::statusAndStandardError()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    const QStringList files = filesIn(m_folder->path());
    const Run result = run(arguments, m_folder->path(), input);
    QCOMPARE(result.err, err);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
    if (status == 2)
        QCOMPARE(filesIn(m_folder->path()), files);
}

void TestCommandLine::workbooksGiveTheirCsvResults_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<bool>("fromStandardInput");
    for (const char* layout : {"long", "wide"})
        for (const char* format : {"xlsx", "ods", "xls"})
            QTest::addRow("%s %s", layout, format)
                << QStringLiteral("huasahuasi-%1.%2").arg(layout, format) << false;
    QTest::newRow("long xlsx through standard input") << "huasahuasi-long.xlsx" << true;
    QTest::newRow("wide xls through standard input") << "huasahuasi-wide.xls" << true;
}

// The workbooks LibreOffice Calc saved from the CSV files, told by their
// bytes: named .csv here, as a file manager may have renamed them.
void TestCommandLine::workbooksGiveTheirCsvResults()
{
    QFETCH(QString, book);
    QFETCH(bool, fromStandardInput);

    const QString layout = book.section('.', 0, 0).section('-', 1);
    const QByteArray csv = read(QFINDTESTDATA("../trial/data/huasahuasi-" + layout + ".csv"));
    QVERIFY(QFile::copy(QFINDTESTDATA("../data/" + book), path("book.csv")));
    const Run fromCsv = run({"--batch", "-", "--year", "2026"}, m_folder->path(), csv);
    QCOMPARE(fromCsv.status, 1);
    const Run fromBook = run({"--batch", fromStandardInput ? "-" : "book.csv", "--year", "2026"},
                             m_folder->path(), {}, [&](QProcess& process) {
                                 if (fromStandardInput)
                                     process.setStandardInputFile(path("book.csv"));
                             });
    QCOMPARE(fromBook.err, QByteArray());
    QCOMPARE(fromBook.status, fromCsv.status);
    QCOMPARE(fromBook.out, fromCsv.out);
}

void TestCommandLine::workbookRefusals_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("fromStandardInput");
    QTest::addColumn<QString>("err"); // %1: how the trial is named

    QTest::newRow("a sheet the workbook lacks")
        << "cells.xlsx" << QStringList{"--sheet", "Trial"} << false
        << "quarven: %1: the workbook has no sheet \"Trial\"; its sheets are \"notes\", "
           "\"trial\", \"second\"\n";
    QTest::newRow("a cell's error names its row")
        << "shared-index.xlsx" << QStringList() << false
        << "quarven: %1:1: a shared string (9999) past the workbook's 11 strings\n";
    QTest::newRow("encrypted, through standard input")
        << "encrypted.xlsx" << QStringList() << true
        << "quarven: %1: the workbook is encrypted: save it without a password to read it\n";
}

// Told as for a text, and nothing written.
void TestCommandLine::workbookRefusals()
{
    QFETCH(QString, book);
    QFETCH(QStringList, options);
    QFETCH(bool, fromStandardInput);
    QFETCH(QString, err);

    QVERIFY(QFile::copy(QFINDTESTDATA("../data/" + book), path(book)));
    const QStringList files = filesIn(m_folder->path());
    const Run result = run(
        QStringList{"--batch", fromStandardInput ? "-" : book, "--output", "results.csv"} + options,
        m_folder->path(), {}, [&](QProcess& process) {
            if (fromStandardInput)
                process.setStandardInputFile(path(book));
        });
    QCOMPARE(result.err, err.arg(fromStandardInput ? "standard input" : book).toUtf8());
    QCOMPARE(result.status, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(filesIn(m_folder->path()), files);
}

// Past the bound a workbook is not read into memory, before it is read through.
void TestCommandLine::workbookThroughStandardInputIsBounded()
{
    QFile book(path("large.xlsx"));
    QVERIFY(book.open(QIODevice::WriteOnly));
    QCOMPARE(book.write("PK\x03\x04"), qint64(4));
    QVERIFY(book.resize((qint64{256} << 20) + 1)); // sparse: no disk used
    book.close();
    const Run result =
        run({"--batch", "-", "--output", "results.csv"}, m_folder->path(), {},
            [&](QProcess& process) { process.setStandardInputFile(path("large.xlsx")); });
    QCOMPARE(result.err, QByteArray("quarven: standard input: a workbook of more than 256 MiB is "
                                    "read from its file, not through standard input or a pipe\n"));
    QCOMPARE(result.status, 2);
    QVERIFY(!QFileInfo::exists(path("results.csv")));
}

void TestCommandLine::helpListsEveryOption()
{
    const Run result = run({"--help"}, m_folder->path());
    QCOMPARE(result.status, 0);
    for (const char* option :
         {"--batch <TRIAL>", "--output <RESULTS>", "--period <DAYS>", "--group <NAME>",
          "--year <YYYY>", "--sheet <NAME>", "--dates <ORDER>", "--days-after <DATE>",
          "--day-columns <PREFIX>", "--trait <NAME>", "--site <COLUMN>", "--fit <FILE>",
          "--combined <FILE>", "--report <FILE>", "--help", "--version"})
        QVERIFY2(result.out.contains(option), option);
    QVERIFY(result.out.contains("Exit status: 0 every plot computed"));
}

// --help lists --help-all; it must answer with the help, not a usage error.
void TestCommandLine::helpAllIsAnswered()
{
    const Run result = run({"--help-all"}, m_folder->path());
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains("--batch <TRIAL>"));
}

void TestCommandLine::version()
{
    const Run result = run({"--version"}, m_folder->path());
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, QByteArray("Quarven 5.0.58\n"));
}

void TestCommandLine::failedRunLeavesNoResults_data()
{
    QTest::addColumn<QByteArray>("before"); // what the results file held, or nothing

    QTest::newRow("no results file before") << QByteArray();
    QTest::newRow("an earlier results file stays as it was") << QByteArray("earlier results\n");
}

void TestCommandLine::failedRunLeavesNoResults()
{
    QFETCH(QByteArray, before);

    // A trial that fails on its last line, after plots have been read.
    write(path("late-failure.csv"), QByteArray(kComputed).append("P2,01/07,\"open\n"));
    if (!before.isEmpty())
        write(path("results.csv"), before);
    const Run result =
        run({"--batch", "late-failure.csv", "--output", "results.csv"}, m_folder->path());
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, QByteArray("quarven: late-failure.csv:5: a quoted field is not closed "
                                    "before the end of the file\n"));
    QCOMPARE(read(path("results.csv")), before.isEmpty() ? QByteArray("(no file)") : before);
    const QStringList left = QDir(m_folder->path()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(left, (before.isEmpty() ? QStringList{"computed.csv", "late-failure.csv", "noplot.csv",
                                                   "refused.csv"}
                                     : QStringList{"computed.csv", "late-failure.csv", "noplot.csv",
                                                   "refused.csv", "results.csv"}));
}

void TestCommandLine::refusesToWriteOverTheTrial_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("fromStandardInput");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("option"); // the summary's, beside --output results.csv

    const QString over = QStringLiteral("will not write the results over the trial file");
    const QString node =
        QStringLiteral("is not a regular file; write to a device or pipe through standard output");
    const QString output = QStringLiteral("--output");
    QTest::newRow("the same name") << "computed.csv" << false << over << output;
    QTest::newRow("another way to the same file")
        << "./../%1/computed.csv" << false << over << output;
    QTest::newRow("a link to it") << "link.csv" << false << over << output;
    QTest::newRow("a hard link to it") << "hard-link.csv" << false << over << output;
    QTest::newRow("the file on standard input") << "computed.csv" << true << over << output;
    QTest::newRow("a device, which a run as root would replace")
        << "null" << false << node << output;
    QTest::newRow("a named pipe") << "pipe" << false << node << output;
    QTest::newRow("a workbook through a link to the trial")
        << "link.xlsx" << false << over << output;
    QTest::newRow("a workbook in place of a named pipe") << "pipe.xlsx" << false << node << output;

    const QString summary = QStringLiteral("--summary");
    const QString overTrial = QStringLiteral("will not write the summary over the trial file");
    const QString overResults = QStringLiteral("will not write the summary over the results file");
    QTest::newRow("the summary over the trial") << "computed.csv" << false << overTrial << summary;
    QTest::newRow("the summary over the trial on standard input")
        << "hard-link.csv" << true << overTrial << summary;
    QTest::newRow("the summary over the results")
        << "results.csv" << false << overResults << summary;
    QTest::newRow("the summary over a results file not there yet, by another way")
        << "./../%1/new.csv" << false << overResults << summary;
    QTest::newRow("the summary over a hard link to the results")
        << "results-link.csv" << false << overResults << summary;
    const QString report = QStringLiteral("--report");
    QTest::newRow("the report over the trial")
        << "hard-link.csv" << false << "will not write the report over the trial file" << report;
    QTest::newRow("the report into a named pipe") << "pipe" << false << node << report;
}

void TestCommandLine::refusesToWriteOverTheTrial()
{
    QFETCH(QString, output);
    QFETCH(bool, fromStandardInput);
    QFETCH(QString, reason);
    QFETCH(QString, option);

    const QString trial = path("computed.csv");
    write(path("results.csv"), "earlier results\n");
    QCOMPARE(::link(qPrintable(path("results.csv")), qPrintable(path("results-link.csv"))), 0);
    const bool summary = option != "--output"; // an output that needs --by
    const QStringList grouped{"--by", "plot", "--output",
                              output.contains("new") ? "new.csv" : "results.csv"};
    QVERIFY(QFile::link(trial, path("link.csv")));
    QVERIFY(QFile::link(trial, path("link.xlsx")));
    QCOMPARE(::mkfifo(qPrintable(path("pipe.xlsx")), 0666), 0);
    QCOMPARE(::link(qPrintable(trial), qPrintable(path("hard-link.csv"))), 0);
    QCOMPARE(::mkfifo(qPrintable(path("pipe")), 0666), 0);
    // The device of /dev/null.
    if (::mknod(qPrintable(path("null")), S_IFCHR | 0666, makedev(1, 3)) != 0 && output == "null")
        QSKIP("cannot make a device here");
    if (output.contains(QLatin1String("%1")))
        output = output.arg(QFileInfo(m_folder->path()).fileName());
    const Run result =
        run(QStringList{"--batch", fromStandardInput ? "-" : "computed.csv", option, output} +
                (summary ? grouped : QStringList()),
            m_folder->path(), {}, [&](QProcess& process) {
                if (fromStandardInput)
                    process.setStandardInputFile(trial);
            });
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, QStringLiteral("quarven: %1: %2\n").arg(output, reason).toUtf8());
    QCOMPARE(read(path("computed.csv")), kComputed);
    QCOMPARE(read(path("hard-link.csv")), kComputed);
    QCOMPARE(read(path("results.csv")), QByteArray("earlier results\n"));
    QVERIFY(!QFileInfo::exists(path("new.csv")));
    for (const char* node : {"pipe", "pipe.xlsx", "null"})
        QVERIFY2(!QFileInfo(path(node)).isFile(), node);
}

void TestCommandLine::outputsThroughLinksNeverMeet_data()
{
    QTest::addColumn<QString>("results");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QByteArray>("err"); // empty when both are written

    // ahead.csv and chain.csv lead to target.csv, which is not there yet;
    // folder-link is the folder itself.
    const auto refused = [](const char* summary) {
        return "quarven: " + QByteArray(summary) +
               ": will not write the summary over the results file\n";
    };
    QTest::newRow("the results through a link to where the summary goes")
        << "ahead.csv"
        << "target.csv" << refused("target.csv");
    QTest::newRow("the summary through a link to where the results go")
        << "target.csv"
        << "ahead.csv" << refused("ahead.csv");
    QTest::newRow("a chain of links, one through a linked folder")
        << "chain.csv"
        << "folder-link/target.csv" << refused("folder-link/target.csv");
    QTest::newRow("a link to another file: both written") << "ahead.csv"
                                                          << "summary.csv" << QByteArray();
}

void TestCommandLine::outputsThroughLinksNeverMeet()
{
    QFETCH(QString, results);
    QFETCH(QString, summary);
    QFETCH(QByteArray, err);

    QCOMPARE(::symlink("target.csv", qPrintable(path("ahead.csv"))), 0);
    QCOMPARE(::symlink("folder-link/ahead.csv", qPrintable(path("chain.csv"))), 0);
    QCOMPARE(::symlink(".", qPrintable(path("folder-link"))), 0);
    write(path("clones.csv"), kClones);
    const Run result =
        run({"--batch", "clones.csv", "--by", "clone", "--output", results, "--summary", summary},
            m_folder->path());
    QCOMPARE(result.err, err);
    QCOMPARE(result.status, err.isEmpty() ? 1 : 2);
    const bool written = err.isEmpty();
    QVERIFY(read(path("target.csv")).startsWith(written ? "plot;clone;" : "(no file)"));
    QVERIFY(read(path("summary.csv")).startsWith(written ? "group;" : "(no file)"));
    QVERIFY(QFileInfo(path("ahead.csv")).isSymLink());
}

void TestCommandLine::fileNamedLikeAnOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("the trial after --")
        << QStringList{"--batch", "--", "-x.csv"} << 0 << kComputedResults << QByteArray();
    QTest::newRow("after --, every argument is a trial")
        << QStringList{"--batch", "--", "-x.csv", "--output", "r.csv"} << 2 << QByteArray()
        << QByteArray("quarven: --output: No such file or directory\n");
    QTest::newRow("read as an option, with how to name the file")
        << QStringList{"-x.csv"} << 2 << QByteArray()
        << QByteArray("quarven: Unknown option 'x.csv'. To name the file -x.csv, write ./-x.csv\n");
}

void TestCommandLine::fileNamedLikeAnOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    write(path("-x.csv"), kComputed);
    const Run result = run(arguments, m_folder->path());
    QCOMPARE(result.err, err);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
}

void TestCommandLine::failedWriteIsTold_data()
{
    QTest::addColumn<int>("plots");
    QTest::addColumn<QString>("output");         // "-" for standard output
    QTest::addColumn<QString>("standardOutput"); // a file, or "" for a closed one
    QTest::addColumn<bool>("fillDisk");          // to its last byte, before the run
    QTest::addColumn<QByteArray>("before");      // what the results file held, or nothing

    const QString results = QStringLiteral("%disk/results.csv");
    QTest::newRow("standard output on /dev/full") << 1 << "-"
                                                  << "%full" << false << QByteArray();
    QTest::newRow("standard output on a full disk") << 1 << "-"
                                                    << "%disk/out.csv" << true << QByteArray();
    QTest::newRow("standard output closed") << 1 << "-"
                                            << "" << false << QByteArray();
    QTest::newRow("results file on a full disk") << 1 << results << "-" << true << QByteArray();
    QTest::newRow("results file on a full disk, an earlier one stays")
        << 1 << results << "-" << true << QByteArray("earlier results\n");
    QTest::newRow("results file filling the disk midway")
        << 3000 << results << "-" << false << QByteArray();
    const QString book = QStringLiteral("%disk/results.xlsx");
    QTest::newRow("a workbook on a full disk, an earlier one stays")
        << 1 << book << "-" << true << QByteArray("earlier results\n");
    QTest::newRow("a workbook filling the disk midway")
        << 3000 << book << "-" << false << QByteArray();
}

void TestCommandLine::failedWriteIsTold()
{
    QFETCH(int, plots);
    QFETCH(QString, output);
    QFETCH(QString, standardOutput);
    QFETCH(bool, fillDisk);
    QFETCH(QByteArray, before);

    if ((output + standardOutput).contains("%disk") && m_smallDisk.isEmpty())
        QSKIP("cannot mount a small file system here");
    for (const QString& name : filesIn(m_smallDisk))
        QVERIFY(QFile::remove(m_smallDisk + "/" + name));
    QString full = QStringLiteral("/dev/full");
    if (!QFileInfo::exists(full) &&
        ::mknod(qPrintable(full = path("full")), S_IFCHR | 0666, makedev(1, 7)) != 0)
        QSKIP("cannot make /dev/full here");
    output.replace("%disk", m_smallDisk);
    standardOutput.replace("%disk", m_smallDisk).replace("%full", full);
    if (!before.isEmpty())
        write(output, before);
    QFile filler(m_smallDisk + "/filler");
    if (fillDisk && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        while (filler.write(QByteArray(4096, 'x')) == 4096) {
        }
    const QStringList disk = filesIn(m_smallDisk);
    write(path("trial.csv"), trialOf(plots));

    const Run result = run({"--batch", "trial.csv", "--output", output}, m_folder->path(), {},
                           [&](QProcess& process) {
                               if (standardOutput.isEmpty())
                                   process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
                               else if (standardOutput != "-")
                                   process.setStandardOutputFile(standardOutput);
                           });
    QCOMPARE(result.err, QStringLiteral("quarven: %1: %2\n")
                             .arg(output == "-" ? "standard output" : output,
                                  systemError(standardOutput.isEmpty() ? EBADF : ENOSPC))
                             .toUtf8());
    QCOMPARE(result.status, 2);
    if (output != "-") {
        QCOMPARE(read(output), before.isEmpty() ? QByteArray("(no file)") : before);
        QCOMPARE(filesIn(m_smallDisk), disk);
    }
}

void TestCommandLine::failedSyncIsTold_data()
{
    QTest::addColumn<int>("plots");
    QTest::addColumn<QString>("output");

    // The first sync fails: the one made before the results file is
    // committed, for a small file and for results of some 10 MB.
    QTest::newRow("a small file") << 1 << "results.csv";
    QTest::newRow("results of some 10 MB") << 200000 << "results.csv";
    QTest::newRow("a workbook") << 1 << "results.xlsx";
}

void TestCommandLine::failedSyncIsTold()
{
    QFETCH(int, plots);
    QFETCH(QString, output);

    write(path("trial.csv"), trialOf(plots));
    write(path(output), "earlier results\n");
    const QStringList files = filesIn(m_folder->path());
    const Run result = run(
        {"--batch", "trial.csv", "--output", output}, m_folder->path(), {}, [&](QProcess& process) {
            QProcessEnvironment environment = process.processEnvironment();
            environment.insert("LD_PRELOAD", QUARVEN_FAILING_SYNC);
            // A preloaded library comes before AddressSanitizer's.
            environment.insert("ASAN_OPTIONS",
                               environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
            process.setProcessEnvironment(environment);
        });
    QCOMPARE(result.err, ("quarven: " + output + ": " + systemError(EIO) + "\n").toUtf8());
    QCOMPARE(result.status, 2);
    QCOMPARE(read(path(output)), QByteArray("earlier results\n"));
    QCOMPARE(filesIn(m_folder->path()), files);
}

void TestCommandLine::outOfMemoryIsTold_data()
{
    QTest::addColumn<bool>("shuffled");

    QTest::newRow("plot names in order") << false;
    QTest::newRow("plot names out of order") << true;
}

// Memory runs out wherever the limit falls: in the plots' tables, their names,
// the hash table of names out of order or the results thread. Each time the
// run must say so, never abort nor blame the 4 GiB that names may fill.
void TestCommandLine::outOfMemoryIsTold()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("the sanitizer reserves more address space than any limit here");
#endif
    QFETCH(bool, shuffled);

    constexpr rlim_t kMiB = rlim_t{1} << 20;
    const auto runWithin = [&](rlim_t bytes, const QStringList& arguments) {
        return run(arguments, m_folder->path(), {}, [bytes](QProcess& process) {
            process.setChildProcessModifier([bytes] {
                const rlimit limit{bytes, bytes};
                ::setrlimit(RLIMIT_AS, &limit);
            });
        });
    };
    // From the least address space in which a one-plot trial runs.
    rlim_t floor = 32 * kMiB;
    write(path("trial.csv"), trialOf(1));
    while (runWithin(floor, {"--batch", "trial.csv"}).status != 0 && floor < 1024 * kMiB)
        floor += 8 * kMiB;

    write(path("trial.csv"), trialOf(700000, shuffled));
    const QRegularExpression told(R"(^quarven: trial\.csv(:\d+)?: out of memory\n$)");
    int outOfMemory = 0;
    for (rlim_t bytes = floor; bytes < floor + 160 * kMiB; bytes += 8 * kMiB) {
        const Run result = runWithin(bytes, {"--batch", "trial.csv", "--output", "results.csv"});
        const QByteArray where = QByteArray::number(bytes / kMiB) + " MiB: " + result.err;
        if (result.status == 0 && QFile::remove(path("results.csv")))
            continue;
        QVERIFY2(result.status == 2 && told.match(QString::fromUtf8(result.err)).hasMatch(),
                 where.constData());
        QVERIFY2(!QFileInfo::exists(path("results.csv")), where.constData());
        ++outOfMemory;
    }
    QVERIFY(outOfMemory > 0);
}

void TestCommandLine::resultsFileHoldsWhatStandardOutputShows_data()
{
    QTest::addColumn<int>("plots"); // generated; 0 for refused.csv
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("ending");

    QTest::newRow("a refused plot") << 0 << 1 << QByteArray();
    // Some 10 MB, made on two threads.
    QTest::newRow("200,000 plots")
        << 200000 << 0 << QByteArray("\nP200000,2,01/07,11/07,52,5,0.1,0.0050,10.0,\n");
}

void TestCommandLine::resultsFileHoldsWhatStandardOutputShows()
{
    QFETCH(int, plots);
    QFETCH(int, status);
    QFETCH(QByteArray, ending);

    const QString trial = plots ? QStringLiteral("large.csv") : QStringLiteral("refused.csv");
    if (plots)
        write(path(trial), trialOf(plots));
    const Run toFile =
        run({"--batch", trial, "--output", "results.csv", "--year", "2026"}, m_folder->path());
    QCOMPARE(toFile.err, QByteArray());
    QCOMPARE(toFile.out, QByteArray());
    QCOMPARE(toFile.status, status);
    const Run toStandardOutput = run({"--batch", trial, "--year", "2026"}, m_folder->path());
    QCOMPARE(toStandardOutput.status, status);
    const QByteArray results = read(path("results.csv"));
    if (plots)
        QCOMPARE(results.count('\n'), plots + 1);
    QVERIFY(results.endsWith(ending));
    QCOMPARE(results, toStandardOutput.out);
}

// A long trial's results come in blocks on two threads, each summarised
// apart; a wide trial's come row by row on one. Both layouts of one trial
// must give one summary.
void TestCommandLine::summaryOfBlocksMadeOnTwoThreads()
{
    constexpr int kPlots = 100000;
    QByteArray longLayout = "plot,clone,date,level\n";
    QByteArray wideLayout = "plot,clone,01/07,11/07\n";
    for (const char* date : {"01/07", "11/07"})
        for (int plot = 1; plot <= kPlots; ++plot) {
            const QByteArray name = "P" + QByteArray::number(plot);
            const QByteArray clone = "C" + QByteArray::number(plot % 7);
            const QByteArray level = QByteArray::number(plot % 50 + plot % 3 * (date[0] - '0'));
            longLayout += name + "," + clone + "," + date + "," + level + "\n";
            if (date[0] == '1')
                wideLayout +=
                    name + "," + clone + "," + QByteArray::number(plot % 50) + "," + level + "\n";
        }
    const QStringList arguments{"--batch", "-", "--by", "clone", "--standard", "C3=4"};
    const Run fromLong = run(arguments, m_folder->path(), longLayout);
    const Run fromWide = run(arguments, m_folder->path(), wideLayout);
    QCOMPARE(fromLong.err, QByteArray());
    QCOMPARE(fromLong.status, 0);
    QVERIFY(fromLong.out.startsWith(kSummaryColumns + "C1,14286,0,"));
    QCOMPARE(fromLong.out, fromWide.out);
}

// Relative AUDPC by hand (a plot's 10 days from 0 to L: L / 200): at a.csv A
// 0.05 and B 0.2, at b.csv 0.1 and 0.15. With A=3 and B=7, the slope through
// the origin at a is (3 x 0.05 + 7 x 0.2) / (0.05^2 + 0.2^2) = 36.4706, at b
// 1.35 / 0.0325 = 41.5385; A's scales 1.8235 and 4.1538 (mean 2.9887, SD
// 1.6478, CV 55.1), B's 7.2941 and 6.2308 (6.7624, 0.7519, 11.1).
// Yield losses are AUDPC / period (52 days): 200 / 52 = 3.8, 100 / 52 = 1.9.
// long.csv's site x: A 0.2, B 0.05, slope 0.95 / 0.0425 = 22.3529, fitted
// 4.47 and 1.12; y: A 0.1 alone, slope 30, C 0.15 x 30 = 4.5; z no standard.
void TestCommandLine::sites_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("file"); // the output compared; - for standard output
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArray>("err");

    const QStringList twoSites{"--batch", "a.csv",     "b.csv",      "--year", "2026",
                               "--by",    "clone",     "--standard", "A=3",    "--standard",
                               "B=7",     "--summary", "summary.csv"};
    const QStringList fit = twoSites + QStringList{"--output", "results.csv", "--fit", "-"};
    QTest::newRow("one site: no site column in the fit")
        << QStringList{"--batch",    "a.csv",       "--year",     "2026", "--by",     "clone",
                       "--standard", "A=3",         "--standard", "B=7",  "--output", "results.csv",
                       "--summary",  "summary.csv", "--fit",      "-"}
        << 0 << "-"
        << QByteArray("standard,value,relative_audpc_mean,slope,fitted,deviation\n"
                      "A,3,0.0500,36.4706,1.8,-1.2\nB,7,0.2000,36.4706,7.3,0.3\n")
        << QByteArray();
    QTest::newRow("two sites: their columns joined, the first file's separator")
        << twoSites << 0 << "-"
        << QByteArray("site,plot,clone,rep,assessments,first_date,last_date,period,audpc,"
                      "yield_losses,relative_audpc,audps,message\n"
                      "a,P1,A,,2,01/07,11/07,52,50,1.0,0.0500,100.0,\n"
                      "a,P2,B,,2,01/07,11/07,52,200,3.8,0.2000,400.0,\n"
                      "b,P1,A,1,2,01/07,11/07,52,100,1.9,0.1000,200.0,\n"
                      "b,P2,B,1,2,01/07,11/07,52,150,2.9,0.1500,300.0,\n")
        << QByteArray();
    QTest::newRow("two sites: the fit, each site by its own standards")
        << fit << 0 << "-"
        << QByteArray("site,standard,value,relative_audpc_mean,slope,fitted,deviation\n"
                      "a,A,3,0.0500,36.4706,1.8,-1.2\na,B,7,0.2000,36.4706,7.3,0.3\n"
                      "b,A,3,0.1000,41.5385,4.2,1.2\nb,B,7,0.1500,41.5385,6.2,-0.8\n")
        << QByteArray();
    QTest::newRow("two sites: the combined table")
        << twoSites + QStringList{"--output", "results.csv", "--combined", "-"} << 0 << "-"
        << QByteArray("group,sites,scale_mean,scale_sd,scale_cv,rank,a,b\n"
                      "A,2,3.0,1.6,55.1,1,1.8,4.2\nB,2,6.8,0.8,11.1,2,7.3,6.2\n")
        << QByteArray();
    const QStringList long_{"--batch",     "long.csv",   "--site",      "SITE",        "--year",
                            "2026",        "--by",       "clone",       "--standard",  "A=3",
                            "--standard",  "B=7",        "--output",    "results.csv", "--summary",
                            "summary.csv", "--combined", "combined.csv"};
    const QByteArray warnings =
        "quarven: Site \"x\": the standard \"B\" of value 7 is fitted at 1.1, 2 units or more "
        "from its value\n"
        "quarven: Site \"x\": the standard \"A\" of value 3 (fitted 4.5) is more diseased than "
        "\"B\" of value 7 (fitted 1.1), declared more susceptible\n"
        "quarven: Site \"z\" has no scale: no standard has a computed plot there\n";
    QTest::newRow("a site column: misfits and a missing standard told, the status kept")
        << long_ + QStringList{"--fit", "-"} << 0 << "-"
        << QByteArray("site,standard,value,relative_audpc_mean,slope,fitted,deviation\n"
                      "x,A,3,0.2000,22.3529,4.5,1.5\nx,B,7,0.0500,22.3529,1.1,-5.9\n"
                      "y,A,3,0.1000,30.0000,3.0,0.0\n")
        << warnings;
    QTest::newRow("a site column named site: written once, first")
        << QStringList{"--batch", "long.csv", "--site", "SITE", "--year", "2026"} << 0 << "-"
        << QByteArray("site,plot,clone,assessments,first_date,last_date,period,audpc,yield_"
                      "losses,relative_audpc,audps,message\n"
                      "x,P1,A,2,01/07,11/07,52,200,3.8,0.2000,400.0,\n"
                      "x,P2,B,2,01/07,11/07,52,50,1.0,0.0500,100.0,\n"
                      "y,P1,A,2,01/07,11/07,52,100,1.9,0.1000,200.0,\n"
                      "y,P3,C,2,01/07,11/07,52,150,2.9,0.1500,300.0,\n"
                      "z,P4,C,2,01/07,11/07,52,50,1.0,0.0500,100.0,\n")
        << QByteArray();
    QTest::newRow("a site column: a group not grown, a site with no scale")
        << long_ << 0 << "combined.csv"
        << QByteArray("group,sites,scale_mean,scale_sd,scale_cv,rank,x,y,z\n"
                      "A,2,3.7,1.0,27.8,2,4.5,3.0,\nB,1,1.1,,,1,1.1,,\nC,1,4.5,,,3,,4.5,\n")
        << warnings;

    // Usage errors: nothing written.
    const QStringList toFiles{"--output", "results.csv", "--summary", "summary.csv"};
    QTest::newRow("two files of one site")
        << QStringList{"--batch", "a.csv", "other/a.csv", "--output", "results.csv"} << 2 << "-"
        << QByteArray()
        << QByteArray("quarven: 'a.csv' and 'other/a.csv' are both the site \"a\": each trial "
                      "file is a site named by its file name; rename one, or take the sites from "
                      "a column (--site COLUMN)\n");
    QTest::newRow("a site column one file lacks")
        << QStringList{"--batch", "long.csv", "b.csv", "--site", "site", "--output", "results.csv"}
        << 2 << "-" << QByteArray()
        << QByteArray("quarven: b.csv:1: No column \"site\" to take the sites from: the trial "
                      "has \"clone\", \"rep\"\n");
    QTest::newRow("--combined without standards")
        << QStringList{"--batch", "a.csv", "--by", "clone", "--combined", "c.csv"} + toFiles << 2
        << "-" << QByteArray()
        << QByteArray("quarven: --combined needs a standard (--standard NAME=VALUE)\n");
    QTest::newRow("--combined without --by")
        << QStringList{"--batch", "a.csv", "--combined", "c.csv", "--output", "results.csv"} << 2
        << "-" << QByteArray() << QByteArray("quarven: --combined needs --by COLUMN\n");
    QTest::newRow("--report without --by")
        << QStringList{"--batch", "a.csv", "--report", "r.pdf", "--output", "results.csv"} << 2
        << "-" << QByteArray() << QByteArray("quarven: --report needs --by COLUMN\n");
    QTest::newRow("a standard matched only without regard to case")
        << QStringList{"--batch",    "a.csv", "b.csv",      "--by", "clone",
                       "--standard", "a=3",   "--combined", "c.csv"} +
               toFiles
        << 2 << "-" << QByteArray()
        << QByteArray("quarven: The standard \"a\" is no group at any site; did you mean \"A\"?\n");
}

void TestCommandLine::sites()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, file);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArray, err);

    write(path("a.csv"), kSiteA);
    write(path("b.csv"), kSiteB);
    write(path("long.csv"), "plot,site,clone,date,level\nP1,x,A,01/07,0\nP1,x,A,11/07,40\n"
                            "P2,x,B,01/07,0\nP2,x,B,11/07,10\nP1,y,A,01/07,0\nP1,y,A,11/07,20\n"
                            "P3,y,C,01/07,0\nP3,y,C,11/07,30\nP4,z,C,01/07,0\nP4,z,C,11/07,10\n");
    const QStringList files = filesIn(m_folder->path());
    const Run result = run(arguments, m_folder->path());
    QCOMPARE(result.err, err);
    QCOMPARE(result.status, status);
    QCOMPARE(file == "-" ? result.out : read(path(file)), expected);
    if (status == 2)
        QCOMPARE(filesIn(m_folder->path()), files);
}

// huasahuasi's three fungicide treatments as sites, against base R
// (tests/trial/data/sites_huasahuasi.R): the fit, the combined table and a
// warning for each standard fitted 2 units or more from its value.
void TestCommandLine::sitesAgainstR()
{
    QFile rFile(QFINDTESTDATA("../trial/data/sites_huasahuasi.csv"));
    QVERIFY(rFile.open(QIODevice::ReadOnly));
    // by,site,item,measure,value
    QMap<QString, QString> r;
    QStringList sites;
    QStringList groups;
    while (!rFile.atEnd()) {
        const QStringList row = QString::fromUtf8(rFile.readLine()).trimmed().split(',');
        QCOMPARE(row.size(), 5);
        if (row[0] != "clon")
            continue;
        r.insert(row[1] + "|" + row[2] + "|" + row[3], row[4]);
        if (!row[1].isEmpty() && !sites.contains(row[1]))
            sites += row[1];
        if (row[1].isEmpty() && !groups.contains(row[2]))
            groups += row[2];
    }
    QCOMPARE(sites.size(), 3);
    const auto value = [&r](const QString& site, const QString& item, const char* measure,
                            int decimals) {
        const QString text = r.value(site + "|" + item + "|" + measure);
        return text.isEmpty() ? QString() : QString::number(text.toDouble(), 'f', decimals);
    };
    const QList<QPair<QString, int>> standards{{"Yungay", 5}, {"Musuq", 8}};
    QString fit = "site,standard,value,relative_audpc_mean,slope,fitted,deviation\n";
    QString warnings;
    for (const QString& site : sites)
        for (const auto& [standard, declared] : standards) {
            const QString fitted = value(site, standard, "fitted", 1);
            fit += QStringList{site,
                               standard,
                               QString::number(declared),
                               value(site, standard, "relative_audpc_mean", 4),
                               value(site, standard, "slope", 4),
                               fitted,
                               value(site, standard, "deviation", 1)}
                       .join(',') +
                   "\n";
            if (std::abs(r.value(site + "|" + standard + "|deviation").toDouble()) >= 2.0)
                warnings += QStringLiteral("quarven: Site \"%1\": the standard \"%2\" of value %3 "
                                           "is fitted at %4, 2 units or more from its value\n")
                                .arg(site, standard)
                                .arg(declared)
                                .arg(fitted);
        }
    QString combined = "group,sites,scale_mean,scale_sd,scale_cv,rank," + sites.join(',') + "\n";
    for (const QString& group : groups) {
        QStringList row{group,
                        value("", group, "sites", 0),
                        value("", group, "scale_mean", 1),
                        value("", group, "scale_sd", 1),
                        value("", group, "scale_cv", 1),
                        value("", group, "rank", 0)};
        for (const QString& site : sites)
            row += value(site, group, "scale", 1);
        combined += row.join(',') + "\n";
    }
    QVERIFY(QFile::copy(QFINDTESTDATA("../trial/data/huasahuasi-long.csv"), path("h.csv")));
    const Run result = run({"--batch",  "h.csv",       "--site",       "trt",         "--by",
                            "clon",     "--standard",  "Yungay=5",     "--standard",  "Musuq=8",
                            "--output", "results.csv", "--summary",    "summary.csv", "--fit",
                            "fit.csv",  "--combined",  "combined.csv", "--report",    "report.pdf"},
                           m_folder->path());
    QCOMPARE(result.status, 1); // a refused plot at one site
    QVERIFY(!warnings.isEmpty());
    QCOMPARE(QString::fromUtf8(result.err), warnings);
    QCOMPARE(QString::fromUtf8(read(path("fit.csv"))), fit);
    QCOMPARE(QString::fromUtf8(read(path("combined.csv"))), combined);
    QVERIFY(read(path("results.csv")).startsWith("site,plot,block,trt,clon,plant,"));
    QVERIFY(read(path("summary.csv")).startsWith("site,group,plots,"));
    const QByteArray pdf = read(path("report.pdf"));
    QVERIFY2(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF"), pdf.left(64));
}

// A report that cannot be made: one line, and nothing written.
void TestCommandLine::reportWithoutItsModule()
{
    QVERIFY(QDir(m_folder->path()).mkdir("bin"));
    QVERIFY(QFile::copy(kBinary, path("bin/quarven")));
    write(path("clones.csv"), kClones);
    const QStringList files = filesIn(m_folder->path());
    QProcess process;
    process.setWorkingDirectory(m_folder->path());
    process.start(path("bin/quarven"), {"--batch", "clones.csv", "--by", "clone", "--report",
                                        "report.pdf", "--output", "results.csv"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.startsWith("quarven: report.pdf: the report cannot be made: Cannot load library"),
             err);
    QCOMPARE(err.count('\n'), 1);
    QCOMPARE(filesIn(m_folder->path()), files);
}

void TestCommandLine::evaluationOutputOnAFullDisk_data()
{
    QTest::addColumn<QString>("option");
    QTest::newRow("the fit") << "--fit";
    QTest::newRow("the combined table") << "--combined";
    QTest::newRow("the report") << "--report";
}

// The disk fills on the one output; none of the others is written either.
void TestCommandLine::evaluationOutputOnAFullDisk()
{
    QFETCH(QString, option);

    if (m_smallDisk.isEmpty())
        QSKIP("cannot mount a small file system here");
    for (const QString& name : filesIn(m_smallDisk))
        QVERIFY(QFile::remove(m_smallDisk + "/" + name));
    QFile filler(m_smallDisk + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) == 4096) {
    }
    write(path("a.csv"), kSiteA);
    write(path("b.csv"), kSiteB);
    const QStringList files = filesIn(m_folder->path());
    const QString full = m_smallDisk + "/out";
    const Run result = run({"--batch", "a.csv", "b.csv", "--year", "2026", "--by", "clone",
                            "--standard", "A=3", "--standard", "B=7", "--output", "results.csv",
                            "--summary", "summary.csv", option, full},
                           m_folder->path());
    QCOMPARE(result.err,
             QStringLiteral("quarven: %1: %2\n").arg(full, systemError(ENOSPC)).toUtf8());
    QCOMPARE(result.status, 2);
    QCOMPARE(filesIn(m_folder->path()), files);
    QCOMPARE(filesIn(m_smallDisk), QStringList{"filler"});
}

void TestCommandLine::wantsWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window");
    QTest::addColumn<QString>("trials"); // the files it opens, a space between two

    QTest::newRow("no arguments") << QStringList() << true << "";
    QTest::newRow("a platform") << QStringList{"-platform", "offscreen"} << true << "";
    QTest::newRow("a style written with =") << QStringList{"--style=fusion"} << true << "";
    QTest::newRow("a display and reversed layout")
        << QStringList{"-display", ":1", "-reverse"} << true << "";
    QTest::newRow("batch") << QStringList{"--batch", "t.csv"} << false << "";
    QTest::newRow("help") << QStringList{"--help"} << false << "";
    QTest::newRow("version, short") << QStringList{"-v"} << false << "";
    QTest::newRow("a platform and a batch")
        << QStringList{"-platform", "offscreen", "--batch", "t.csv"} << false << "";
    QTest::newRow("a trial to open") << QStringList{"t.csv"} << true << "t.csv";
    QTest::newRow("a trial to open between Qt's options")
        << QStringList{"-display", ":1", "t.csv", "-reverse"} << true << "t.csv";
    QTest::newRow("two trials, as two sites")
        << QStringList{"a.csv", "-reverse", "b.csv"} << true << "a.csv b.csv";
    QTest::newRow("a trial and standard input") << QStringList{"a.csv", "-"} << false << "";
    QTest::newRow("standard input") << QStringList{"-"} << false << "";
    QTest::newRow("a trial and a batch") << QStringList{"t.csv", "--batch", "t.csv"} << false << "";
    QTest::newRow("an option of Qt's that takes no value given one")
        << QStringList{"-reverse=1"} << false << "";
    QTest::newRow("an X11 instance name, which takes a value")
        << QStringList{"-name", "Foo", "t.csv"} << true << "t.csv";
    QTest::newRow("an X11 icon and visual, each with a value")
        << QStringList{"-icon", "i.png", "--visual", "33", "t.csv"} << true << "t.csv";
    QTest::newRow("a file named like an option, after --")
        << QStringList{"-reverse", "--", "-x.csv"} << true << "-x.csv";
    QTest::newRow("-- alone") << QStringList{"--"} << true << "";
}

void TestCommandLine::wantsWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);
    QFETCH(QString, trials);

    std::vector<QByteArray> texts{QByteArray("quarven")};
    for (const QString& argument : arguments)
        texts.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& text : texts)
        argv.push_back(text.constData());
    const int argc = static_cast<int>(argv.size());
    QCOMPARE(quarven::WantsWindow(argc, argv.data()), window);
    QStringList opened;
    for (const char* trial : quarven::WindowTrials(argc, argv.data()))
        opened.append(QString::fromUtf8(trial));
    QCOMPARE(opened.join(' '), trials);
}

void TestCommandLine::progressText_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("text");

    QTest::newRow("start") << qint64(0) << qint64(200)
                           << "quarven: [" + QString(30, ' ') + "]   0%";
    QTest::newRow("half") << qint64(100) << qint64(200)
                          << "quarven: [" + QString(15, '#') + QString(15, ' ') + "]  50%";
    QTest::newRow("all") << qint64(200) << qint64(200)
                         << "quarven: [" + QString(30, '#') + "] 100%";
    QTest::newRow("a file that grew while read")
        << qint64(300) << qint64(200) << "quarven: [" + QString(30, '#') + "] 100%";
    QTest::newRow("standard input, no total")
        << qint64(12'500'000) << qint64(0) << "quarven: 12 MB read";
}

void TestCommandLine::progressText()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(QString, text);

    QCOMPARE(quarven::ProgressText(done, total), text);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
