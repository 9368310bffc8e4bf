// Filling the assessment table: the prompts behind a row click, the two
// column-filling labels, and the count box with its key filter.
#include "support/main_window_fixture.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

enum ClickTarget { NumberColumn, DateColumn, LevelColumn };

const PromptPosition kDateAt{200, 3000};
const PromptPosition kLevelAt{3000, 3000};

QString dateTitle(int assessment)
{
    return QStringLiteral("Insert the date of  %1 assessment (dd/mm)?").arg(assessment);
}

QString levelTitle(int assessment)
{
    return QStringLiteral("Insert a level of  %1 damage, % ?").arg(assessment);
}

QString datePrompt(int assessment, const QString& defaultAnswer)
{
    return promptLine(dateTitle(assessment), "Example: July 12 should be recorded as 12/7 ",
                      defaultAnswer, kDateAt);
}

QString levelPrompt(int assessment, const QString& defaultAnswer)
{
    return promptLine(levelTitle(assessment), "Example: 1.2 ", defaultAnswer, kLevelAt);
}

QString dateRejected(const QString& answer)
{
    return messageLine("Error insertion of the date=>(" + answer +
                       ") [Example: July 12 should be recorded as 12/7]");
}

QString levelRejected(const QString& answer)
{
    return messageLine("The damage level => ( " + answer + " ) should be between 0 and 100%");
}

QString countPrompt(const QString& defaultAnswer)
{
    return promptLine("a number of assessments should be > 2",
                      "Insert a number of assessments of the foliage damage", defaultAnswer);
}

const QString kTooMany = messageLine("A number of assessments should be from 3 to 32767");

// U+2068 ... U+2069 around a quoted answer.
QString isolated(const QString& answer)
{
    return QChar(0x2068) + answer + QChar(0x2069);
}

} // namespace

class TestTableEntry : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void rowClick_data();
    void rowClick();
    void columnFill_data();
    void columnFill();
    void programChangesOpenNoPrompt();
    void arrowKeyEditsTheNewRow();
    void firstArrowSelectsTheCurrentRow_data();
    void firstArrowSelectsTheCurrentRow();
    void keysEditTheSelectedRow_data();
    void keysEditTheSelectedRow();
    void deselectingRaisesNothing();
    void countTyped_data();
    void countTyped();
    void countChangeKeepsTheRows_data();
    void countChangeKeepsTheRows();
    void x11KeyTexts_data();
    void x11KeyTexts();
    void countAnswered_data();
    void countAnswered();
    void countPastSixteenBitsKeepsTheTable();
    void numberBoxesTakeOnlyTypedDigits_data();
    void numberBoxesTakeOnlyTypedDigits();

private:
    MainWindowFixture m_fixture;
};

void TestTableEntry::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_fixture.close();
}

void TestTableEntry::rowClick_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("date"); // the row's cells before the click
    QTest::addColumn<QString>("level");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("dateAfter");
    QTest::addColumn<QString>("levelAfter");

    const int year = kCommonYear;
    QTest::newRow("date then blank level, level cancelled")
        << year << int(DateColumn) << " "
        << " " << QStringList{"12/7", "!cancel"}
        << QStringList{datePrompt(2, " "), levelPrompt(2, " ")} << "12/07"
        << " ";
    QTest::newRow("date with a level already there")
        << year << int(DateColumn) << "01/07"
        << "4" << QStringList{"2/7"} << QStringList{datePrompt(2, "01/07")} << "02/07"
        << "4";
    QTest::newRow("level then blank date, date cancelled")
        << year << int(LevelColumn) << " "
        << " " << QStringList{"5", "!cancel"}
        << QStringList{levelPrompt(2, " "), datePrompt(2, " ")} << " "
        << "5";
    QTest::newRow("level with a date already there")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"6"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << "6";
    QTest::newRow("number asks both even when filled")
        << year << int(NumberColumn) << "01/07"
        << "4" << QStringList{"12/7/2025", "7"}
        << QStringList{datePrompt(2, "01/07"), levelPrompt(2, "4")} << "12/07"
        << "7";
    QTest::newRow("number, date cancelled ends it")
        << year << int(NumberColumn) << "01/07"
        << "4" << QStringList{"!cancel"} << QStringList{datePrompt(2, "01/07")} << "01/07"
        << "4";
    QTest::newRow("number, level cancelled keeps the new date")
        << year << int(NumberColumn) << "01/07"
        << "4" << QStringList{"3/7", "!cancel"}
        << QStringList{datePrompt(2, "01/07"), levelPrompt(2, "4")} << "03/07"
        << "4";
    QTest::newRow("blank date confirmed is refused")
        << year << int(DateColumn) << " "
        << "4" << QStringList{" ", "!ok", "!cancel"}
        << QStringList{datePrompt(2, " "), dateRejected(" "), datePrompt(2, " ")} << " "
        << "4";
    QTest::newRow("blank level confirmed is accepted")
        << year << int(LevelColumn) << "01/07"
        << " " << QStringList{" "} << QStringList{levelPrompt(2, " ")} << "01/07"
        << " ";
    QTest::newRow("levels outside 0..100 refused, bounds accepted")
        << year << int(LevelColumn) << "01/07"
        << " " << QStringList{"-0.5", "!ok", "100.5", "!ok", "100"}
        << QStringList{levelPrompt(2, " "), levelRejected("-0.5"), levelPrompt(2, " "),
                       levelRejected("100.5"), levelPrompt(2, " ")}
        << "01/07"
        << "100";
    QTest::newRow("level zero accepted")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"0"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << "0";
    QTest::newRow("level without a number kept as typed")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"abc"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << "abc";
    QTest::newRow("level with a comma kept as typed")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"1,5"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << "1,5";
    QTest::newRow("level with a decimal comma past 100 refused")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"100,5", "!ok", "99,5"}
        << QStringList{levelPrompt(2, "4"), levelRejected("100,5"), levelPrompt(2, "4")} << "01/07"
        << "99,5";
    QTest::newRow("leap day refused in a common year")
        << year << int(DateColumn) << " "
        << "4" << QStringList{"29/2/2024", "!ok", "!cancel"}
        << QStringList{datePrompt(2, " "), dateRejected("29/2/2024"), datePrompt(2, " ")} << " "
        << "4";
    QTest::newRow("leap day accepted in a leap year")
        << kLeapYear << int(DateColumn) << " "
        << "4" << QStringList{"29/2"} << QStringList{datePrompt(2, " ")} << "29/02"
        << "4";
    QTest::newRow("rejected answer shown verbatim, not as markup")
        << year << int(DateColumn) << " "
        << "4" << QStringList{"<b>31/6</b>", "!ok", "!cancel"}
        << QStringList{datePrompt(2, " "), dateRejected("<b>31/6</b>"), datePrompt(2, " ")} << " "
        << "4";
    // Answers from other keyboards and from copied spreadsheet cells.
    QTest::newRow("full-width digits stored as ASCII")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{QString::fromUtf8("\uFF15\uFF10")} << QStringList{levelPrompt(2, "4")}
        << "01/07"
        << "50";
    QTest::newRow("Arabic-Indic digits stored as ASCII")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{QString::fromUtf8("\u0665\u0660.\u0665")}
        << QStringList{levelPrompt(2, "4")} << "01/07"
        << "50.5";
    QTest::newRow("full-width date") << year << int(DateColumn) << " "
                                     << "4" << QStringList{QString::fromUtf8("\uFF11\uFF12/\uFF17")}
                                     << QStringList{datePrompt(2, " ")} << "12/07"
                                     << "4";
    QTest::newRow("date copied with CR LF")
        << year << int(DateColumn) << " "
        << "4" << QStringList{"12/7\r\n"} << QStringList{datePrompt(2, " ")} << "12/07"
        << "4";
    QTest::newRow("date copied with LF")
        << year << int(DateColumn) << " "
        << "4" << QStringList{"12/7\n"} << QStringList{datePrompt(2, " ")} << "12/07"
        << "4";
    QTest::newRow("level copied with CR LF")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"35\r\n"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << "35";
    QTest::newRow("tabs at the ends dropped, blanks kept")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{"\t 35 \t"} << QStringList{levelPrompt(2, "4")} << "01/07"
        << " 35 ";
    const QString override = QString::fromUtf8("\u202E7/21");
    QTest::newRow("a right-to-left override cannot reorder the message")
        << year << int(DateColumn) << " "
        << "4" << QStringList{override, "!ok", "!cancel"}
        << QStringList{datePrompt(2, " "), dateRejected(isolated(override)), datePrompt(2, " ")}
        << " "
        << "4";
    QTest::newRow("a level in another script is quoted isolated")
        << year << int(LevelColumn) << "01/07"
        << "4" << QStringList{QString::fromUtf8("\u0661\u0660\u0661"), "!ok", "!cancel"}
        << QStringList{levelPrompt(2, "4"), levelRejected("101"), levelPrompt(2, "4")} << "01/07"
        << "4";
}

void TestTableEntry::rowClick()
{
    QFETCH(int, year);
    QFETCH(int, target);
    QFETCH(QString, date);
    QFETCH(QString, level);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, dateAfter);
    QFETCH(QString, levelAfter);

    LossEng& window = m_fixture.open(year);
    const MainWindowControls ui(window);
    setItems(ui.sTx, {" ", date, " "});
    setItems(ui.sX, {" ", level, " "});
    script(m_fixture.dialogs, steps);
    ListBox* lists[] = {ui.sNuch, ui.sTx, ui.sX};
    clickRow(lists[target], 1);

    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(items(ui.sTx), (QStringList{" ", dateAfter, " "}));
    QCOMPARE(items(ui.sX), (QStringList{" ", levelAfter, " "}));
    QCOMPARE(items(ui.sNuch), (QStringList{"1", "2", "3"}));
}

void TestTableEntry::columnFill_data()
{
    QTest::addColumn<bool>("dates");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QStringList>("column");

    const QStringList old{"01/05", "02/05", "03/05", "04/05", "05/05"};
    QTest::newRow("dates, cancelled at the third")
        << true << "5" << QStringList{"1/7", "2/7", "!cancel"}
        << QStringList{datePrompt(1, "01/05"), datePrompt(2, "02/05"), datePrompt(3, "03/05")}
        << QStringList{"01/07", "02/07", "03/05", "04/05", "05/05"};
    QTest::newRow("dates, a refused answer asked again")
        << true << "5" << QStringList{"31/6", "!ok", "!cancel"}
        << QStringList{datePrompt(1, "01/05"), dateRejected("31/6"), datePrompt(1, "01/05")} << old;
    QTest::newRow("levels, all five")
        << false << "5" << QStringList{"1", "2", "3", "4", "5"}
        << QStringList{levelPrompt(1, "01/05"), levelPrompt(2, "02/05"), levelPrompt(3, "03/05"),
                       levelPrompt(4, "04/05"), levelPrompt(5, "05/05")}
        << QStringList{"1", "2", "3", "4", "5"};
    QTest::newRow("levels, cancelled at the third")
        << false << "5" << QStringList{"1", "2", "!cancel"}
        << QStringList{levelPrompt(1, "01/05"), levelPrompt(2, "02/05"), levelPrompt(3, "03/05")}
        << QStringList{"1", "2", "03/05", "04/05", "05/05"};
}

void TestTableEntry::columnFill()
{
    QFETCH(bool, dates);
    QFETCH(QString, count);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QStringList, column);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sNx->setText(count);
    // Old texts in the filled column show which rows the action replaced.
    QListWidget* filled = dates ? static_cast<QListWidget*>(ui.sTx) : ui.sX;
    setItems(filled, {"01/05", "02/05", "03/05", "04/05", "05/05"});
    script(m_fixture.dialogs, steps);
    QTest::mouseClick(dates ? ui.Alluch : ui.AllsX, Qt::LeftButton);

    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(items(filled), column);
    QListWidget* other = dates ? static_cast<QListWidget*>(ui.sX) : ui.sTx;
    QCOMPARE(items(other), QStringList(5, " "));
}

void TestTableEntry::programChangesOpenNoPrompt()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    // Focus makes row 0 current, and a rebuild clears the lists: neither is
    // the user's click.
    ui.sTx->setFocus();
    QTest::keyClick(ui.sX, Qt::Key_Tab);
    ui.sNx->setText(QStringLiteral("4"));
    QCOMPARE(ui.sTx->count(), 4);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestTableEntry::arrowKeyEditsTheNewRow()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    m_fixture.dialogs.answer(QStringLiteral("1/7")).cancel();
    clickRow(ui.sTx, 0);
    m_fixture.dialogs.answer(QStringLiteral("2/7")).cancel();
    QTest::keyClick(ui.sTx, Qt::Key_Down);
    QCOMPARE(m_fixture.dialogs.takeTranscript(),
             (QStringList{datePrompt(1, " "), levelPrompt(1, " "), datePrompt(2, " "),
                          levelPrompt(2, " ")}));
    QCOMPARE(items(ui.sTx), (QStringList{"01/07", "02/07", " "}));

    // The same row clicked again is edited again.
    m_fixture.dialogs.cancel();
    clickRow(ui.sTx, 1);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{datePrompt(2, "02/07")});
}

void TestTableEntry::firstArrowSelectsTheCurrentRow_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::newRow("arrow") << int(Qt::NoModifier);
    // With NumLock off the keypad's 2 is an arrow carrying the keypad flag.
    QTest::newRow("keypad arrow") << int(Qt::KeypadModifier);
}

void TestTableEntry::firstArrowSelectsTheCurrentRow()
{
    QFETCH(int, modifiers);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(ui.sNuch, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), ui.sTx);
    QCOMPARE(ui.sTx->selectedRow(), -1);
    m_fixture.dialogs.cancel();
    QTest::keyClick(ui.sTx, Qt::Key_Down, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{datePrompt(1, " ")});
    QCOMPARE(ui.sTx->selectedRow(), 0);
}

void TestTableEntry::keysEditTheSelectedRow_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("selected"); // whether row 2 is selected first
    QTest::addColumn<QStringList>("transcript");

    const QStringList editsRowTwo{datePrompt(2, " ")};
    QTest::newRow("Return") << int(Qt::Key_Return) << 0 << true << editsRowTwo;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true
                                  << editsRowTwo;
    QTest::newRow("Space") << int(Qt::Key_Space) << 0 << true << editsRowTwo;
    QTest::newRow("F2") << int(Qt::Key_F2) << 0 << true << editsRowTwo;
    QTest::newRow("Return with no row selected")
        << int(Qt::Key_Return) << 0 << false << QStringList();
    QTest::newRow("F2 with no row selected") << int(Qt::Key_F2) << 0 << false << QStringList();
}

void TestTableEntry::keysEditTheSelectedRow()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, selected);
    QFETCH(QStringList, transcript);

    LossEng& window = m_fixture.open();
    auto* sTx = control<ListBox>(window, "sTx");
    if (selected) {
        m_fixture.dialogs.cancel();
        clickRow(sTx, 1);
        QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{datePrompt(2, " ")});
    }
    script(m_fixture.dialogs, QStringList(transcript.size(), QStringLiteral("!cancel")));
    QTest::keyClick(sTx, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
}

void TestTableEntry::deselectingRaisesNothing()
{
    LossEng& window = m_fixture.open();
    auto* sX = control<ListBox>(window, "sX");
    m_fixture.dialogs.cancel();
    clickRow(sX, 0);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{levelPrompt(1, " ")});
    const QRect row = sX->visualItemRect(sX->item(0));
    QTest::mouseClick(sX->viewport(), Qt::LeftButton, Qt::ControlModifier, row.center());
    QCOMPARE(sX->selectedRow(), -1);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestTableEntry::countTyped_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("keys"); // key sequences, pressed in order
    QTest::addColumn<QString>("typed");    // then typed as text
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("beeps");

    const QStringList selectAll{"Home", "Shift+End"};
    QTest::newRow("five") << "3" << selectAll << "5" << QStringList() << QStringList() << "5" << 5
                          << 0;
    QTest::newRow("overtyping with 1 asks at once")
        << "3" << selectAll << "1" << QStringList{"12"} << QStringList{countPrompt("1")} << "12"
        << 12 << 0;
    QTest::newRow("deleted count, cancel asks again")
        << "3" << (selectAll + QStringList{"Del"}) << "" << QStringList{"!cancel", "4"}
        << QStringList{countPrompt(""), countPrompt("")} << "4" << 4 << 0;
    QTest::newRow("leading zero keeps the table")
        << "3" << QStringList{"Home"} << "0" << QStringList() << QStringList() << "03" << 3 << 0;
    QTest::newRow("backspace beeps and changes nothing")
        << "3" << QStringList{"End", "Backspace"} << "" << QStringList() << QStringList() << "3"
        << 3 << 1;
    QTest::newRow("enter beeps") << "3" << QStringList{"Return"} << "" << QStringList()
                                 << QStringList() << "3" << 3 << 1;
    QTest::newRow("letters, signs and points beep")
        << "3" << QStringList{"End"} << "a-.,+ " << QStringList() << QStringList() << "3" << 3 << 6;
}

void TestTableEntry::countTyped()
{
    QFETCH(QString, start);
    QFETCH(QStringList, keys);
    QFETCH(QString, typed);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, text);
    QFETCH(int, rows);
    QFETCH(int, beeps);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    setItems(ui.sTx, {"01/07"});
    script(m_fixture.dialogs, steps);
    ui.sNx->setFocus();
    pressKeys(ui.sNx, keys);
    QTest::keyClicks(ui.sNx, typed);

    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(m_fixture.dialogs.takeBeeps(), beeps);
    QCOMPARE(ui.sNx->text(), text);
    QCOMPARE(ui.sNuch->count(), rows);
    QCOMPARE(ui.sTx->item(0)->text(), QStringLiteral("01/07"));
}

void TestTableEntry::countChangeKeepsTheRows_data()
{
    QTest::addColumn<QStringList>("keys"); // pressed in the count box "4", then
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<bool>("untouched");

    const QStringList selectAll{"Home", "Shift+End"};
    QTest::newRow("more rows keep every row")
        << selectAll << "6" << QStringList{"01/07", "11/07", "21/07", "31/07", " ", " "}
        << QStringList{"0", "10", "30", "40", " ", " "} << false;
    QTest::newRow("fewer rows drop the last ones")
        << selectAll << "3" << QStringList{"01/07", "11/07", "21/07"}
        << QStringList{"0", "10", "30"} << false;
    QTest::newRow("the same count changes nothing")
        << QStringList{"Home"} << "0" << QStringList{"01/07", "11/07", "21/07", "31/07"}
        << QStringList{"0", "10", "30", "40"} << true;
}

void TestTableEntry::countChangeKeepsTheRows()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, typed);
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(bool, untouched);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sNx->setText(QStringLiteral("4"));
    setItems(ui.sTx, {"01/07", "11/07", "21/07", "31/07"});
    setItems(ui.sX, {"0", "10", "30", "40"});
    ui.sTx->setCurrentRow(1);
    ui.sNx->setFocus();
    pressKeys(ui.sNx, keys);
    QTest::keyClicks(ui.sNx, typed);

    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
    QCOMPARE(items(ui.sTx), dates);
    QCOMPARE(items(ui.sX), levels);
    QCOMPARE(items(ui.sNuch).size(), dates.size());
    QCOMPARE(items(ui.sNuch).constLast(), QString::number(dates.size()));
    QCOMPARE(ui.sTx->selectedRow() == 1, untouched);
}

void TestTableEntry::x11KeyTexts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("beeps");

    // A real keyboard gives these texts, unlike QTest's synthesised keys.
    QTest::newRow("Delete carries DEL") << int(Qt::Key_Delete) << 0 << "\x7f"
                                        << "5" << 0;
    QTest::newRow("Ctrl+A carries SOH") << int(Qt::Key_A) << int(Qt::ControlModifier) << "\x01"
                                        << "54" << 1;
    QTest::newRow("Backspace carries BS") << int(Qt::Key_Backspace) << 0 << "\b"
                                          << "54" << 1;
    QTest::newRow("keypad digit") << int(Qt::Key_7) << int(Qt::KeypadModifier) << "7"
                                  << "574" << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << "\x1b"
                            << "54" << 1;
}

void TestTableEntry::x11KeyTexts()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(int, beeps);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sNx->setText(QStringLiteral("54"));
    ui.sNx->setFocus();
    ui.sNx->setCursorPosition(1);
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(ui.sNx, &press);
    QCOMPARE(ui.sNx->text(), after);
    QCOMPARE(m_fixture.dialogs.takeBeeps(), beeps);
    QVERIFY(!ui.sNx->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!ui.sQ->testAttribute(Qt::WA_InputMethodEnabled));
}

void TestTableEntry::countAnswered_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("transcript");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rows");

    QTest::newRow("2.5 reads as 2 and is refused, 2.6 as 3")
        << QStringList{"2.5", "2.6"} << QStringList{countPrompt("1"), countPrompt("2.5")} << "2.6"
        << 3;
    QTest::newRow("past 32767 refused, asked again")
        << QStringList{"40000", "!ok", "6"}
        << QStringList{countPrompt("1"), kTooMany, countPrompt("1")} << "6" << 6;
    QTest::newRow("far below 16 bits refused, the message names the range")
        << QStringList{"-40000", "!ok", "3"}
        << QStringList{countPrompt("1"), kTooMany, countPrompt("1")} << "3" << 3;
    QTest::newRow("far past a double refused")
        << QStringList{"1e400", "!ok", "3"}
        << QStringList{countPrompt("1"), kTooMany, countPrompt("1")} << "3" << 3;
}

void TestTableEntry::countAnswered()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, transcript);
    QFETCH(QString, text);
    QFETCH(int, rows);

    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    script(m_fixture.dialogs, steps);
    ui.sNx->selectAll();
    QTest::keyClicks(ui.sNx, QStringLiteral("1"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), transcript);
    QCOMPARE(ui.sNx->text(), text);
    QCOMPARE(ui.sNuch->count(), rows);
    QCOMPARE(ui.sX->count(), rows);
}

void TestTableEntry::countPastSixteenBitsKeepsTheTable()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    ui.sNx->setText(QStringLiteral("4000"));
    setItems(ui.sTx, {"01/07"});
    m_fixture.dialogs.acknowledge();
    ui.sNx->end(false);
    QTest::keyClicks(ui.sNx, QStringLiteral("0"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList{kTooMany});
    QCOMPARE(ui.sNx->text(), QStringLiteral("4000"));
    QCOMPARE(ui.sTx->count(), 4000);
    QCOMPARE(ui.sTx->item(0)->text(), QStringLiteral("01/07"));
}

void TestTableEntry::numberBoxesTakeOnlyTypedDigits_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("beeps");

    for (const char* box : {"sNx", "sQ"}) {
        const auto row = [&](const char* gesture, int beeps) {
            QTest::addRow("%s, %s", box, gesture) << box << gesture << beeps;
        };
        for (const char* chord : {"Ctrl+Z", "Ctrl+Y", "Ctrl+X", "Ctrl+V", "Ctrl+A", "Shift+Ins",
                                  "Shift+Del", "Ctrl+Backspace", "Meta+F"})
            row(chord, 1);
        row("Alt+F", 1);
        row("Alt+Shift+F", 1);
        row("Alt+minus", 1);
        row("context menu", 0);
        row("middle-click paste", 0);
        row("drop", 0);
    }
}

// Chords, the box's menu, the X11 selection and drops would each change the
// text, and with it rebuild the table or reset the period.
void TestTableEntry::numberBoxesTakeOnlyTypedDigits()
{
    QFETCH(QString, box);
    QFETCH(QString, gesture);
    QFETCH(int, beeps);

    LossEng& window = m_fixture.open();
    auto* edit = control<QLineEdit>(window, box.toLatin1().constData());
    auto* sTx = control<ListBox>(window, "sTx");
    auto* sX = control<ListBox>(window, "sX");
    // A mouse click needs no active window, which Xvfb without a window
    // manager never gives: the middle-click row runs there too.
    if (gesture != "middle-click paste") {
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("7abc"));

    // Five rows typed into the count, the second filled; a period of 60.
    auto* sNx = control<QLineEdit>(window, "sNx");
    sNx->setFocus();
    pressKeys(sNx, {"Home", "Shift+End"});
    QTest::keyClicks(sNx, QStringLiteral("5"));
    auto* sQ = control<QLineEdit>(window, "sQ");
    sQ->setText(QStringLiteral("60"));
    setItems(sTx, {" ", "01/07"});
    setItems(sX, {" ", "12"});
    const QString before = edit->text();
    edit->setFocus();
    edit->setCursorPosition(1);

    if (gesture == "context menu") {
        const QPoint centre = edit->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, centre, edit->mapToGlobal(centre));
        QApplication::sendEvent(edit, &menu);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    } else if (gesture == "middle-click paste") {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection())
            QSKIP("this platform has no X11 selection to paste");
        clipboard->setText(QStringLiteral("7abc"), QClipboard::Selection);
        QTest::mouseClick(edit, Qt::MiddleButton, {}, edit->rect().center());
    } else if (gesture == "drop") {
        QMimeData data;
        data.setText(QStringLiteral("7abc"));
        const QPointF centre = edit->rect().center();
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &enter);
        QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(edit, &drop);
    } else if (gesture == "Alt+minus") {
        QTest::keyClick(edit, Qt::Key_Minus, Qt::AltModifier);
    } else if (gesture.startsWith("Alt+")) {
        // Some desktops deliver Alt+letter to the box with the letter as text.
        const Qt::KeyboardModifiers shift =
            gesture.contains("Shift") ? Qt::ShiftModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier | shift,
                        shift ? QStringLiteral("F") : QStringLiteral("f"));
        QApplication::sendEvent(edit, &press);
    } else {
        pressKeys(edit, {gesture});
    }

    QCOMPARE(edit->text(), before);
    QCOMPARE(m_fixture.dialogs.takeBeeps(), beeps);
    QCOMPARE(sNx->text(), QStringLiteral("5"));
    QCOMPARE(sQ->text(), QStringLiteral("60"));
    QCOMPARE(sTx->count(), 5);
    QCOMPARE(items(sTx).mid(0, 2), (QStringList{" ", "01/07"}));
    QCOMPARE(items(sX).mid(0, 2), (QStringList{" ", "12"}));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

QTEST_MAIN(TestTableEntry)
#include "tst_table_entry.moc"
