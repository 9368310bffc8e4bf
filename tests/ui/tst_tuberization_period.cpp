// The tuberization period: maturity groups, a typed period held within
// 10..130 days, and the premature-desiccation loop.
#include "support/main_window_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

QString periodPrompt(const QString& defaultAnswer)
{
    return promptLine("Date input error",
                      "Duration of the tuberization stage usually makes from 10 to 130 days",
                      defaultAnswer);
}

QString buddingPrompt(const QString& defaultAnswer)
{
    return promptLine("Insert a budding date",
                      "Example: June 12 should be recorded as 12/6 \r(it is not of necessity to "
                      "insert a year) ",
                      defaultAnswer);
}

QString desiccationPrompt(const QString& defaultAnswer)
{
    return promptLine("Insert the date of dessiccation",
                      "Example: September 12 should be recorded as 12/9 \r(it is not of "
                      "necessity to insert a year) ",
                      defaultAnswer);
}

QString tooShort(const QString& days)
{
    return messageLine("Tuberization stage (" + days +
                       ") usually makes from 10 to 130 days\rDate input error");
}

QString tooLong(const QString& days)
{
    return messageLine("Tuberization stage (" + days +
                       ") usually does not exceed 4 months\rInsert a number of days between the "
                       "budding and the dessiccation");
}

} // namespace

class TestTuberizationPeriod : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void maturityGroups_data();
    void maturityGroups();
    void typedPeriod_data();
    void typedPeriod();
    void setPeriod_data();
    void setPeriod();
    void presetAgainRestoresItsPeriod();
    void arrowKeysChooseAGroup();
    void typingKeepsTheSelectedGroup();
    void prematureDesiccation_data();
    void prematureDesiccation();
    void calculateUsesTheChosenPeriod();

private:
    MainWindowFixture m_fixture;
};

void TestTuberizationPeriod::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_fixture.close();
}

void TestTuberizationPeriod::maturityGroups_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("period");

    QTest::newRow("first early") << 0 << "40";
    QTest::newRow("early") << 1 << "46";
    QTest::newRow("mid-early") << 2 << "52";
    QTest::newRow("mid") << 3 << "60";
    QTest::newRow("mid-late") << 4 << "64";
    QTest::newRow("late") << 5 << "84";
}

void TestTuberizationPeriod::maturityGroups()
{
    QFETCH(int, option);
    QFETCH(QString, period);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sQ->setText(QStringLiteral("70"));
    QTest::mouseClick(ui.Spel(option + 1), Qt::LeftButton);
    QCOMPARE(ui.sQ->text(), period);
    QVERIFY(ui.Spel(option + 1)->isChecked());
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestTuberizationPeriod::typedPeriod_data()
{
    QTest::addColumn<QStringList>("keys"); // pressed first
    QTest::addColumn<QString>("typed");    // then typed
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("period");

    const QStringList selectAll{"Home", "Shift+End"};
    QTest::newRow("zero stands for 52")
        << selectAll << "0" << QStringList() << QStringList() << "52";
    QTest::newRow("deleted stands for 52")
        << (selectAll + QStringList{"Del"}) << "" << QStringList() << QStringList() << "52";
    QTest::newRow("leading zero dropped")
        << QStringList{"Home"} << "0" << QStringList() << QStringList() << "52";
    QTest::newRow("third digit asks") << QStringList{"End"} << "0" << QStringList{"84"}
                                      << QStringList{periodPrompt("520")} << "84";
    QTest::newRow("5 asks at once, 84 accepted")
        << selectAll << "5" << QStringList{"84"} << QStringList{periodPrompt("5")} << "84";
    QTest::newRow("10 accepted") << selectAll << "1" << QStringList{"10"}
                                 << QStringList{periodPrompt("1")} << "10";
    QTest::newRow("130 accepted") << selectAll << "1" << QStringList{"130"}
                                  << QStringList{periodPrompt("1")} << "130";
    QTest::newRow("131 and 9 refused, 9.6 reads as 10")
        << selectAll << "1" << QStringList{"131", "9", "9.6"}
        << QStringList{periodPrompt("1"), periodPrompt("131"), periodPrompt("9")} << "10";
    QTest::newRow("cancel gives 52")
        << selectAll << "7" << QStringList{"!cancel"} << QStringList{periodPrompt("7")} << "52";
    QTest::newRow("answer past 32767 asked again")
        << selectAll << "7" << QStringList{"40000", "60"}
        << QStringList{periodPrompt("7"), periodPrompt("40000")} << "60";
    QTest::newRow("answer far below 16 bits asked again by the prompt naming 10 to 130")
        << selectAll << "7" << QStringList{"-40000", "60"}
        << QStringList{periodPrompt("7"), periodPrompt("-40000")} << "60";
    QTest::newRow("full-width answer read as its digits")
        << selectAll << "7" << QStringList{QString::fromUtf8("\uFF16\uFF10\r\n")}
        << QStringList{periodPrompt("7")} << "60";
    QTest::newRow("answer far past a double asked again")
        << selectAll << "7" << QStringList{"1e400", "60"}
        << QStringList{periodPrompt("7"), periodPrompt("1e400")} << "60";
    QTest::newRow("letters beep and change nothing")
        << QStringList{"End"} << "x" << QStringList() << QStringList() << "52";
}

void TestTuberizationPeriod::typedPeriod()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, typed);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, period);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sQ->setFocus();
    script(m_fixture.dialogs, steps);
    pressKeys(ui.sQ, keys);
    QTest::keyClicks(ui.sQ, typed);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(ui.sQ->text(), period);
}

void TestTuberizationPeriod::setPeriod_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("period");

    // The nested run asks first; the outer one then offers what it accepted.
    QTest::newRow("rewritten text asks once more")
        << "09" << QStringList{"84", "84"} << QStringList{periodPrompt("9"), periodPrompt("84")}
        << "84";
    QTest::newRow("past 32767 asked again")
        << "99999" << QStringList{"84"} << QStringList{periodPrompt("99999")} << "84";
    QTest::newRow("preset form with its blank") << " 84" << QStringList() << QStringList() << "84";
}

void TestTuberizationPeriod::setPeriod()
{
    QFETCH(QString, text);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, period);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    script(m_fixture.dialogs, steps);
    ui.sQ->setText(text);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(ui.sQ->text(), period);
}

void TestTuberizationPeriod::presetAgainRestoresItsPeriod()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    ui.sQ->setText(QStringLiteral("70"));
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    QCOMPARE(ui.sQ->text(), QStringLiteral("84"));
}

void TestTuberizationPeriod::arrowKeysChooseAGroup()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.Spel(3)->setFocus();
    QTest::keyClick(ui.Spel(3), Qt::Key_Down);
    QVERIFY(ui.Spel(4)->isChecked());
    QCOMPARE(ui.sQ->text(), QStringLiteral("60"));
}

void TestTuberizationPeriod::typingKeepsTheSelectedGroup()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    ui.sQ->selectAll();
    m_fixture.dialogs.answer(QStringLiteral("40"));
    QTest::keyClicks(ui.sQ, QStringLiteral("4"));
    QCOMPARE(ui.sQ->text(), QStringLiteral("40"));
    QVERIFY(ui.Spel(6)->isChecked());
}

void TestTuberizationPeriod::prematureDesiccation_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("period");

    QTest::newRow("93 days") << kCommonYear << QStringList{"13/6", "14/9"}
                             << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9")}
                             << "93";
    QTest::newRow("10 days accepted")
        << kCommonYear << QStringList{"1/6", "11/6"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9")} << "10";
    QTest::newRow("backwards, then asked again")
        << kCommonYear << QStringList{"14/9", "13/6", "!ok", "1/6", "1/8"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9"), tooShort("-93"),
                       buddingPrompt("13/6"), desiccationPrompt("14/9")}
        << "61";
    QTest::newRow("213 days, then asked again")
        << kCommonYear << QStringList{"1/3", "30/9", "!ok", "13/6", "14/9"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9"), tooLong(" 213"),
                       buddingPrompt("13/6"), desiccationPrompt("14/9")}
        << "93";
    QTest::newRow("budding cancelled still asks desiccation")
        << kCommonYear << QStringList{"!cancel", "14/9", "!ok", "13/6", "14/9"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9"), tooShort(" 0"),
                       buddingPrompt("13/6"), desiccationPrompt("14/9")}
        << "93";
    QTest::newRow("cancelled pass keeps the last count")
        << kCommonYear
        << QStringList{"14/9", "13/6", "!ok", "!cancel", "!cancel", "!ok", "13/6", "14/9"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9"), tooShort("-93"),
                       buddingPrompt("13/6"), desiccationPrompt("14/9"), tooShort("-93"),
                       buddingPrompt("13/6"), desiccationPrompt("14/9")}
        << "93";
    QTest::newRow("rejected budding offered again")
        << kCommonYear << QStringList{"31/6", "!ok", "1/6", "11/6"}
        << QStringList{buddingPrompt("13/6"),
                       messageLine("Date input error =>(31/6)? [Example: June 12 should be "
                                   "recorded as 12/6 ]"),
                       buddingPrompt("31/6"), desiccationPrompt("14/9")}
        << "10";
    QTest::newRow("rejected desiccation offered again")
        << kCommonYear << QStringList{"1/6", "31/9", "!ok", "11/6"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9"),
                       messageLine("Date input error=>(31/9) [Example: September 12 should be "
                                   "recorded as 12/9]"),
                       desiccationPrompt("31/9")}
        << "10";
    QTest::newRow("leap day refused in a common year")
        << kCommonYear << QStringList{"29/2/2024", "!ok", "1/6", "11/6"}
        << QStringList{buddingPrompt("13/6"),
                       messageLine("Date input error =>(29/2/2024)? [Example: June 12 should be "
                                   "recorded as 12/6 ]"),
                       buddingPrompt("29/2/2024"), desiccationPrompt("14/9")}
        << "10";
    QTest::newRow("leap year counts 29 February")
        << kLeapYear << QStringList{"20/2", "1/3"}
        << QStringList{buddingPrompt("13/6"), desiccationPrompt("14/9")} << "10";
}

void TestTuberizationPeriod::prematureDesiccation()
{
    QFETCH(int, year);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, period);

    LossEng& window = m_fixture.open(year);
    const MainWindowControls ui(window);
    script(m_fixture.dialogs, steps);
    QTest::mouseClick(ui.Spel(7), Qt::LeftButton);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(ui.sQ->text(), period);
    QVERIFY(ui.Spel(7)->isChecked());
}

void TestTuberizationPeriod::calculateUsesTheChosenPeriod()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(ui.sPotEvro->text(), QStringLiteral("3.0"));
    QCOMPARE(ui.sWEvro->text(), QStringLiteral("250"));
}

QTEST_MAIN(TestTuberizationPeriod)
#include "tst_tuberization_period.moc"
