// Calculate from the row texts: which pair decides, the two messages, the
// results, and how far the rows are read.
#include "core/assessment_table.h"
#include "core/loss_calculation.h"

#include <QtTest>

using namespace quarven;

namespace {

constexpr int kYear = 2026;

std::vector<std::string> column(const QStringList& cells)
{
    std::vector<std::string> texts;
    for (const QString& cell : cells)
        texts.push_back(cell.toStdString());
    return texts;
}

QString outcomeText(const CalculationOutcome& outcome)
{
    switch (outcome.kind) {
    case CalculationOutcome::Kind::Nothing:
        return QStringLiteral("nothing");
    case CalculationOutcome::Kind::Message:
        return QStringLiteral("message: ") + QString::fromStdString(outcome.message);
    case CalculationOutcome::Kind::Results:
        return QStringLiteral("results: %1 | %2")
            .arg(QString::fromStdString(outcome.losses), QString::fromStdString(outcome.audpc));
    }
    return {};
}

} // namespace

class TestLossCalculation : public QObject {
    Q_OBJECT

private slots:
    void calculate_data();
    void calculate();
    void buildTable_data();
    void buildTable();
};

void TestLossCalculation::calculate_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("expected");

    const QString dateMessage = QStringLiteral(
        "message: Assessment date input error(assessments # 1 and  2). Consequent assessments "
        "should differ from one another!");
    QTest::newRow("three assessments over 52 days")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "52"
        << "results: 4.8 | 250";
    QTest::newRow("late maturity divides by 84")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "84"
        << "results: 3.0 | 250";
    QTest::newRow("same date twice")
        << QStringList{"01/07", "01/07", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "52" << dateMessage;
    QTest::newRow("across New Year")
        << QStringList{"31/12", "02/01", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "52" << dateMessage;
    QTest::newRow("falling level")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"5", "3", "30"} << "3"
        << "52"
        << "message: Data input error (assessments # 1 and  2).\r Results of the next assessment "
           "should be equal or higher than those for the previous assessment!";
    QTest::newRow("a level falling by less than 1")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"3.5", "3", "30"} << "3"
        << "52"
        << "message: Data input error (assessments # 1 and  2).\r Results of the next assessment "
           "should be equal or higher than those for the previous assessment!";
    QTest::newRow("date checked before level")
        << QStringList{"11/07", "01/07", "21/07"} << QStringList{"5", "3", "30"} << "3"
        << "52" << dateMessage;
    QTest::newRow("second pair named in signed form")
        << QStringList{"01/07", "11/07", "11/07"} << QStringList{"0", "10", "30"} << "3"
        << "52"
        << "message: Assessment date input error(assessments # 2 and  3). Consequent "
           "assessments should differ from one another!";
    QTest::newRow("blank date reached first")
        << QStringList{"01/07", " ", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "52"
        << "nothing";
    QTest::newRow("blank date after a failing pair")
        << QStringList{"01/07", "01/07", " "} << QStringList{"0", "10", "30"} << "3"
        << "52" << dateMessage;
    QTest::newRow("a failing pair after a blank date")
        << QStringList{"01/07", " ", "01/07", "01/07"} << QStringList{"0", "0", "0", "0"} << "4"
        << "52"
        << "nothing";
    QTest::newRow("all levels zero")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "0", "0"} << "3"
        << "52"
        << "results: 0.0 | ";
    QTest::newRow("blank levels read as zero")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{" ", " ", "10"} << "3"
        << "52"
        << "results: 1.0 | 50";
    QTest::newRow("decimal comma is the decimal mark")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"1,5", "2", "2"} << "3"
        << "10"
        << "results: 3.8 | 38";
    QTest::newRow("equal levels accepted")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"10", "10", "10"} << "3"
        << "52"
        << "results: 3.8 | 200";
    QTest::newRow("fractions of a percent-day")
        << QStringList{"01/07", "02/07", "03/07"} << QStringList{"0", "2.6", "2.6"} << "3"
        << "52"
        << "results: 0.1 | 4";
    QTest::newRow("a sum worked out as 1.5 by hand rounds up")
        << QStringList{"01/07", "04/07", "07/07"} << QStringList{"0", "0.3", "0.4"} << "3"
        << "52"
        << "results: 0.0 | 2";
    QTest::newRow("losses worked out as 0.05 by hand round up")
        << QStringList{"01/07", "04/07", "14/07"} << QStringList{"0", "0.2", "0.2"} << "3"
        << "46"
        << "results: 0.1 | 2";
    QTest::newRow("count smaller than the rows")
        << QStringList{"01/07", "11/07", " "} << QStringList{"0", "10", " "} << "2"
        << "52"
        << "results: 1.0 | 50";
    QTest::newRow("count larger than the rows")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << "30000"
        << "52"
        << "results: 4.8 | 250";
    QTest::newRow("one row has no pair") << QStringList{"01/07"} << QStringList{"5"} << "3"
                                         << "52"
                                         << "results: 0.0 | ";
    QTest::newRow("leap day in a common year is no date")
        << QStringList{"28/02", "29/02", "01/03"} << QStringList{"0", "0", "0"} << "3"
        << "52"
        << "nothing";
    QTest::newRow("period without a value")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << "3"
        << "0"
        << "nothing";
    QTest::newRow("count past 16 bits")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"} << "99999"
        << "52"
        << "nothing";
}

void TestLossCalculation::calculate()
{
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(QString, count);
    QFETCH(QString, period);
    QFETCH(QString, expected);

    CalculationInput input;
    input.dates = column(dates);
    input.levels = column(levels);
    input.countText = count.toStdString();
    input.periodText = period.toStdString();
    input.currentYear = kYear;
    QCOMPARE(outcomeText(Calculate(input)), expected);
}

void TestLossCalculation::buildTable_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("rows");

    QTest::newRow("three") << 3 << 3;
    QTest::newRow("largest") << 32767 << 32767;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative") << -5 << 0;
    QTest::newRow("no 16-bit value") << 99999 << 0;
}

void TestLossCalculation::buildTable()
{
    QFETCH(int, count);
    QFETCH(int, rows);

    const std::optional<std::int16_t> n =
        count == 99999 ? std::nullopt : std::optional<std::int16_t>(std::int16_t(count));
    const TableColumns table = BuildTable(n);
    QCOMPARE(int(table.numbers.size()), rows);
    QCOMPARE(int(table.dates.size()), rows);
    QCOMPARE(int(table.levels.size()), rows);
    if (rows > 0) {
        QCOMPARE(QString::fromStdString(table.numbers.front()), QStringLiteral("1"));
        QCOMPARE(QString::fromStdString(table.numbers.back()), QString::number(rows));
        QCOMPARE(QString::fromStdString(table.dates.back()), QStringLiteral(" "));
        QCOMPARE(QString::fromStdString(table.levels.back()), QStringLiteral(" "));
    }
}

QTEST_GUILESS_MAIN(TestLossCalculation)
#include "tst_loss_calculation.moc"
