// Reading dates and numbers, 16-bit conversion and the three patterns. The
// suite also runs under a decimal-comma locale: nothing here may follow it.
#include "core/cell_text.h"
#include "core/value_conventions.h"

#include <QtTest>

#include <clocale>
#include <cstdio>

using namespace quarven;

namespace {

constexpr int kCommonYear = 2026;
constexpr int kLeapYear = 2024;

} // namespace

class TestValueConventions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void dateTexts_data();
    void dateTexts();
    void dayMonthOfAnAnswer_data();
    void dayMonthOfAnAnswer();
    void dayDifference_data();
    void dayDifference();

    void readNumber_data();
    void readNumber();
    void readLevel_data();
    void readLevel();
    void toInt16_data();
    void toInt16();
    void formatPattern_data();
    void formatPattern();
    void signedAndPlainText_data();
    void signedAndPlainText();
    void formulaLikeTextGetsAnApostrophe_data();
    void formulaLikeTextGetsAnApostrophe();
};

void TestValueConventions::initTestCase()
{
    // Under the comma run the C library must really be using a comma, or the
    // run would prove nothing.
    if (qEnvironmentVariableIsSet("QUARVEN_EXPECT_DECIMAL_COMMA")) {
        char printed[16];
        std::snprintf(printed, sizeof printed, "%.1f", 4.8);
        QCOMPARE(QByteArray(printed), QByteArray("4,8"));
    }
}

void TestValueConventions::dateTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("stored"); // empty: not a date

    QTest::newRow("day and month") << "12/7" << kCommonYear << "12/07";
    QTest::newRow("leading zeros") << "12/07" << kCommonYear << "12/07";
    QTest::newRow("typed year dropped") << "12/7/2025" << kCommonYear << "12/07";
    QTest::newRow("two-digit year") << "12/7/25" << kCommonYear << "12/07";
    QTest::newRow("single digits") << "3/6" << kCommonYear << "03/06";
    QTest::newRow("dots") << "3.6" << kCommonYear << "03/06";
    QTest::newRow("dashes") << "3-6-2026" << kCommonYear << "03/06";
    QTest::newRow("blanks around") << " 1/12\t" << kCommonYear << "01/12";
    QTest::newRow("leap day in leap year") << "29/2" << kLeapYear << "29/02";
    QTest::newRow("leap day in common year") << "29/2" << kCommonYear << "";
    QTest::newRow("leap day with leap year typed") << "29/2/2024" << kCommonYear << "29/02";
    QTest::newRow("June has 30 days") << "31/6" << kCommonYear << "";
    QTest::newRow("month 13") << "1/13" << kCommonYear << "";
    QTest::newRow("day 0") << "0/0" << kCommonYear << "";
    QTest::newRow("day 32") << "32/1" << kCommonYear << "";
    QTest::newRow("mixed separators") << "3/6.2026" << kCommonYear << "";
    QTest::newRow("three-digit year") << "3/6/202" << kCommonYear << "";
    QTest::newRow("three-digit day") << "003/6" << kCommonYear << "";
    QTest::newRow("trailing separator") << "3/6/" << kCommonYear << "";
    QTest::newRow("trailing text") << "3/6x" << kCommonYear << "";
    QTest::newRow("month name") << "3 June" << kCommonYear << "";
    QTest::newRow("letters") << "abc" << kCommonYear << "";
    QTest::newRow("blank cell") << " " << kCommonYear << "";
    QTest::newRow("empty") << "" << kCommonYear << "";
}

void TestValueConventions::dateTexts()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QFETCH(QString, stored);

    const std::string input = text.toStdString();
    QCOMPARE(IsDateText(input, year), !stored.isEmpty());
    const std::optional<Date> date = DateOf(input, year);
    QCOMPARE(date.has_value(), !stored.isEmpty());
    if (date)
        QCOMPARE(QString::fromStdString(DayMonthText(*date)), stored);
}

void TestValueConventions::dayMonthOfAnAnswer_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("stored"); // empty: refused

    QTest::newRow("plain") << "12/7" << kCommonYear << "12/07";
    QTest::newRow("stored form reads back") << "12/07" << kCommonYear << "12/07";
    QTest::newRow("leap day typed with its year, common year") << "29/2/2024" << kCommonYear << "";
    QTest::newRow("leap day typed with its year, leap year") << "29/2/2024" << kLeapYear << "29/02";
    QTest::newRow("not a date") << "31/6" << kCommonYear << "";
}

void TestValueConventions::dayMonthOfAnAnswer()
{
    QFETCH(QString, answer);
    QFETCH(int, year);
    QFETCH(QString, stored);

    const std::optional<std::string> text = NormalisedDayMonth(answer.toStdString(), year);
    QCOMPARE(QString::fromStdString(text.value_or("")), stored);
}

void TestValueConventions::dayDifference_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("later");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("days"); // -1000: no difference

    QTest::newRow("ten days") << "01/07"
                              << "11/07" << kCommonYear << 10;
    QTest::newRow("budding to desiccation") << "13/06"
                                            << "14/09" << kCommonYear << 93;
    QTest::newRow("backwards") << "14/09"
                               << "13/06" << kCommonYear << -93;
    QTest::newRow("across New Year") << "31/12"
                                     << "02/01" << kCommonYear << -363;
    QTest::newRow("over February, common") << "28/02"
                                           << "01/03" << kCommonYear << 1;
    QTest::newRow("over February, leap") << "28/02"
                                         << "01/03" << kLeapYear << 2;
    QTest::newRow("whole season") << "01/03"
                                  << "30/09" << kCommonYear << 213;
    QTest::newRow("not a date") << " "
                                << "01/03" << kCommonYear << -1000;
    QTest::newRow("past 16 bits") << "1/1/1900"
                                  << "1/1/2026" << kCommonYear << -1000;
}

void TestValueConventions::dayDifference()
{
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QFETCH(int, year);
    QFETCH(int, days);

    const std::optional<std::int16_t> difference =
        DayDifference(earlier.toStdString(), later.toStdString(), year);
    QCOMPARE(difference ? int(*difference) : -1000, days);
}

void TestValueConventions::readNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("decimal") << QByteArray("1.2") << 1.2;
    QTest::newRow("comma stops") << QByteArray("1,5") << 1.0;
    QTest::newRow("percent sign") << QByteArray("35 %") << 35.0;
    QTest::newRow("exponent") << QByteArray("0.5e1") << 5.0;
    QTest::newRow("capital exponent, signed") << QByteArray("25E-1") << 2.5;
    QTest::newRow("negative") << QByteArray("-3") << -3.0;
    QTest::newRow("plus") << QByteArray("+7") << 7.0;
    QTest::newRow("blanks inside") << QByteArray(" 1 2\t.\n5") << 12.5;
    QTest::newRow("no leading digit") << QByteArray(".5") << 0.5;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("exponent without digits") << QByteArray("4e") << 4.0;
    QTest::newRow("single space") << QByteArray(" ") << 0.0;
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("NaN-looking") << QByteArray("nan") << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << 0.0;
    QTest::newRow("carriage return is not skipped") << QByteArray("\r5") << 0.0;
    QTest::newRow("long digit string") << QByteArray(300, '9') << 1e300;
    QTest::newRow("long digit string past a double") << QByteArray(400, '9') << qInf();
    QTest::newRow("too large for a double") << QByteArray("1e400") << qInf();
    QTest::newRow("too small for a double") << QByteArray("1e-400") << 0.0;
    QTest::newRow("many leading zeros") << QByteArray("0000000000000000000000012.5") << 12.5;
    QTest::newRow("long fraction rounds correctly")
        << QByteArray("0.1000000000000000055511151231257827") << 0.1;
    QTest::newRow("huge exponent digits") << QByteArray("1e99999999999999999999") << qInf();
}

void TestValueConventions::readNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);

    QCOMPARE(ReadNumber(text.toStdString()), value);
}

void TestValueConventions::readLevel_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("decimal comma") << QByteArray("2,5") << 2.5;
    QTest::newRow("decimal comma, two decimals") << QByteArray("12,75") << 12.75;
    QTest::newRow("decimal comma past 100") << QByteArray("100,5") << 100.5;
    QTest::newRow("negative decimal comma") << QByteArray("-0,5") << -0.5;
    QTest::newRow("point before the comma") << QByteArray("1.2,5") << 1.2;
    QTest::newRow("second comma stops") << QByteArray("1,5,7") << 1.5;
    QTest::newRow("comma with no digit after") << QByteArray("3,") << 3.0;
    QTest::newRow("comma with no digit before") << QByteArray(",5") << 0.0;
    QTest::newRow("blank after the comma") << QByteArray("1, 5") << 1.0;
    QTest::newRow("comma after the number") << QByteArray("35 %,5") << 35.0;
    QTest::newRow("point") << QByteArray("1.2") << 1.2;
    QTest::newRow("single space") << QByteArray(" ") << 0.0;
}

void TestValueConventions::readLevel()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);

    QCOMPARE(ReadLevel(text.toStdString()), value);
}

void TestValueConventions::toInt16_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected"); // 99999: no 16-bit value

    QTest::newRow("half to even, down") << 0.5 << 0;
    QTest::newRow("half to even, up") << 1.5 << 2;
    QTest::newRow("half to even, 2.5") << 2.5 << 2;
    QTest::newRow("half to even, 3.5") << 3.5 << 4;
    QTest::newRow("negative half") << -2.5 << -2;
    QTest::newRow("below half") << 2.4999 << 2;
    QTest::newRow("above half") << 2.6 << 3;
    QTest::newRow("largest") << 32767.0 << 32767;
    QTest::newRow("rounds past largest") << 32767.5 << 99999;
    QTest::newRow("past largest") << 32768.0 << 99999;
    QTest::newRow("smallest") << -32768.0 << -32768;
    QTest::newRow("rounds to smallest") << -32768.5 << -32768;
    QTest::newRow("past smallest") << -32769.0 << 99999;
    QTest::newRow("infinity") << qInf() << 99999;
    QTest::newRow("not a number") << qQNaN() << 99999;
}

void TestValueConventions::toInt16()
{
    QFETCH(double, value);
    QFETCH(int, expected);

    const std::optional<std::int16_t> whole = ToInt16(value);
    QCOMPARE(whole ? int(*whole) : 99999, expected);
}

void TestValueConventions::formatPattern_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("pattern");
    QTest::addColumn<QString>("text");

    const int period = int(Pattern::Period);
    const int losses = int(Pattern::Losses);
    const int audpc = int(Pattern::Audpc);
    QTest::newRow("period") << 84.0 << period << "84";
    QTest::newRow("period zero is empty") << 0.0 << period << "";
    QTest::newRow("losses half away from zero") << 4.75 << losses << "4.8";
    QTest::newRow("losses 4.25") << 4.25 << losses << "4.3";
    QTest::newRow("losses judged in decimal") << 7.8 / 52 << losses << "0.2";
    QTest::newRow("losses small") << 0.04 << losses << "0.0";
    QTest::newRow("losses a hair below a half") << 2.3 / 46 << losses << "0.1";
    QTest::newRow("losses a true value below a half") << 0.0499999 << losses << "0.0";

    QTest::newRow("losses zero") << 0.0 << losses << "0.0";
    QTest::newRow("losses whole") << 250.0 / 52 << losses << "4.8";
    QTest::newRow("losses carry") << 9.96 << losses << "10.0";
    QTest::newRow("losses large") << 123456.78 << losses << "123456.8";
    QTest::newRow("losses negative") << -4.75 << losses << "-4.8";
    QTest::newRow("audpc") << 250.0 << audpc << "250";
    QTest::newRow("audpc half away from zero") << 2.5 << audpc << "3";
    QTest::newRow("audpc below half is empty") << 0.4 << audpc << "";
    QTest::newRow("audpc a hair below a half") << (0.3 * 3 + 0.7 * 3) / 2 << audpc << "2";
    QTest::newRow("audpc sixteen digits below a half") << 2.4999999999999 << audpc << "2";
    QTest::newRow("audpc six digits") << 123456.0 << audpc << "123456";
    QTest::newRow("audpc tiny") << 1e-300 << audpc << "";
    QTest::newRow("audpc huge") << 1e20 << audpc << "100000000000000000000";
}

void TestValueConventions::formatPattern()
{
    QFETCH(double, value);
    QFETCH(int, pattern);
    QFETCH(QString, text);

    QCOMPARE(QString::fromStdString(FormatPattern(value, Pattern(pattern))), text);
}

void TestValueConventions::signedAndPlainText_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("signedText");

    QTest::newRow("one") << 1 << "1"
                         << " 1";
    QTest::newRow("zero") << 0 << "0"
                          << " 0";
    QTest::newRow("negative") << -3 << "-3"
                              << "-3";
    QTest::newRow("largest") << 32767 << "32767"
                             << " 32767";
    QTest::newRow("smallest") << -32768 << "-32768"
                              << "-32768";
}

void TestValueConventions::signedAndPlainText()
{
    QFETCH(int, value);
    QFETCH(QString, plain);
    QFETCH(QString, signedText);

    QCOMPARE(QString::fromStdString(PlainText(value)), plain);
    QCOMPARE(QString::fromStdString(SignedText(value)), signedText);
}

void TestValueConventions::formulaLikeTextGetsAnApostrophe_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("equals") << "=cmd|' /C calc'!A0"
                            << "'=cmd|' /C calc'!A0";
    QTest::newRow("at") << "@SUM(A1)"
                        << "'@SUM(A1)";
    QTest::newRow("plus word") << "+cmd"
                               << "'+cmd";
    QTest::newRow("minus word") << "-x"
                                << "'-x";
    QTest::newRow("lone minus") << "-"
                                << "'-";
    QTest::newRow("tab") << "\tA"
                         << "'\tA";
    QTest::newRow("carriage return") << "\rA"
                                     << "'\rA";
    QTest::newRow("negative number") << "-5"
                                     << "-5";
    QTest::newRow("signed decimal comma") << "+2,5"
                                          << "+2,5";
    QTest::newRow("negative exponent") << "-1.5e-3"
                                       << "-1.5e-3";
    QTest::newRow("half an exponent") << "-1e"
                                      << "'-1e";
    QTest::newRow("plain name") << "Gala"
                                << "Gala";
    QTest::newRow("inner equals") << "a=b"
                                  << "a=b";
    QTest::newRow("empty") << ""
                           << "";
}

void TestValueConventions::formulaLikeTextGetsAnApostrophe()
{
    QFETCH(QString, text);
    QFETCH(QString, written);

    QCOMPARE(QString::fromStdString(FormulaSafe(text.toStdString())), written);
}

QTEST_GUILESS_MAIN(TestValueConventions)
#include "tst_value_conventions.moc"
