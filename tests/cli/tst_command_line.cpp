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

namespace {

const QString kBinary = QStringLiteral(QUARVEN_BINARY);

const QByteArray kComputed = "plot,date,level\nP1,01/07,0\nP1,11/07,10\nP1,21/07,30\n";
const QByteArray kComputedResults =
    "plot,assessments,first_date,last_date,period,audpc,yield_losses,relative_audpc,audps,"
    "message\nP1,3,01/07,21/07,52,250,4.8,0.1250,400.0,\n";
const QByteArray kRefused = "plot,date,level\nP1,01/07,0\nP1,11/07,10\nP2,01/07,5\nP2,11/07,3\n";
const QByteArray kNoPlot = "name,date,level\nP1,01/07,0\n";

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QStringList& arguments, const QString& folder, const QByteArray& input = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
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

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void init();

    void statusAndStandardError_data();
    void statusAndStandardError();
    void helpListsEveryOption();
    void helpAllIsAnswered();
    void version();
    void failedRunLeavesNoResults_data();
    void failedRunLeavesNoResults();
    void refusesToWriteOverTheTrial_data();
    void refusesToWriteOverTheTrial();
    void resultsFileHoldsWhatStandardOutputShows();
    void largeResultsFileHoldsWhatStandardOutputShows();
    void wantsWindow_data();
    void wantsWindow();
    void progressText_data();
    void progressText();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString path(const QString& name) const { return m_folder->filePath(name); }
};

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
    QTest::newRow("a stray argument")
        << QStringList{"--batch", "computed.csv", "extra"} << QByteArray() << 2 << QByteArray()
        << QByteArray("quarven: unexpected argument 'extra'; see quarven --help\n");
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
}

void TestCommandLine::statusAndStandardError()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    const Run result = run(arguments, m_folder->path(), input);
    QCOMPARE(result.err, err);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, out);
}

void TestCommandLine::helpListsEveryOption()
{
    const Run result = run({"--help"}, m_folder->path());
    QCOMPARE(result.status, 0);
    for (const char* option : {"--batch <TRIAL>", "--output <RESULTS>", "--period <DAYS>",
                               "--group <NAME>", "--year <YYYY>", "--help", "--version"})
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

    QTest::newRow("the same name") << "computed.csv";
    QTest::newRow("another way to the same file") << "./../%1/computed.csv";
    QTest::newRow("a link to it") << "link.csv";
}

void TestCommandLine::refusesToWriteOverTheTrial()
{
    QFETCH(QString, output);

    QVERIFY(QFile::link(path("computed.csv"), path("link.csv")));
    output = output.arg(QFileInfo(m_folder->path()).fileName());
    const Run result = run({"--batch", "computed.csv", "--output", output}, m_folder->path());
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, QStringLiteral("quarven: %1: will not write the results over the trial "
                                        "file\n")
                             .arg(output)
                             .toUtf8());
    QCOMPARE(read(path("computed.csv")), kComputed);
}

void TestCommandLine::resultsFileHoldsWhatStandardOutputShows()
{
    const Run toFile = run({"--batch", "refused.csv", "--output", "results.csv", "--year", "2026"},
                           m_folder->path());
    QCOMPARE(toFile.status, 1);
    QCOMPARE(toFile.out, QByteArray());
    const Run toStandardOutput =
        run({"--batch", "refused.csv", "--year", "2026"}, m_folder->path());
    QCOMPARE(read(path("results.csv")), toStandardOutput.out);
}

// Results of some 10 MB: made on two threads, and sent to the disk in the
// background while they are written.
void TestCommandLine::largeResultsFileHoldsWhatStandardOutputShows()
{
    constexpr int kPlots = 200000;
    QByteArray trial = "plot,date,level\n";
    for (const char* date : {"01/07", "11/07"})
        for (int plot = 1; plot <= kPlots; ++plot)
            trial += "P" + QByteArray::number(plot) + "," + date + "," +
                     QByteArray::number(plot % 50 + (date[0] == '1' ? 1 : 0)) + "\n";
    write(path("large.csv"), trial);

    const Run toFile = run({"--batch", "large.csv", "--output", "results.csv", "--year", "2026"},
                           m_folder->path());
    QCOMPARE(toFile.err, QByteArray());
    QCOMPARE(toFile.status, 0);
    const Run toStandardOutput = run({"--batch", "large.csv", "--year", "2026"}, m_folder->path());
    QCOMPARE(toStandardOutput.status, 0);
    const QByteArray results = read(path("results.csv"));
    QVERIFY(results.size() > 8 << 20);
    QCOMPARE(results.count('\n'), kPlots + 1);
    QVERIFY(results.endsWith("\nP200000,2,01/07,11/07,52,5,0.1,0.0050,10.0,\n"));
    QCOMPARE(results, toStandardOutput.out);
}

void TestCommandLine::wantsWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window");

    QTest::newRow("no arguments") << QStringList() << true;
    QTest::newRow("a platform") << QStringList{"-platform", "offscreen"} << true;
    QTest::newRow("a style written with =") << QStringList{"--style=fusion"} << true;
    QTest::newRow("a display and reversed layout")
        << QStringList{"-display", ":1", "-reverse"} << true;
    QTest::newRow("batch") << QStringList{"--batch", "t.csv"} << false;
    QTest::newRow("help") << QStringList{"--help"} << false;
    QTest::newRow("version, short") << QStringList{"-v"} << false;
    QTest::newRow("a platform and a batch")
        << QStringList{"-platform", "offscreen", "--batch", "t.csv"} << false;
    QTest::newRow("a file name alone") << QStringList{"t.csv"} << false;
    QTest::newRow("an option of Qt's that takes no value given one")
        << QStringList{"-reverse=1"} << false;
}

void TestCommandLine::wantsWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);

    std::vector<QByteArray> texts{QByteArray("quarven")};
    for (const QString& argument : arguments)
        texts.push_back(argument.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& text : texts)
        argv.push_back(text.constData());
    QCOMPARE(quarven::WantsWindow(static_cast<int>(argv.size()), argv.data()), window);
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
