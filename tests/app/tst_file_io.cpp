// Exports beside an open trial: where a path leads (symbolic links,
// dangling ones, linked folders) decides what is written, never the name.
#include "app/file_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace quarven;

namespace {

const QByteArray kTrial = "plot,date,level\n";
const std::string kExport = "plot,audpc\n";

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

} // namespace

class TestFileIo : public QObject {
    Q_OBJECT
private slots:
    void writeBesideTrial_data();
    void writeBesideTrial();
};

void TestFileIo::writeBesideTrial_data()
{
    QTest::addColumn<QString>("trial");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("why");     // empty when written
    QTest::addColumn<QString>("landing"); // where the export is then found

    const QString over = QStringLiteral("will not write over the trial file");
    QTest::newRow("a new file") << "trial.csv"
                                << "out.csv"
                                << ""
                                << "out.csv";
    QTest::newRow("the trial itself") << "trial.csv"
                                      << "trial.csv" << over << "";
    QTest::newRow("a chain of links through a linked folder")
        << "trial.csv"
        << "folder-link/chain.csv" << over << "";
    QTest::newRow("the trial opened through a link, written by its name")
        << "link.csv"
        << "trial.csv" << over << "";
    QTest::newRow("a dangling link to where the trial, away now, comes back")
        << "gone.csv"
        << "away.csv" << over << "";
    QTest::newRow("a dangling link to a new file: made where it leads") << "trial.csv"
                                                                        << "away.csv"
                                                                        << ""
                                                                        << "gone.csv";
    QTest::newRow("a FIFO") << "trial.csv"
                            << "pipe"
                            << "is not a regular file"
                            << "";
    QTest::newRow("a folder") << "trial.csv"
                              << "sub"
                              << "is a folder"
                              << "";
    QTest::newRow("a loop of links") << "trial.csv"
                                     << "loop-a" << qt_error_string(ELOOP) << "";
}

void TestFileIo::writeBesideTrial()
{
    QFETCH(QString, trial);
    QFETCH(QString, target);
    QFETCH(QString, why);
    QFETCH(QString, landing);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QDir at(folder.path());
    QFile file(at.filePath("trial.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kTrial) == kTrial.size() && file.flush());
    file.close();
    for (const auto& [name, leadsTo] : {std::pair{"link.csv", "trial.csv"},
                                        {"chain.csv", "link.csv"},
                                        {"folder-link", "."},
                                        {"away.csv", "gone.csv"},
                                        {"loop-a", "loop-b"},
                                        {"loop-b", "loop-a"}})
        QCOMPARE(::symlink(leadsTo, qPrintable(at.filePath(name))), 0);
    QCOMPARE(::mkfifo(qPrintable(at.filePath("pipe")), 0666), 0);
    QVERIFY(at.mkdir("sub"));

    std::string told;
    const bool written = WriteBesideTrial(at.filePath(target), at.filePath(trial), kExport, told);
    QCOMPARE(QString::fromStdString(told), why);
    QCOMPARE(written, why.isEmpty());
    QCOMPARE(contents(at.filePath("trial.csv")), kTrial);
    if (written)
        QCOMPARE(contents(at.filePath(landing)).toStdString(), kExport);
    else
        QVERIFY(!QFileInfo::exists(at.filePath("gone.csv")));
    QVERIFY(QFileInfo(at.filePath("away.csv")).isSymLink());
    QVERIFY(QFileInfo(at.filePath("pipe")).exists() && !QFileInfo(at.filePath("pipe")).isFile());
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_file_io.moc"
