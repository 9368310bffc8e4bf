// Prompt answers from other scripts and from copied cells: the digits the
// readers see, what is dropped at the ends, and how a message quotes them.
#include "entry/prompt_answers.h"

#include <QtTest>

using namespace quarven;

class TestPromptAnswers : public QObject {
    Q_OBJECT

private slots:
    void digitsAgreeWithQt();
    void cleaned_data();
    void cleaned();
    void quoted_data();
    void quoted();
};

// The digit table is ours; Qt's Unicode tables are the reference. Code points
// that Qt's older Unicode does not know yet may be digits for us.
void TestPromptAnswers::digitsAgreeWithQt()
{
    int digits = 0;
    for (char32_t codePoint = 0; codePoint <= 0x10FFFF; ++codePoint) {
        const std::optional<int> ours = DecimalDigitValue(codePoint);
        const QChar::Category category = QChar::category(codePoint);
        if (category == QChar::Number_DecimalDigit) {
            QVERIFY2(ours == QChar::digitValue(codePoint),
                     qPrintable(QStringLiteral("U+%1").arg(uint(codePoint), 4, 16)));
            ++digits;
        } else if (ours) {
            QVERIFY2(category == QChar::Other_NotAssigned,
                     qPrintable(QStringLiteral("U+%1").arg(uint(codePoint), 4, 16)));
        }
    }
    QVERIFY(digits >= 650);
}

void TestPromptAnswers::cleaned_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("cleaned");

    QTest::newRow("ASCII unchanged") << "12/7"
                                     << "12/7";
    QTest::newRow("full-width") << QString::fromUtf8("\uFF15\uFF10") << "50";
    QTest::newRow("Arabic-Indic with a point")
        << QString::fromUtf8("\u0661\u0662.\u0665") << "12.5";
    QTest::newRow("Devanagari date") << QString::fromUtf8("\u0967\u0968/\u096D") << "12/7";
    QTest::newRow("mathematical bold digits, four bytes each")
        << QString::fromUtf8("\U0001D7CF\U0001D7CE") << "10";
    QTest::newRow("CR LF at the end") << "35\r\n"
                                      << "35";
    QTest::newRow("tabs and line breaks at both ends") << "\t\n12/7\r\t"
                                                       << "12/7";
    QTest::newRow("blanks kept") << " 35 "
                                 << " 35 ";
    QTest::newRow("a lone blank kept") << " "
                                       << " ";
    QTest::newRow("breaks inside kept") << "1\n2"
                                        << "1\n2";
    QTest::newRow("only breaks") << "\r\n"
                                 << "";
    QTest::newRow("letters of other scripts kept")
        << QString::fromUtf8("\u0661\u0627\u20AC") << QString::fromUtf8("1\u0627\u20AC");
    QTest::newRow("superscript two is no decimal digit")
        << QString::fromUtf8("\u00B2") << QString::fromUtf8("\u00B2");
}

void TestPromptAnswers::cleaned()
{
    QFETCH(QString, answer);
    QFETCH(QString, cleaned);

    QCOMPARE(QString::fromStdString(CleanedAnswer(answer.toStdString())), cleaned);
}

void TestPromptAnswers::quoted_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("quoted");

    QTest::newRow("ASCII as typed") << "31/6"
                                    << "31/6";
    QTest::newRow("a blank as typed") << " "
                                      << " ";
    QTest::newRow("right-to-left override isolated")
        << QString::fromUtf8("\u202E31/6") << QString::fromUtf8("\u2068\u202E31/6\u2069");
    QTest::newRow("Hebrew isolated")
        << QString::fromUtf8("\u05D0") << QString::fromUtf8("\u2068\u05D0\u2069");
}

void TestPromptAnswers::quoted()
{
    QFETCH(QString, answer);
    QFETCH(QString, quoted);

    QCOMPARE(QString::fromStdString(QuotedAnswer(answer.toStdString())), quoted);
}

QTEST_GUILESS_MAIN(TestPromptAnswers)
#include "tst_prompt_answers.moc"
