// The About window's life: opened from the picture, filled once, centred
// horizontally with its top kept, a single instance, closed by OK, Enter,
// Esc or the close box, and outliving the main window.
#include "support/main_window_fixture.h"
#include "ui/about_losses_e.h"
#include "ui/twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <malloc.h>

using namespace quarven;
using namespace quarven::test;

namespace {

AboutLossesE* openAbout(LossEng& window)
{
    QTest::mouseClick(control<ClickLabel>(window, "Picture2"), Qt::LeftButton);
    return window.aboutWindow();
}

int centredLeft(const QWidget* about)
{
    const int screen = QGuiApplication::primaryScreen()->geometry().width();
    return qRound((screen - about->frameGeometry().width()) / 2.0);
}

std::size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return 0;
#else
    return mallinfo2().uordblks;
#endif
}

int aboutWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<AboutLossesE*>(widget) != nullptr;
    return count;
}

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void firstOpening();
    void secondClickKeepsOneWindow();
    void tabVisitsThePicture();
    void closing_data();
    void closing();
    void mainWindowKeepsWorking();
    void outlivesTheMainWindow();
    void manyOpeningsLeaveMemoryFlat();

private:
    MainWindowFixture m_fixture;
};

void TestAboutWindow::cleanup()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<AboutLossesE*>(widget))
            delete widget;
    m_fixture.close();
}

void TestAboutWindow::firstOpening()
{
    LossEng& window = m_fixture.open();
    AboutLossesE* about = openAbout(window);
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    QCOMPARE(about->windowTitle(), QStringLiteral("About Quarven"));
    QCOMPARE(control<QLabel>(*about, "lblTitle")->text(), QStringLiteral("Quarven"));
    QCOMPARE(control<QLabel>(*about, "lblVersion")->text(), QStringLiteral("Version 5.0.58"));
    QVERIFY(!about->isModal());
    QCOMPARE(about->parentWidget(), nullptr);
    QCOMPARE(about->size(), QSize(twipsToPixelsX(5736), twipsToPixelsY(3120)));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QVERIFY(
        !(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(about->windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(about->frameGeometry().left(), centredLeft(about));
    QCOMPARE(about->geometry().top(), twipsToPixelsY(1932));
    QCOMPARE(control<QLabel>(*about, "picIcon")->geometry(), QRect(16, 16, 42, 44));
    QCOMPARE(control<QLabel>(*about, "picIcon")->pixmap().size(), QSize(40, 42));
    QVERIFY(control<QPushButton>(*about, "cmdOK")->isDefault());
    QCOMPARE(about->focusWidget(), control<QPushButton>(*about, "cmdOK"));
}

void TestAboutWindow::secondClickKeepsOneWindow()
{
    LossEng& window = m_fixture.open();
    AboutLossesE* about = openAbout(window);
    // Marks the window: a second Load would overwrite it.
    control<QLabel>(*about, "lblTitle")->setText(QStringLiteral("marked"));
    about->move(0, 300);
    QCOMPARE(openAbout(window), about);
    QCOMPARE(aboutWindows(), 1);
    QCOMPARE(control<QLabel>(*about, "lblTitle")->text(), QStringLiteral("marked"));
    QCOMPARE(about->frameGeometry().left(), centredLeft(about));
    QCOMPARE(about->frameGeometry().top(), 300);
}

void TestAboutWindow::tabVisitsThePicture()
{
    LossEng& window = m_fixture.open();
    AboutLossesE* about = openAbout(window);
    QApplication::setActiveWindow(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    auto* cmdOK = control<QPushButton>(*about, "cmdOK");
    auto* picIcon = control<QLabel>(*about, "picIcon");
    QCOMPARE(QApplication::focusWidget(), cmdOK);
    QTest::keyClick(cmdOK, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), picIcon);
    QTest::keyClick(picIcon, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), cmdOK);
}

void TestAboutWindow::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "ok";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("close box") << "close";
}

void TestAboutWindow::closing()
{
    QFETCH(QString, how);

    LossEng& window = m_fixture.open();
    QPointer<AboutLossesE> about = openAbout(window);
    if (how == "ok")
        QTest::mouseClick(control<QPushButton>(*about, "cmdOK"), Qt::LeftButton);
    else if (how == "enter")
        QTest::keyClick(control<QPushButton>(*about, "cmdOK"), Qt::Key_Return);
    else if (how == "esc")
        QTest::keyClick(control<QPushButton>(*about, "cmdOK"), Qt::Key_Escape);
    else
        about->close();
    QTRY_VERIFY(about.isNull());
    QCOMPARE(window.aboutWindow(), nullptr);

    // The next opening loads a new window.
    AboutLossesE* again = openAbout(window);
    QVERIFY(again);
    QCOMPARE(control<QLabel>(*again, "lblTitle")->text(), QStringLiteral("Quarven"));
}

void TestAboutWindow::mainWindowKeepsWorking()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QVERIFY(openAbout(window));
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    QTest::mouseClick(ui.Command1, Qt::LeftButton);
    QCOMPARE(ui.sWEvro->text(), QStringLiteral("250"));
}

void TestAboutWindow::outlivesTheMainWindow()
{
    LossEng& window = m_fixture.open();
    QPointer<AboutLossesE> about = openAbout(window);
    bool aboutOpenAfterMain = false;
    bool timedOut = false;
    // Runs the real event loop: it must end only when the About window, the
    // last one, closes.
    QTimer::singleShot(0, &window, [&] {
        window.close();
        QTimer::singleShot(100, about, [&] {
            aboutOpenAfterMain = about && about->isVisible();
            about->close();
        });
    });
    QTimer::singleShot(5000, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    const bool quitOnLast = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(QApplication::exec(), 0);
    QApplication::setQuitOnLastWindowClosed(quitOnLast);
    QVERIFY(!timedOut);
    QVERIFY(aboutOpenAfterMain);
}

void TestAboutWindow::manyOpeningsLeaveMemoryFlat()
{
    LossEng& window = m_fixture.open();
    const auto openAndClose = [&](int times) {
        for (int i = 0; i < times; ++i) {
            QPointer<AboutLossesE> about = openAbout(window);
            QTest::mouseClick(control<QPushButton>(*about, "cmdOK"), Qt::LeftButton);
            // As the event loop would between two clicks.
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(about.isNull());
        }
    };
    openAndClose(20); // fonts, styles and caches settle first
    const std::size_t before = heapInUse();
    openAndClose(200);
    QCOMPARE(aboutWindows(), 0);
    qInfo("heap in use: %zu before, %zu after", before, heapInUse());
    if (before > 0) // zero where a sanitizer owns the heap
        QVERIFY2(heapInUse() < before + 64 * 1024,
                 qPrintable(QStringLiteral("%1 -> %2 bytes").arg(before).arg(heapInUse())));
}

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
