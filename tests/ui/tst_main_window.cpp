// The main window at start-up and its Calculate button, driven as a user
// would on real widgets.
#include "support/main_window_fixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void startsWithThreeBlankRows();
    void calculate_data();
    void calculate();
    void messageKeepsEarlierResults();

private:
    MainWindowFixture m_fixture;
};

void TestMainWindow::cleanup()
{
    QVERIFY(m_fixture.dialogs.scriptFinished());
    m_fixture.close();
}

void TestMainWindow::startsWithThreeBlankRows()
{
    LossEng& window = m_fixture.open();
    QCOMPARE(items(window.sNuch), (QStringList{"1", "2", "3"}));
    QCOMPARE(items(window.sTx), (QStringList{" ", " ", " "}));
    QCOMPARE(items(window.sX), (QStringList{" ", " ", " "}));
    QCOMPARE(window.sNx->text(), QStringLiteral("3"));
    QCOMPARE(window.sQ->text(), QStringLiteral("52"));
    QVERIFY(window.Spel[2]->isChecked());
    QCOMPARE(window.sPotEvro->text(), QString());
    QCOMPARE(window.sWEvro->text(), QString());
    QCOMPARE(QApplication::focusWidget(), window.sNuch);
    QCOMPARE(window.sNuch->selectedRow(), -1);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestMainWindow::calculate_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("losses");
    QTest::addColumn<QString>("audpc");

    QTest::newRow("results") << QStringList{"01/07", "11/07", "21/07"}
                             << QStringList{"0", "10", "30"} << QStringList() << "4.8"
                             << "250";
    QTest::newRow("date message") << QStringList{"31/12", "02/01", "21/07"}
                                  << QStringList{"0", "10", "30"}
                                  << QStringList{messageLine(
                                         "Assessment date input error(assessments # 1 and  2). "
                                         "Consequent assessments should differ from one another!")}
                                  << ""
                                  << "";
    QTest::newRow("level message")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"5", "3", "30"}
        << QStringList{messageLine("Data input error (assessments # 1 and  2).\r Results of the "
                                   "next assessment should be equal or higher than those for "
                                   "the previous assessment!")}
        << ""
        << "";
    QTest::newRow("incomplete table")
        << QStringList{"01/07", " ", "21/07"} << QStringList{"0", "10", "30"} << QStringList() << ""
        << "";
}

void TestMainWindow::calculate()
{
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(QStringList, transcript);
    QFETCH(QString, losses);
    QFETCH(QString, audpc);

    LossEng& window = m_fixture.open();
    setItems(window.sTx, dates);
    setItems(window.sX, levels);
    for (int i = 0; i < transcript.size(); ++i)
        m_fixture.dialogs.acknowledge();
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(window.sPotEvro->text(), losses);
    QCOMPARE(window.sWEvro->text(), audpc);
}

void TestMainWindow::messageKeepsEarlierResults()
{
    LossEng& window = m_fixture.open();
    setItems(window.sTx, {"01/07", "11/07", "21/07"});
    setItems(window.sX, {"0", "10", "30"});
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    setItems(window.sX, {"0", "10", "5"});
    m_fixture.dialogs.acknowledge();
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
    QCOMPARE(window.sPotEvro->text(), QStringLiteral("4.8"));
    QCOMPARE(window.sWEvro->text(), QStringLiteral("250"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
