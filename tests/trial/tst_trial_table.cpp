// The Trial window's table, read by the command line's own run: its results
// file is the command line's byte for byte, each row's cells are that row's
// fields, and it takes the same decimal mark.
#include "trial/trial_run.h"
#include "trial/trial_table.h"

#include <QtTest>

using namespace quarven;

class TestTrialTable : public QObject {
    Q_OBJECT

private slots:
    void agreesWithTheResultsFile_data();
    void agreesWithTheResultsFile();
};

void TestTrialTable::agreesWithTheResultsFile_data()
{
    QTest::addColumn<QByteArray>("trial");
    QTest::addColumn<QString>("mark");

    QTest::newRow("comma file, fractions")
        << QByteArray("plot,clone,date,level\nA,G,01/07,1.5\nA,G,11/07,5\nB,H,01/07,2\n"
                      "B,H,11/07,4\n")
        << ".";
    QTest::newRow("semicolon file, decimal commas")
        << QByteArray("plot;date;level\nA;01/07;1,5\nA;11/07;5,25\n") << ",";
    QTest::newRow("semicolon file, whole levels")
        << QByteArray("plot;date;level\nA;01/07;1\nA;11/07;5\n") << ",";
    QTest::newRow("semicolon file, decimal points")
        << QByteArray("plot;date;level\nA;01/07;1.5\nA;11/07;5\n") << ".";
    QTest::newRow("tab file, whole levels")
        << QByteArray("plot\tdate\tlevel\nA\t01/07\t1\nA\t2026-07-11\t5\n") << ".";
    QTest::newRow("wide file, a plot refused")
        << QByteArray("plot;clone;01/07;11/07;21/07\nA;G;1,5;5;9\nB;H;abc;2;3\nC;G;;4;5\n") << ",";
    QTest::newRow("long file, refused plots first")
        << QByteArray("plot,date,level\nA,01/07,x\nB,01/07,1\nC,01/07,2\nC,11/07,2.5\n") << ".";
    // Two raters on one day: a computed plot with a note in its message cell.
    QTest::newRow("observations averaged, a note on a computed plot")
        << QByteArray("plot_id,trait,value,timestamp\nA,blight,2,2026-07-01T09:00\n"
                      "A,blight,4,2026-07-01T10:00\nA,blight,9,2026-07-11T09:00\n")
        << ".";
}

void TestTrialTable::agreesWithTheResultsFile()
{
    QFETCH(QByteArray, trial);
    QFETCH(QString, mark);
    const std::string_view text(trial.constData(), std::size_t(trial.size()));
    const BatchSettings settings{2026, kDefaultPeriod};
    TrialTableReader reader(settings);
    // In two pieces cut inside a row, as the disk may give them.
    QVERIFY(reader.read(text.substr(0, text.size() / 2)));
    QVERIFY(reader.read(text.substr(text.size() / 2)));
    const std::unique_ptr<TrialTable> table = reader.finish();
    QVERIFY(!table->error);
    const TrialRunOutcome run = RunTrial(text, settings);
    QVERIFY(!run.error);

    QCOMPARE(table->results, run.results);
    QCOMPARE(QString(table->mark == DecimalMark::Comma ? ',' : '.'), mark);
    QCOMPARE(table->refusedPlots, run.refused);
    const QStringList lines =
        QString::fromStdString(run.results).split('\n', Qt::SkipEmptyParts).mid(1);
    QCOMPARE(std::size_t(lines.size()), table->rows());
    std::size_t refused = 0;
    for (std::size_t row = 0; row < table->rows(); ++row)
        refused += table->refused(row);
    QCOMPARE(refused, run.refused);
    const std::size_t firstResult = 1 + table->copiedNames.size();
    for (std::size_t row = 0; row < table->rows(); ++row) {
        QStringList fields;
        for (std::size_t column = 0; column < table->columns(); ++column) {
            QString cell = QString::fromStdString(std::string(table->cell(row, column)));
            if (column >= firstResult &&
                kResultColumns[column - firstResult].kind == ColumnKind::Number)
                cell.replace('.', mark);
            fields.append(cell);
        }
        QCOMPARE(fields.join(QChar(table->separator)), lines[qsizetype(row)]);
    }
}

QTEST_GUILESS_MAIN(TestTrialTable)
#include "tst_trial_table.moc"
