// The main window at start-up and its Calculate button, driven as a user
// would on real widgets.
#include "support/main_window_fixture.h"
#include "ui/about_losses_e.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
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
    void resultsStayUntilTheNextCalculate_data();
    void resultsStayUntilTheNextCalculate();
    void keysDoWhatAClickDoes_data();
    void keysDoWhatAClickDoes();
    void columnsScrollTogether_data();
    void columnsScrollTogether();

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
    const MainWindowControls ui(window);
    QCOMPARE(items(ui.sNuch), (QStringList{"1", "2", "3"}));
    QCOMPARE(items(ui.sTx), (QStringList{" ", " ", " "}));
    QCOMPARE(items(ui.sX), (QStringList{" ", " ", " "}));
    QCOMPARE(ui.sNx->text(), QStringLiteral("3"));
    QCOMPARE(ui.sQ->text(), QStringLiteral("52"));
    QVERIFY(ui.Spel(3)->isChecked());
    QCOMPARE(ui.sPotEvro->text(), QString());
    QCOMPARE(ui.sWEvro->text(), QString());
    QCOMPARE(QApplication::focusWidget(), ui.sNuch);
    QCOMPARE(ui.sNuch->selectedRow(), -1);
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
    const MainWindowControls ui(window);
    setItems(ui.sTx, dates);
    setItems(ui.sX, levels);
    for (int i = 0; i < transcript.size(); ++i)
        m_fixture.dialogs.acknowledge();
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(ui.sPotEvro->text(), losses);
    QCOMPARE(ui.sWEvro->text(), audpc);
}

void TestMainWindow::messageKeepsEarlierResults()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    setItems(ui.sX, {"0", "10", "5"});
    m_fixture.dialogs.acknowledge();
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
    QCOMPARE(ui.sPotEvro->text(), QStringLiteral("4.8"));
    QCOMPARE(ui.sWEvro->text(), QStringLiteral("250"));
}

void TestMainWindow::resultsStayUntilTheNextCalculate_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("a silent Calculate on a blank date") << "blank date";
    QTest::newRow("a rebuilt table") << "count";
    QTest::newRow("another period") << "period";
}

void TestMainWindow::resultsStayUntilTheNextCalculate()
{
    QFETCH(QString, change);

    LossEng& window = m_fixture.open();
    auto* sTx = control<ListBox>(window, "sTx");
    auto* sPotEvro = control<QLineEdit>(window, "sPotEvro");
    auto* sWEvro = control<QLineEdit>(window, "sWEvro");
    auto* command = control<QPushButton>(window, "Command1");
    setItems(sTx, {"01/07", "11/07", "21/07"});
    setItems(control<ListBox>(window, "sX"), {"0", "10", "30"});
    QTest::mouseClick(command, Qt::LeftButton);
    QCOMPARE(sPotEvro->text(), QStringLiteral("4.8"));

    if (change == "blank date") {
        setItems(sTx, {"01/07", " ", "21/07"});
        QTest::mouseClick(command, Qt::LeftButton);
    } else if (change == "count") {
        control<QLineEdit>(window, "sNx")->setText(QStringLiteral("4"));
        QCOMPARE(sTx->count(), 4);
    } else {
        QTest::mouseClick(control<QRadioButton>(window, "Spel6"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(window, "sQ")->text(), QStringLiteral("84"));
    }
    QCOMPARE(sPotEvro->text(), QStringLiteral("4.8"));
    QCOMPARE(sWEvro->text(), QStringLiteral("250"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestMainWindow::keysDoWhatAClickDoes_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("acts");

    QTest::newRow("Return on Calculate") << "Command1" << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("keypad Enter on Calculate")
        << "Command1" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("Space on Calculate") << "Command1" << int(Qt::Key_Space) << 0 << true;
    QTest::newRow("Return on the picture") << "Picture2" << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("Space on the picture") << "Picture2" << int(Qt::Key_Space) << 0 << true;
    QTest::newRow("Tab on the picture") << "Picture2" << int(Qt::Key_Tab) << 0 << false;
    // Enter elsewhere never reaches Calculate.
    QTest::newRow("Return on the AUDPC box") << "sWEvro" << int(Qt::Key_Return) << 0 << false;
}

void TestMainWindow::keysDoWhatAClickDoes()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, acts);

    LossEng& window = m_fixture.open();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    setItems(quarven::test::control<ListBox>(window, "sTx"), {"01/07", "11/07", "21/07"});
    setItems(quarven::test::control<ListBox>(window, "sX"), {"0", "10", "30"});
    auto* target = quarven::test::control<QWidget>(window, control.toLatin1().constData());
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    const bool calculated =
        quarven::test::control<QLineEdit>(window, "sWEvro")->text() == QLatin1String("250");
    const bool aboutOpened = window.aboutWindow() != nullptr;
    QCOMPARE(calculated || aboutOpened, acts);
    if (AboutLossesE* about = window.aboutWindow())
        delete about;
}

void TestMainWindow::columnsScrollTogether_data()
{
    QTest::addColumn<QString>("scrolled");
    QTest::addColumn<QString>("how");
    for (const char* list : {"sNuch", "sTx", "sX"}) {
        QTest::addRow("%s, scroll bar to the end", list) << list << "bar";
        QTest::addRow("%s, wheel", list) << list << "wheel";
        QTest::addRow("%s, End key", list) << list << "end";
    }
}

// Row numbers, dates and levels are one table: a level must never be read
// against another row's number.
void TestMainWindow::columnsScrollTogether()
{
    QFETCH(QString, scrolled);
    QFETCH(QString, how);

    LossEng& window = m_fixture.open();
    control<QLineEdit>(window, "sNx")->setText(QStringLiteral("30"));
    const QList<ListBox*> lists = {control<ListBox>(window, "sNuch"),
                                   control<ListBox>(window, "sTx"), control<ListBox>(window, "sX")};
    auto* list = control<ListBox>(window, scrolled.toLatin1().constData());
    // The lists lay out their new rows when the event loop comes round.
    QCoreApplication::processEvents();
    if (how == "bar") {
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    } else if (how == "wheel") {
        const QPoint centre = list->viewport()->rect().center();
        QWheelEvent wheel(centre, list->viewport()->mapToGlobal(centre), {}, QPoint(0, -360),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list->viewport(), &wheel);
    } else {
        // Selecting a row by the keys edits it: cancel the prompt.
        script(m_fixture.dialogs, {"!cancel"});
        list->setFocus();
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
    }

    QCoreApplication::processEvents();
    const int first = list->indexAt(QPoint(1, 1)).row();
    QVERIFY2(first > 0, "the list did not scroll");
    for (ListBox* other : lists) {
        QCOMPARE(other->indexAt(QPoint(1, 1)).row(), first);
        QCOMPARE(other->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!other->horizontalScrollBar()->isVisible());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
