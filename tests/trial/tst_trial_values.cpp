// How a trial's cells are read (dates with ISO, numbers that must be wholly
// numbers, maturity groups) and how its extra results are rounded. Also run
// under a decimal-comma locale: nothing here may follow it.
#include "trial/trial_values.h"
#include "core/tuberization_rules.h"
#include "core/value_conventions.h"

#include <QtTest>

#include <cstring>

using namespace quarven;

class TestTrialValues : public QObject {
    Q_OBJECT

private slots:
    void formatDecimals_data();
    void formatDecimals();
    void wholeNumbers_data();
    void wholeNumbers();
    void trialDates_data();
    void trialDates();
    void groups_data();
    void groups();
};

void TestTrialValues::formatDecimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("four decimals padded") << 0.125 << 4 << "0.1250";
    QTest::newRow("a half away from zero") << 0.00125 << 4 << "0.0013";
    QTest::newRow("a half just below in binary, a half in decimal") << 0.35 / 100 << 3 << "0.004";
    QTest::newRow("a true value below a half") << 0.000124999 << 4 << "0.0001";
    QTest::newRow("negative half") << -2.25 << 1 << "-2.3";
    QTest::newRow("negative that rounds to zero has no sign") << -0.04 << 1 << "0.0";
    QTest::newRow("carry into a new digit") << 99.96 << 1 << "100.0";
    QTest::newRow("no decimals") << 249.5 << 0 << "250";
    QTest::newRow("large, past the quick route") << 12345678901.25 << 1 << "12345678901.3";
    QTest::newRow("tiny") << 1e-300 << 4 << "0.0000";
    QTest::newRow("sum of tenths worked out as a half") << 0.1 + 0.2 + 0.15 << 1 << "0.5";
    QTest::newRow("not a number") << std::nan("") << 1 << "NaN";
}

void TestTrialValues::formatDecimals()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);

    QCOMPARE(QString::fromStdString(FormatDecimals(value, decimals)), text);
    if (decimals == 1 && std::isfinite(value))
        QCOMPARE(QString::fromStdString(FormatPattern(value, Pattern::Losses)), text);
}

void TestTrialValues::wholeNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("commaIsPoint");
    QTest::addColumn<bool>("number");

    QTest::newRow("whole") << "35" << false << true;
    QTest::newRow("decimal point") << "12.5" << false << true;
    QTest::newRow("blanks around") << "  7.25\t" << false << true;
    QTest::newRow("sign and leading point") << "-.5" << false << true;
    QTest::newRow("trailing point") << "5." << false << true;
    QTest::newRow("exponent") << "1.5E1" << false << true;
    QTest::newRow("many digits") << "0.1000000000000000055511151231257827" << false << true;
    QTest::newRow("decimal comma allowed") << "12,5" << true << true;
    QTest::newRow("decimal comma where commas separate") << "12,5" << false << false;
    QTest::newRow("two points") << "1.2.3" << false << false;
    QTest::newRow("percent sign") << "35 %" << false << false;
    QTest::newRow("blank inside") << "1 2" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("sign alone") << "-" << false << false;
    QTest::newRow("exponent without digits") << "1e" << false << false;
    QTest::newRow("words") << "abc" << true << false;
}

void TestTrialValues::wholeNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, commaIsPoint);
    QFETCH(bool, number);

    const std::string typed = text.toStdString();
    const std::optional<double> value = ReadWholeNumber(typed, commaIsPoint);
    QCOMPARE(value.has_value(), number);
    if (number) {
        // To the last bit what the window reads from the same text with a point.
        std::string pointed = typed;
        std::replace(pointed.begin(), pointed.end(), ',', '.');
        const double expected = ReadNumber(pointed);
        QVERIFY(std::memcmp(&*value, &expected, sizeof expected) == 0);
    }
}

void TestTrialValues::trialDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("written"); // empty: not a date

    QTest::newRow("day and month take the year given") << "1/7" << 2026 << "01/07";
    QTest::newRow("ISO keeps its year") << "2025-07-01" << 2026 << "2025-07-01";
    QTest::newRow("ISO with short month and day") << "2025-7-1" << 2026 << "2025-07-01";
    QTest::newRow("typed year kept") << "1/7/2024" << 2026 << "2024-07-01";
    QTest::newRow("ISO leap day in a leap year") << "2024-02-29" << 2026 << "2024-02-29";
    QTest::newRow("ISO leap day in a common year") << "2025-02-29" << 2026 << "";
    QTest::newRow("leap day without a year in a common year") << "29/2" << 2026 << "";
    QTest::newRow("ISO month 13") << "2025-13-01" << 2026 << "";
    QTest::newRow("ISO with a time") << "2025-07-01T08:00" << 2026 << "";
    QTest::newRow("year 0") << "0000-01-01" << 2026 << "";
    QTest::newRow("blank") << " " << 2026 << "";
}

void TestTrialValues::trialDates()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QFETCH(QString, written);

    const std::optional<TrialDate> date = ReadTrialDate(text.toStdString(), year);
    QCOMPARE(date.has_value(), !written.isEmpty());
    if (date) {
        std::string back;
        AppendTrialDate(back, *date);
        QCOMPARE(QString::fromStdString(back), written);
        const Date calendar = DateOfDayNumber(date->day);
        QCOMPARE(DayNumber(calendar), date->day);
    }
}

void TestTrialValues::groups_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("days"); // 0: not a group

    QTest::newRow("first early") << "First early" << 40;
    QTest::newRow("any case, blanks around") << "  mid-LATE " << 64;
    QTest::newRow("late") << "Late" << 84;
    QTest::newRow("mid is not mid-early") << "Mid" << 60;
    QTest::newRow("unknown") << "Very late" << 0;
    QTest::newRow("the computed option is no group")
        << "in the case of a premature dessiccation" << 0;
}

void TestTrialValues::groups()
{
    QFETCH(QString, caption);
    QFETCH(int, days);

    QCOMPARE(GroupDays(caption.toStdString()).value_or(0), days);
}

QTEST_GUILESS_MAIN(TestTrialValues)
#include "tst_trial_values.moc"
