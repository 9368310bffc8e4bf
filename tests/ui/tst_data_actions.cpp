// The table to and from the clipboard and trial files, through the window's
// context menu and shortcuts: what lands where, what is refused and leaves
// the table as it was, and what a spreadsheet gets back.
#include "support/main_window_fixture.h"
#include "support/trial_files.h"
#include "ui/curve_window.h"
#include "ui/trial_window.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>

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

// The user goes to a plot of the Trial window: its row, then Enter.
void goToPlot(LossEng& window, int row)
{
    TrialWindow* trial = window.trialWindow();
    QVERIFY(trial);
    QTRY_VERIFY(!trial->reading());
    auto* plots = trial->findChild<QTableView*>(QStringLiteral("plots"));
    plots->setCurrentIndex(plots->model()->index(row, 0));
    QTest::keyClick(plots, Qt::Key_Return);
}

} // namespace

class TestDataActions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void paste_data();
    void paste();
    void hostileClipboard_data();
    void hostileClipboard();
    void copyClearPasteGivesTheSameTable_data();
    void copyClearPasteGivesTheSameTable();
    void copyResults_data();
    void copyResults();
    void clearAsksFirst();
    void resultsGoWithTheirTable_data();
    void resultsGoWithTheirTable();
    void saveWritesLevelsAsCalculateReadsThem();
    void saveFailureIsTold_data();
    void saveFailureIsTold();
    void menuOnTheTableAndTheResults_data();
    void menuOnTheTableAndTheResults();
    void shortcutsSkipTheNumberBoxes();
    void saveThenOpen_data();
    void saveThenOpen();
    void openListsEveryPlotOfTheFile_data();
    void openListsEveryPlotOfTheFile();
    void openedPlotKeepsItsNameYearAndColumns();
    void openRefusesWhatTheWindowCannotHold_data();
    void openRefusesWhatTheWindowCannotHold();

private:
    MainWindowControls& open();
    void menuOn(QWidget* over, const QString& entry);

    MainWindowFixture m_fixture;
    std::unique_ptr<MainWindowControls> m_ui;
    QStringList m_menuEntries;
};

void TestDataActions::initTestCase()
{
    RegisterCurveFactory(&MakeCurveWindow);
}

// Exports follow the desktop's decimal mark; rows that test it set theirs.
void TestDataActions::init()
{
    QLocale::setDefault(QLocale::c());
}

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
    QTest::newRow("ISO dates, as Copy table writes them")
        << "2024-07-12\t5\n2026-07-13\t6\n"
        << "sTx" << -1 << QStringList() << QStringList() << QStringList{"12/07", "13/07", " "}
        << QStringList{"5", "6", " "};
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

void TestDataActions::copyClearPasteGivesTheSameTable_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("levels"); // as typed
    QTest::addColumn<QString>("copied");     // the rows after the header
    QTest::addColumn<QStringList>("pasted"); // the levels after Clear and Paste

    QTest::newRow("decimal point desktop")
        << "en_US" << QStringList{"0", "1,5", " ", "=1+1"}
        << "1\t2026-07-01\t0\n2\t2026-07-11\t1.5\n3\t\t\n4\t2026-07-21\t'=1+1\n"
        << QStringList{"0", "1.5", " ", "=1+1"};
    QTest::newRow("decimal comma desktop")
        << "de_DE" << QStringList{"0", "1.5", " ", "a\tb"}
        << "1\t2026-07-01\t0\n2\t2026-07-11\t1,5\n3\t\t\n4\t2026-07-21\t\"a\tb\"\n"
        << QStringList{"0", "1,5", " ", "a\tb"};
    QTest::newRow("a signed number is no formula, a dash text is")
        << "en_US" << QStringList{"-0", "-x", " ", "@1"}
        << "1\t2026-07-01\t-0\n2\t2026-07-11\t'-x\n3\t\t\n4\t2026-07-21\t'@1\n"
        << QStringList{"-0", "-x", " ", "@1"};
}

void TestDataActions::copyClearPasteGivesTheSameTable()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, levels);
    QFETCH(QString, copied);
    QFETCH(QStringList, pasted);

    QLocale::setDefault(QLocale(locale));
    MainWindowControls& ui = open();
    ui.sNx->setText(QStringLiteral("4"));
    setItems(ui.sTx, {"01/07", "11/07", " ", "21/07"});
    setItems(ui.sX, levels);
    menuOn(ui.sX->viewport(), QStringLiteral("Copy table"));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             "Number of assessment\tAssessment dates\tLevel of infection, %\n" + copied +
                 "Tuberization, days\t52\n");

    script(m_fixture.dialogs, {"!yes"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Clear table"));
    QCOMPARE(items(ui.sTx), QStringList(4, " "));
    menuOn(ui.sTx->viewport(), QStringLiteral("Paste table"));
    QCOMPARE(items(ui.sTx), (QStringList{"01/07", "11/07", " ", "21/07"}));
    QCOMPARE(items(ui.sX), pasted);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
}

void TestDataActions::copyResults_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("losses");
    QTest::newRow("decimal point desktop") << "en_US"
                                           << "3.0";
    QTest::newRow("decimal comma desktop") << "de_DE"
                                           << "3,0";
}

void TestDataActions::copyResults()
{
    QFETCH(QString, locale);
    QFETCH(QString, losses);

    QLocale::setDefault(QLocale(locale));
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    menuOn(ui.sPotEvro, QStringLiteral("Copy results"));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             "Yield losses, %\t" + losses + "\nAUDPC\t250\nTuberization, days\t84\n");
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
    QVERIFY(writeFile(path, "plot,date,level\nA,01/07,0\nA,11/07,20\n"));

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

// A failed save leaves the earlier file as it was and says why. The failed
// sync row runs where a library that fails the first sync is preloaded (the
// test's own ctest entry).
void TestDataActions::saveFailureIsTold_data()
{
    QTest::addColumn<bool>("fillDisk");
    QTest::addColumn<int>("error");
    if (qEnvironmentVariableIsSet("QUARVEN_FAILING_SYNC"))
        QTest::newRow("a failed sync") << false << EIO;
    QTest::newRow("a full disk") << true << ENOSPC;
}

void TestDataActions::saveFailureIsTold()
{
    QFETCH(bool, fillDisk);
    QFETCH(int, error);

    QTemporaryDir folder;
    const QByteArray mountPoint = QFile::encodeName(folder.path());
    if (fillDisk && ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("cannot mount a small file system here");
    const auto unmount = qScopeGuard([&] {
        if (fillDisk)
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    const QString path = folder.filePath(QStringLiteral("P.csv"));
    QVERIFY(writeFile(path, "earlier\n"));
    if (fillDisk) {
        QFile filler(folder.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) > 0) {
        }
        const QByteArray byte(1, 'x');
        while (filler.write(byte) > 0) {
        }
    }

    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    script(m_fixture.dialogs, {"!file:" + path, "!ok"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Save..."));
    const QStringList transcript = m_fixture.dialogs.takeTranscript();
    QVERIFY(!transcript.isEmpty());
    QCOMPARE(
        transcript.last(),
        messageLine(
            QStringLiteral("The plot was not saved: %1: %2").arg(path, qt_error_string(error))));
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier\n"));
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

void TestDataActions::openListsEveryPlotOfTheFile_data()
{
    QTest::addColumn<QByteArray>("trial"); // empty for examples/trial-wide.csv
    QTest::addColumn<int>("row");          // in the Trial window
    QTest::addColumn<QString>("plot");
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QString>("period");
    QTest::addColumn<QStringList>("messages"); // after the choice

    const QStringList wideDates{"02/07", "09/07", "16/07", "23/07"};
    QTest::newRow("a computed plot")
        << QByteArray() << 1 << "102" << wideDates << QStringList{"0.5", "6", "25", "60"} << "51"
        << QStringList();
    // Loaded as written, for the user to mend, then told why the batch refused it.
    QTest::newRow("a refused plot")
        << QByteArray() << 3 << "104" << wideDates << QStringList{"0", "abc", "3", "4"} << "52"
        << QStringList{messageLine("The damage level => ( abc ) is not a number (line 5)")};
    QTest::newRow("long layout, dates written three ways, a maturity group")
        << QByteArray("plot;date;level;group\nA;01/07;0;Early\nB;01/07;5,5;Late\n"
                      "A;11/07;10;Early\nB;2026-07-11;12,5;Late\nB;21/7;20;Late\n")
        << 1 << "B" << QStringList{"01/07", "11/07", "21/07"} << QStringList{"5.5", "12.5", "20"}
        << "84" << QStringList();
}

// One refused plot no longer keeps the others of the file out; the chosen
// plot fills the table with its period, and the curve names it. Opening the
// trial again leaves the table as it was until a plot is chosen.
void TestDataActions::openListsEveryPlotOfTheFile()
{
    QFETCH(QByteArray, trial);
    QFETCH(int, row);
    QFETCH(QString, plot);
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(QString, period);
    QFETCH(QStringList, messages);

    QTemporaryDir folder;
    const QString path = trial.isEmpty() ? QStringLiteral(QUARVEN_EXAMPLES "/trial-wide.csv")
                                         : folder.filePath("t.csv");
    QVERIFY(trial.isEmpty() || writeFile(path, trial));
    MainWindowControls& ui = open();
    m_fixture.window().showCurve();
    const QStringList before = items(ui.sX);
    script(m_fixture.dialogs, {"!file:" + path});
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{openFileLine("Open a plot")});
    QCOMPARE(items(ui.sX), before);
    for (int i = 0; i < messages.size(); ++i)
        m_fixture.dialogs.acknowledge();
    goToPlot(m_fixture.window(), row);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), messages);
    QCOMPARE(items(ui.sTx), dates);
    QCOMPARE(items(ui.sX), levels);
    QCOMPARE(ui.sQ->text(), period);
    QCOMPARE(m_fixture.window().curveWindow()->windowTitle(),
             QStringLiteral("Disease progress curve: %1, site %2, plot %3")
                 .arg(QFileInfo(path).fileName(), QFileInfo(path).completeBaseName(), plot));

    script(m_fixture.dialogs, {"!file:" + path});
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    QCOMPARE(items(ui.sX), levels);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
}

// Copy and Save give back the year, the name and the copied columns the plot
// came with; Save proposes the plot's name in the trial's folder.
void TestDataActions::openedPlotKeepsItsNameYearAndColumns()
{
    QTemporaryDir folder;
    const QString trial = folder.filePath(QStringLiteral("trial.csv"));
    QVERIFY(writeFile(trial, "block,plot,clone,group,date,level\n1,=A,@G,Early,2024-07-02,0\n"
                             "2,B,H,Late,02/07,1\n1,=A,@G,Early,2024-07-12,5\n"));

    MainWindowControls& ui = open();
    script(m_fixture.dialogs, {"!file:" + trial});
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    goToPlot(m_fixture.window(), 0);
    QCOMPARE(m_fixture.dialogs.takeTranscript().size(), 1);
    menuOn(ui.sTx->viewport(), QStringLiteral("Copy table"));
    QVERIFY(
        QGuiApplication::clipboard()->text().contains("\n1\t2024-07-02\t0\n2\t2024-07-12\t5\n"));

    const QString saved = folder.filePath(QStringLiteral("saved.csv"));
    script(m_fixture.dialogs, {"!file:" + saved});
    menuOn(ui.sTx->viewport(), QStringLiteral("Save..."));
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             QStringList{saveFileLine("Save the plot", folder.filePath(QStringLiteral("=A.csv")))});
    QFile written(saved);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(written.readAll()),
             QStringLiteral("plot,block,clone,date,level,group\n'=A,1,'@G,2024-07-02,0,Early\n"
                            "'=A,1,'@G,2024-07-12,5,Early\n"));
}

void TestDataActions::openRefusesWhatTheWindowCannotHold_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("path");      // read instead of the content, when given
    QTest::addColumn<QString>("message");   // %1 the path
    QTest::addColumn<QStringList>("dates"); // loaded despite the message; empty: none

    const QString cannot = QStringLiteral("The file cannot be read: %1");
    // A plot the batch refuses is loaded as written, then its message shown.
    QTest::newRow("a date of no day")
        << QByteArray("plot,date,level\nA,01/07,1\nA,31/06,2\n") << QString()
        << "Error insertion of the date=>(31/06) [Example: July 12 should be recorded as 12/7] "
           "(line 3)"
        << QStringList{"01/07", "31/06", " "};
    QTest::newRow("a level past 100")
        << QByteArray("plot,date,level\nA,01/07,101\nA,11/07,1\n") << QString()
        << "The damage level => ( 101 ) should be between 0 and 100% (line 2)"
        << QStringList{"01/07", "11/07", " "};
    QTest::newRow("a NUL for a level")
        << QByteArray("plot,date,level\nA,01/07,\0\nA,11/07,1\n", 36) << QString()
        << "The damage level => ( \uFFFD ) is not a number (line 2)"
        << QStringList{"01/07", "11/07", " "};
    QTest::newRow("an unknown group")
        << QByteArray("plot,date,level,group\nA,01/07,1,Very late\nA,11/07,2,Very late\n")
        << QString()
        << "The maturity group => ( Very late ) is none of First early, Early, Mid-early, Mid, "
           "Mid-late, Late (line 2)"
        << QStringList{"01/07", "11/07", " "};
    QTest::newRow("an unreadable budding date")
        << QByteArray("plot,date,level,budding,desiccation\nA,01/07,1,31/6,14/9\nA,11/07,2,,\n")
        << QString()
        << "Date input error =>(31/6)? [Example: June 12 should be recorded as 12/6 ] (line 2)"
        << QStringList{"01/07", "11/07", " "};
    QTest::newRow("a megabyte of one line")
        << QByteArray(1 << 20, 'x') << QString() << QString() << QStringList();
    QTest::newRow("forty thousand rows of one plot")
        << "plot,date,level\n" + QByteArray("A,01/07,1\n").repeated(40000) << QString()
        << cannot + ", line 32769: A number of assessments should be from 3 to 32767"
        << QStringList();
    QTest::newRow("no such file") << QByteArray() << QString() << QString() << QStringList();
    // Opening a FIFO would wait for a writer for ever; a device may never end.
    QTest::newRow("a FIFO") << QByteArray() << "fifo" << cannot + ": it is not a regular file"
                            << QStringList();
    QTest::newRow("a device") << QByteArray() << "/dev/zero"
                              << cannot + ": it is not a regular file" << QStringList();
    // It claims a size of 0 and holds gigabytes.
    QTest::newRow("a file that claims no size")
        << QByteArray() << "/proc/self/pagemap"
        << cannot + ": it is too large for the window; quarven --batch reads it" << QStringList();
    QByteArray thousand = "plot,date,level";
    QByteArray row = "A,01/07,5";
    for (int column = 4; column <= 1000; ++column) {
        thousand += ",c" + QByteArray::number(column);
        row += ",x";
    }
    // Columns the window has no use for are passed over.
    QTest::newRow("a thousand columns opens")
        << thousand + "\n" + row + "\n"
        << QString() << "At least two assessments are needed; the plot has 1 (line 2)"
        << QStringList{"01/07", " ", " "};
}

void TestDataActions::openRefusesWhatTheWindowCannotHold()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(QStringList, dates);

    QTemporaryDir folder;
    if (path == QLatin1String("fifo")) {
        path = folder.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (path.isEmpty()) {
        path = folder.filePath(content.isEmpty() ? QStringLiteral("missing.csv")
                                                 : QStringLiteral("trial.csv"));
        QVERIFY(content.isEmpty() || writeFile(path, content));
    }
    MainWindowControls& ui = open();
    setItems(ui.sTx, {"05/06"});
    script(m_fixture.dialogs, {"!file:" + path, "!ok"});
    menuOn(ui.sTx->viewport(), QStringLiteral("Open..."));
    const QStringList transcript = m_fixture.dialogs.takeTranscript();
    QCOMPARE(transcript.size(), 2);
    if (!dates.isEmpty()) {
        QCOMPARE(transcript.at(1), messageLine(message));
        QCOMPARE(items(ui.sTx), dates);
        return;
    }
    const QString said = "message [The file cannot be read: " + path;
    QVERIFY2(transcript.at(1).startsWith(said), qPrintable(transcript.at(1)));
    if (!message.isEmpty())
        QCOMPARE(transcript.at(1), messageLine(message.arg(path)));
    QCOMPARE(items(ui.sTx), (QStringList{"05/06", " ", " "}));
    QCOMPARE(ui.sNx->text(), QStringLiteral("3"));
}

QTEST_MAIN(TestDataActions)
#include "tst_data_actions.moc"
