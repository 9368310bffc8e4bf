// The table to and from the clipboard and trial files, through the window's
// context menu and shortcuts: what lands where, what is refused and leaves
// the table as it was, and what a spreadsheet gets back.
#include "support/main_window_fixture.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

const QString kDateExample = QStringLiteral(" [Example: July 12 should be recorded as 12/7]");

QString refusedDate(int assessment, const QString& text)
{
    return messageLine(QStringLiteral("Nothing was pasted: assessment # %1\rError insertion of the "
                                      "date=>(%2)")
                           .arg(assessment)
                           .arg(text) +
                       kDateExample);
}

QString refusedLevel(int assessment, const QString& text)
{
    return messageLine(QStringLiteral("Nothing was pasted: assessment # %1\rThe damage level => ( "
                                      "%2 ) should be between 0 and 100%")
                           .arg(assessment)
                           .arg(text));
}

// A right click on a row of a list, as the mouse delivers it.
void rightClickRow(ListBox* list, int row)
{
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &menu);
}

// A file dropped on the window, as a file manager drops it.
void dropFile(QWidget* window, const QString& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint centre = window->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &drop);
}

} // namespace

class TestDataActions : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void paste_data();
    void paste();
    void hostileClipboard_data();
    void hostileClipboard();
    void copyClearPasteGivesTheSameTable();
    void copyResults();
    void clearAsksFirst();
    void resultsGoWithTheirTable_data();
    void resultsGoWithTheirTable();
    void saveWritesLevelsAsCalculateReadsThem();
    void menuOnTheTableAndTheResults_data();
    void menuOnTheTableAndTheResults();
    void shortcutsSkipTheNumberBoxes();
    void saveThenOpen_data();
    void saveThenOpen();
    void openChoosesAmongPlots();
    void openRefusesWhatTheWindowCannotHold_data();
    void openRefusesWhatTheWindowCannotHold();

private:
    MainWindowControls& open();
    void menuOn(QWidget* over, const QString& entry);

    MainWindowFixture m_fixture;
    std::unique_ptr<MainWindowControls> m_ui;
    QStringList m_menuEntries;
};

void TestDataActions::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_ui.reset();
    m_fixture.close();
}

MainWindowControls& TestDataActions::open()
{
    LossEng& window = m_fixture.open();
    m_ui = std::make_unique<MainWindowControls>(window);
    return *m_ui;
}

// Opens the context menu over a control and picks one of its entries.
void TestDataActions::menuOn(QWidget* over, const QString& entry)
{
    auto entries = std::make_shared<QStringList>();
    QTimer::singleShot(0, [entry, entries] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            entries->append(action->text());
            if (action->text() == entry)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    });
    const QPoint at = over->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, over->mapToGlobal(at));
    QApplication::sendEvent(over, &event);
    m_menuEntries = *entries;
}

void TestDataActions::paste_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("list"); // the list the menu opens on
    QTest::addColumn<int>("selected"); // its selected row, -1 for none
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QStringList>("dates"); // the table afterwards
    QTest::addColumn<QStringList>("levels");

    const QStringList before{"05/06", " ", " "};
    const QStringList levelsBefore{"1", " ", " "};
    QTest::newRow("two columns from the first row")
        << "01/07\t0\n11/07\t10\n"
        << "sTx" << -1 << QStringList() << QStringList() << QStringList{"01/07", "11/07", " "}
        << QStringList{"0", "10", " "};
    QTest::newRow("three columns, the number ignored")
        << "1\t01/07\t0\r\n2\t11/07\t10\r\n3\t21/07\t30\r\n"
        << "sNuch" << -1 << QStringList() << QStringList() << QStringList{"01/07", "11/07", "21/07"}
        << QStringList{"0", "10", "30"};
    QTest::newRow("a header row skipped")
        << "Date\tLevel\n12/7\t5\n"
        << "sTx" << -1 << QStringList() << QStringList() << QStringList{"12/07", " ", " "}
        << QStringList{"5", " ", " "};
    QTest::newRow("from the selected row down")
        << "12/7\t5\n13/7\t6\n"
        << "sTx" << 1 << QStringList() << QStringList() << QStringList{"05/06", "12/07", "13/07"}
        << QStringList{"1", "5", "6"};
    QTest::newRow("past the last row the count grows, filled rows kept")
        << "12/7\t5\n13/7\t6\n14/7\t7\n"
        << "sX" << 2 << QStringList() << QStringList()
        << QStringList{"05/06", " ", "12/07", "13/07", "14/07"}
        << QStringList{"1", " ", "5", "6", "7"};
    QTest::newRow("one column on the levels fills levels")
        << "5\n10\n"
        << "sX" << -1 << QStringList() << QStringList() << before << QStringList{"5", "10", " "};
    QTest::newRow("one column elsewhere fills dates")
        << "12/7\n\n14/7"
        << "sNuch" << -1 << QStringList() << QStringList() << QStringList{"12/07", " ", "14/07"}
        << levelsBefore;
    QTest::newRow("semicolons, a decimal comma kept as typed")
        << "12/7;1,5\n"
        << "sTx" << -1 << QStringList() << QStringList() << QStringList{"12/07", " ", " "}
        << QStringList{"1,5", " ", " "};
    QTest::newRow("a decimal comma past 100 refused")
        << "12/7;100,5\n"
        << "sTx" << -1 << QStringList{"!ok"} << QStringList{refusedLevel(1, "100,5")} << before
        << levelsBefore;
    QTest::newRow("empty cells blank their cells")
        << "\t\n13/7\t\n"
        << "sTx" << -1 << QStringList() << QStringList() << QStringList{" ", "13/07", " "}
        << QStringList{" ", " ", " "};
    QTest::newRow("other scripts' digits and a year")
        << QString::fromUtf8("\uFF11\uFF12/7/2026\t\u0665") << "sTx" << -1 << QStringList()
        << QStringList() << QStringList{"12/07", " ", " "} << QStringList{"5", " ", " "};
    QTest::newRow("a refused date names its row and changes nothing")
        << "12/7\t5\n31/6\t6\n"
        << "sTx" << -1 << QStringList{"!ok"} << QStringList{refusedDate(2, "31/6")} << before
        << levelsBefore;
    QTest::newRow("a leap day in a common year refused")
        << "29/2\t5\n"
        << "sTx" << -1 << QStringList{"!ok"} << QStringList{refusedDate(1, "29/2")} << before
        << levelsBefore;
    QTest::newRow("a refused level names its row and changes nothing")
        << "12/7\t5\n13/7\t100.5\n"
        << "sTx" << 1 << QStringList{"!ok"} << QStringList{refusedLevel(3, "100.5")} << before
        << levelsBefore;
}

void TestDataActions::paste()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, list);
    QFETCH(int, selected);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);

    MainWindowControls& ui = open();
    setItems(ui.sTx, {"05/06"});
    setItems(ui.sX, {"1"});
    auto* target = control<ListBox>(*ui.sTx->window(), list.toLatin1().constData());
    if (selected >= 0)
        target->setCurrentRow(selected);
    QGuiApplication::clipboard()->setText(clipboard);
    script(m_fixture.dialogs, steps);
    menuOn(target->viewport(), QStringLiteral("Paste table"));

    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(items(ui.sTx), dates);
    QCOMPARE(items(ui.sX), levels);
    QCOMPARE(ui.sNx->text(), QString::number(dates.size()));
    QCOMPARE(items(ui.sNuch).size(), dates.size());
}

void TestDataActions::hostileClipboard_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("message");

    QTest::newRow("a megabyte of text")
        << "1" + QString(1 << 20, QLatin1Char('x'))
        << "Nothing was pasted: assessment # 1\rError insertion of the date=>(1" +
               QString(39, QLatin1Char('x')) + "...)" + kDateExample;
    QTest::newRow("a megabyte of words") << QString(1 << 20, QLatin1Char('x'))
                                         << "Nothing was pasted: the clipboard holds no table.";
    QTest::newRow("NUL and other control characters")
        << QString::fromLatin1("\0\x01/7\t5", 6)
        << "Nothing was pasted: assessment # 1\rError insertion of the date=>(" +
               QString(2, QLatin1Char('?')) + "/7)" + kDateExample;
    QStringList thousand;
    for (int i = 0; i < 1000; ++i)
        thousand.append(QStringLiteral("1"));
    QTest::newRow("a thousand columns")
        << thousand.join(QLatin1Char('\t'))
        << "Nothing was pasted: the clipboard holds 1000 columns.\rPaste dates; dates and levels; "
           "or the number, the date and the level of each assessment.";
    QTest::newRow("forty thousand rows")
        << QStringLiteral("12/7\t5\n").repeated(40000)
        << "Nothing was pasted: the table would need 40000 assessments, and it holds at most "
           "32767.";
    QTest::newRow("five MiB of rows, a header and the period")
        << "Date\tLevel\n" + QStringLiteral("12/7\t5\n").repeated((5 << 20) / 7 + 1) +
               "Tuberization, days\t52\n"
        << "Nothing was pasted: the table would need 748983 assessments, and it holds at most "
           "32767.";
    QTest::newRow("five MiB in one row")
        << "12/7\t5" + QString(5 << 20, QLatin1Char(' '))
        << "Nothing was pasted: the clipboard holds more text than a table can hold.";
    QTest::newRow("nothing at all") << ""
                                    << "Nothing was pasted: the clipboard holds no table.";
}

void TestDataActions::hostileClipboard()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, message);

    MainWindowControls& ui = open();
    setItems(ui.sTx, {"05/06"});
    QGuiApplication::clipboard()->setText(clipboard);
    m_fixture.dialogs.acknowledge();
    menuOn(ui.sTx->viewport(), QStringLiteral("Paste table"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{messageLine(message)});
    QCOMPARE(items(ui.sTx), (QStringList{"05/06", " ", " "}));
    QCOMPARE(ui.sNx->text(), QStringLiteral("3"));
}

void TestDataActions::copyClearPasteGivesTheSameTable()
{
    MainWindowControls& ui = open();
    ui.sNx->setText(QStringLiteral("4"));
    setItems(ui.sTx, {"01/07", "11/07", " ", "21/07"});
    setItems(ui.sX, {"0", "1,5", " ", "a\tb"});
    menuOn(ui.sX->viewport(), QStringLiteral("Copy table"));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("Number of assessment\tAssessment dates (dd/mm)\tLevel of infection, "
                            "%\n1\t01/07\t0\n2\t11/07\t1,5\n3\t\t\n4\t21/07\t\"a\tb\"\n"
                            "Tuberization, days\t52\n"));

    script(m_fixture.dialogs, {"!yes"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Clear table"));
    QCOMPARE(items(ui.sTx), QStringList(4, " "));
    menuOn(ui.sTx->viewport(), QStringLiteral("Paste table"));
    QCOMPARE(items(ui.sTx), (QStringList{"01/07", "11/07", " ", "21/07"}));
    QCOMPARE(items(ui.sX), (QStringList{"0", "1,5", " ", "a\tb"}));
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
}

void TestDataActions::copyResults()
{
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    menuOn(ui.sPotEvro, QStringLiteral("Copy results"));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("Yield losses, %\t3.0\nAUDPC\t250\nTuberization, days\t84\n"));
}

void TestDataActions::clearAsksFirst()
{
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07"});
    script(m_fixture.dialogs, {"!no"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Clear table"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{confirmLine("Clear every date and level of the table? The number of "
                                     "assessments stays.")});
    QCOMPARE(items(ui.sTx), (QStringList{"01/07", " ", " "}));
}

void TestDataActions::resultsGoWithTheirTable_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("steps"); // "!file:" answers with a one-plot trial
    QTest::addColumn<bool>("blanked");

    QTest::newRow("Open") << "Open..."
                          << "" << QStringList{"!file:"} << true;
    QTest::newRow("Clear table") << "Clear table"
                                 << "" << QStringList{"!yes"} << true;
    QTest::newRow("Paste table") << "Paste table"
                                 << "12/7\t5\n"
                                 << QStringList() << true;
    QTest::newRow("a refused paste") << "Paste table"
                                     << "31/6\t5\n"
                                     << QStringList{"!ok"} << false;
    QTest::newRow("a cancelled clear") << "Clear table"
                                       << "" << QStringList{"!no"} << false;
}

void TestDataActions::resultsGoWithTheirTable()
{
    QFETCH(QString, entry);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, steps);
    QFETCH(bool, blanked);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("trial.csv"));
    QFile trial(path);
    QVERIFY(trial.open(QIODevice::WriteOnly));
    QVERIFY(trial.write("plot,date,level\nA,01/07,0\nA,11/07,20\n") > 0);
    QVERIFY(trial.flush());
    trial.close();

    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(ui.sWEvro->text(), QStringLiteral("250"));
    QGuiApplication::clipboard()->setText(clipboard);
    if (steps == QStringList{"!file:"})
        steps = QStringList{"!file:" + path};
    script(m_fixture.dialogs, steps);
    menuOn(ui.sTx->viewport(), entry);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), steps.size());
    QCOMPARE(ui.sPotEvro->text(), blanked ? QString() : QStringLiteral("4.8"));
    QCOMPARE(ui.sWEvro->text(), blanked ? QString() : QStringLiteral("250"));
}

void TestDataActions::saveWritesLevelsAsCalculateReadsThem()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("P.csv"));
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0,5", "12,75", "35 %"});
    script(m_fixture.dialogs, {"!file:" + path});
    menuOn(ui.sTx->viewport(), QStringLiteral("Save..."));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QStringList levels;
    const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1))
        levels.append(line.section(QLatin1Char(','), 2, 2));
    QCOMPARE(levels, (QStringList{"0.5", "12.75", "35"}));
}

void TestDataActions::menuOnTheTableAndTheResults_data()
{
    QTest::addColumn<QString>("over");
    for (const char* name : {"sNuch", "sTx", "sX", "sPotEvro", "sWEvro", "Label7"})
        QTest::newRow(name) << name;
}

// The right button opens the menu and never edits a row.
void TestDataActions::menuOnTheTableAndTheResults()
{
    QFETCH(QString, over);

    MainWindowControls& ui = open();
    QWidget* widget = control<QWidget>(*ui.sTx->window(), over.toLatin1().constData());
    if (auto* list = qobject_cast<ListBox*>(widget)) {
        auto entries = std::make_shared<QStringList>();
        QTimer::singleShot(0, [entries] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* action : menu->actions())
                    if (!action->isSeparator())
                        entries->append(action->text());
                menu->close();
            }
        });
        rightClickRow(list, 1);
        m_menuEntries = *entries;
    } else {
        menuOn(widget, QString());
    }
    QCOMPARE(m_menuEntries,
             (QStringList{"Paste table", "Copy table", "Copy results", "Open...", "Save...",
                          "Clear table", "Fill all dates...", "Fill all levels...", "Show curve"}));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestDataActions::shortcutsSkipTheNumberBoxes()
{
    MainWindowControls& ui = open();
    QApplication::setActiveWindow(ui.sTx->window());
    QVERIFY(QTest::qWaitForWindowActive(ui.sTx->window()));
    QGuiApplication::clipboard()->setText(QStringLiteral("12/7\t5\n"));

    ui.sNx->setFocus();
    QTest::keyClick(ui.sNx, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(items(ui.sTx), QStringList(3, " "));
    QCOMPARE(m_fixture.dialogs.takeBeeps(), 1);

    ui.sTx->setFocus();
    QTest::keyClick(ui.sTx, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(items(ui.sTx), (QStringList{"12/07", " ", " "}));
    QTest::keyClick(ui.sTx, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QGuiApplication::clipboard()->text().startsWith("Number of assessment"));
}

void TestDataActions::saveThenOpen_data()
{
    QTest::addColumn<QString>("option"); // clicked before saving, or empty
    QTest::addColumn<QString>("typed");  // then typed into the period box, or empty
    QTest::addColumn<QString>("column"); // what the file holds for the period
    QTest::addColumn<QString>("period");
    QTest::addColumn<QString>("checked");

    QTest::newRow("a maturity group") << "Spel6"
                                      << ""
                                      << "group\nP,01/07,0,Late"
                                      << "84"
                                      << "Spel6";
    QTest::newRow("a typed period") << ""
                                    << "70"
                                    << "period\nP,01/07,0,70"
                                    << "70"
                                    << "Spel3";
    QTest::newRow("a typed period equal to a group's") << ""
                                                       << "40"
                                                       << "period\nP,01/07,0,40"
                                                       << "40"
                                                       << "Spel1";
}

// What a saved plot holds, and that opening it in a new window gives the
// same table, period and option.
void TestDataActions::saveThenOpen()
{
    QFETCH(QString, option);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, period);
    QFETCH(QString, checked);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("P.csv"));
    MainWindowControls& ui = open();
    ui.sNx->setText(QStringLiteral("4"));
    setItems(ui.sTx, {"01/07", "11/07", " ", "21/07"});
    setItems(ui.sX, {"0", "1.5", " ", "30"});
    if (!option.isEmpty())
        QTest::mouseClick(control<QRadioButton>(*ui.sTx->window(), option.toLatin1()),
                          Qt::LeftButton);
    if (!typed.isEmpty())
        ui.sQ->setText(typed);
    script(m_fixture.dialogs, {"!file:" + path});
    menuOn(ui.sTx->viewport(), QStringLiteral("Save..."));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY2(QString::fromUtf8(saved.readAll()).startsWith("plot,date,level," + column),
             qPrintable(path));

    m_ui.reset();
    m_fixture.close();
    MainWindowControls& again = open();
    script(m_fixture.dialogs, {"!file:" + path});
    menuOn(again.sX->viewport(), QStringLiteral("Open..."));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{openFileLine("Open a plot")});
    QCOMPARE(items(again.sTx), (QStringList{"01/07", "11/07", "21/07"}));
    QCOMPARE(items(again.sX), (QStringList{"0", "1.5", "30"}));
    QCOMPARE(again.sNx->text(), QStringLiteral("3"));
    QCOMPARE(again.sQ->text(), period);
    QVERIFY(control<QRadioButton>(*again.sTx->window(), checked.toLatin1())->isChecked());
}

void TestDataActions::openChoosesAmongPlots()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("trial.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plot;date;level;group\nA;01/07;0;Early\nB;01/07;5,5;Late\nA;11/07;10;Early\n"
               "B;2026-07-11;12,5;Late\nB;21/7;20;Late\n");
    file.close();

    MainWindowControls& ui = open();
    script(m_fixture.dialogs, {"!pick:1"});
    dropFile(ui.sTx->window(), path);
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{chooseLine("Open a plot", "The file holds 2 plots.", {"A", "B"})});
    QCOMPARE(items(ui.sTx), (QStringList{"01/07", "11/07", "21/07"}));
    QCOMPARE(items(ui.sX), (QStringList{"5.5", "12.5", "20"}));
    QCOMPARE(ui.sQ->text(), QStringLiteral("84"));
    QVERIFY(ui.Spel(6)->isChecked());

    // Cancelling the choice leaves the window as it was.
    script(m_fixture.dialogs, {"!file:" + path});
    m_fixture.dialogs.pick(std::nullopt);
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    QCOMPARE(items(ui.sX), (QStringList{"5.5", "12.5", "20"}));
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 2);
}

void TestDataActions::openRefusesWhatTheWindowCannotHold_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // after "The file cannot be read: PATH"

    QTest::newRow("a date of no day") << QByteArray("plot,date,level\nA,01/07,1\nA,31/06,2\n")
                                      << ", line 3: Error insertion of the date=>(31/06) "
                                         "[Example: July 12 should be recorded as 12/7]";
    QTest::newRow("a level past 100")
        << QByteArray("plot,date,level\nA,01/07,101\n")
        << ", line 2: The damage level => ( 101 ) should be between 0 and 100%";
    QTest::newRow("a NUL for a level")
        << QByteArray("plot,date,level\nA,01/07,\0\n", 25)
        << ", line 2: The damage level => ( ? ) should be between 0 and 100%";
    // The period columns are read with the batch's words.
    QTest::newRow("an unknown group")
        << QByteArray("plot,date,level,group\nA,01/07,1,Very late\n")
        << ", line 2: The maturity group => ( Very late ) is none of First early, Early, "
           "Mid-early, Mid, Mid-late, Late";
    QTest::newRow("an unreadable budding date")
        << QByteArray("plot,date,level,budding,desiccation\nA,01/07,1,31/6,14/9\n")
        << ", line 2: Date input error =>(31/6)? [Example: June 12 should be recorded as 12/6 ]";
    QTest::newRow("a megabyte of one line") << QByteArray(1 << 20, 'x') << QString();
    QTest::newRow("forty thousand rows of one plot")
        << "plot,date,level\n" + QByteArray("A,01/07,1\n").repeated(40000)
        << ", line 32769: A number of assessments should be from 3 to 32767";
    QTest::newRow("no such file") << QByteArray() << QString();
    QByteArray thousand = "plot,date,level";
    QByteArray row = "A,01/07,5";
    for (int column = 4; column <= 1000; ++column) {
        thousand += ",c" + QByteArray::number(column);
        row += ",x";
    }
    // Columns the window has no use for are passed over.
    QTest::newRow("a thousand columns opens") << thousand + "\n" + row + "\n"
                                              << "opens";
}

void TestDataActions::openRefusesWhatTheWindowCannotHold()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("trial.csv"));
    if (content.isEmpty()) {
        path = folder.filePath(QStringLiteral("missing.csv"));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"05/06"});
    if (message == "opens") {
        script(m_fixture.dialogs, {"!file:" + path});
        menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
        QCOMPARE(items(ui.sTx), (QStringList{"01/07", " ", " "}));
        QCOMPARE(items(ui.sX), (QStringList{"5", " ", " "}));
        return;
    }
    script(m_fixture.dialogs, {"!file:" + path, "!ok"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    const QStringList transcript = m_fixture.dialogs.takeTranscript();
    QCOMPARE(transcript.size(), 2);
    const QString said = "message [The file cannot be read: " + path;
    QVERIFY2(transcript.at(1).startsWith(said), qPrintable(transcript.at(1)));
    if (!message.isEmpty())
        QCOMPARE(transcript.at(1), said + message + "]");
    QCOMPARE(items(ui.sTx), (QStringList{"05/06", " ", " "}));
    QCOMPARE(ui.sNx->text(), QStringLiteral("3"));
}

QTEST_MAIN(TestDataActions)
#include "tst_data_actions.moc"
