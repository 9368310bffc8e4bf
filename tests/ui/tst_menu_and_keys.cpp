// The main window's context menu as a screen reader and the keyboard reach
// it, and the shortcuts of the two result boxes.
#include "support/main_window_fixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

const QStringList kEntries{"Paste table", "Copy table",  "Copy results",      "Open...",
                           "Save...",     "Clear table", "Fill all dates...", "Fill all levels...",
                           "Show curve"};

// The entries a screen reader finds in the menu that the gesture opens, read
// through the accessibility interface; an entry it cannot reach reads "?".
QStringList spokenMenu(const std::function<void()>& gesture)
{
    auto names = std::make_shared<QStringList>();
    QTimer::singleShot(0, [names] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; reader && i < reader->childCount(); ++i) {
            QAccessibleInterface* item = reader->child(i);
            if (!item || !item->isValid() || item->parent() != reader)
                names->append(QStringLiteral("?"));
            else if (item->role() != QAccessible::Separator)
                names->append(item->text(QAccessible::Name));
        }
        menu->close();
    });
    gesture();
    // A gesture that opened no menu leaves the timer to run here.
    QCoreApplication::processEvents();
    return *names;
}

} // namespace

class TestMenuAndKeys : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void menuReachedAndReadAtEveryOpening_data();
    void menuReachedAndReadAtEveryOpening();
    void resultBoxShortcuts_data();
    void resultBoxShortcuts();

private:
    MainWindowControls& open();

    MainWindowFixture m_fixture;
    std::unique_ptr<MainWindowControls> m_ui;
};

void TestMenuAndKeys::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_ui.reset();
    m_fixture.close();
}

MainWindowControls& TestMenuAndKeys::open()
{
    LossEng& window = m_fixture.open();
    m_ui = std::make_unique<MainWindowControls>(window);
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        qFatal("The main window did not become active");
    return *m_ui;
}

void TestMenuAndKeys::menuReachedAndReadAtEveryOpening_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("shiftF10"); // else the right button
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("right button on a list") << "sTx" << false << kEntries;
    QTest::newRow("Shift+F10 on a list") << "sTx" << true << kEntries;
    QTest::newRow("Shift+F10 on a result box") << "sWEvro" << true << kEntries;
    // As with the Menu key, the number boxes have no menu.
    QTest::newRow("Shift+F10 on the count box") << "sNx" << true << QStringList();
}

void TestMenuAndKeys::menuReachedAndReadAtEveryOpening()
{
    QFETCH(QString, focus);
    QFETCH(bool, shiftF10);
    QFETCH(QStringList, entries);

    MainWindowControls& ui = open();
    auto* focused = control<QWidget>(*ui.sTx->window(), focus.toLatin1().constData());
    focused->setFocus();
    const auto gesture = [focused, shiftF10] {
        if (shiftF10) {
            // Offscreen, a closed menu does not give the activation back.
            QApplication::setActiveWindow(focused->window());
            QTest::keyClick(focused, Qt::Key_F10, Qt::ShiftModifier);
            return;
        }
        // The right button's rows are on lists.
        QWidget* viewport = qobject_cast<ListBox*>(focused)->viewport();
        const QPoint at = viewport->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
    };
    QCOMPARE(spokenMenu(gesture), entries);
    QCOMPARE(spokenMenu(gesture), entries);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
    QCOMPARE(m_fixture.dialogs.takeBeeps(), 0);
}

void TestMenuAndKeys::resultBoxShortcuts_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("selected"); // the box's text selected first
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("firstDate");

    // Copy results writes the desktop's decimal mark.
    const QString results = QStringLiteral("Yield losses, %\t4") + QLocale().decimalPoint() +
                            QStringLiteral("8\nAUDPC\t250\nTuberization, days\t52\n");
    QTest::newRow("Ctrl+C with nothing selected copies the results")
        << "sPotEvro" << false << int(Qt::Key_C) << results << "01/07";
    QTest::newRow("Ctrl+C in the AUDPC box too")
        << "sWEvro" << false << int(Qt::Key_C) << results << "01/07";
    QTest::newRow("Ctrl+C copies the selected text") << "sWEvro" << true << int(Qt::Key_C) << "250"
                                                     << "01/07";
    QTest::newRow("Ctrl+V pastes the table") << "sPotEvro" << false << int(Qt::Key_V) << "12/7\t5\n"
                                             << "12/07";
}

void TestMenuAndKeys::resultBoxShortcuts()
{
    QFETCH(QString, box);
    QFETCH(bool, selected);
    QFETCH(int, key);
    QFETCH(QString, clipboard);
    QFETCH(QString, firstDate);

    MainWindowControls& ui = open();
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QGuiApplication::clipboard()->setText(key == Qt::Key_V ? clipboard : QStringLiteral("before"));
    auto* result = control<QLineEdit>(*ui.sTx->window(), box.toLatin1().constData());
    result->setFocus();
    if (selected)
        result->selectAll();
    QTest::keyClick(result, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    QCOMPARE(ui.sTx->item(0)->text(), firstDate);
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

QTEST_MAIN(TestMenuAndKeys)
#include "tst_menu_and_keys.moc"
