// Every control of both windows against its layout at 96 DPI (15 twips a
// pixel): kind, container, geometry, text, font, tooltip, colours, styles,
// tab order and the lines drawn on the main window.
#include "support/main_window_fixture.h"
#include "ui/about_losses_e.h"
#include "ui/appearance.h"
#include "ui/twips.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

QWidget* control(QWidget* window, const QString& name)
{
    if (window->objectName() == name)
        return window;
    return window->findChild<QWidget*>(name);
}

QString textOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget))
        return frame->title();
    return widget->windowTitle();
}

// "12 bold", "9.6", or "window" for the window's own font.
QString fontOf(const QWidget* widget)
{
    const QFont font = widget->font();
    if (font == widget->window()->font() && widget != widget->window())
        return QStringLiteral("window");
    QString text = QString::number(font.pointSizeF());
    if (font.bold())
        text += QStringLiteral(" bold");
    return text;
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void controls_data();
    void controls();
    void colours_data();
    void colours();
    void alignmentAndFrames_data();
    void alignmentAndFrames();
    void listHeights();
    void tabVisitsOnlyTheSelectedOption();
    void lines_data();
    void lines();
    void resizingMovesNothing();
    void periodBoxStaysClickableOverItsLabel();
    void notADialog();
    void accessibleNames();
    void standInFont();
    void captionsFit();
    void sameLookUnderADarkPalette_data();
    void sameLookUnderADarkPalette();

private:
    MainWindowFixture m_fixture;
    QPointer<AboutLossesE> m_about;
};

void TestLayout::initTestCase()
{
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
    setUpApplicationAppearance();
}

void TestLayout::cleanup()
{
    QApplication::setPalette(QApplication::style()->standardPalette());
    delete m_about;
    m_fixture.close();
}

void TestLayout::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("toolTip");

    const auto row = [](const char* name, const char* kind, const char* container, QRect twips,
                        const QString& text, const char* font, const QString& toolTip) {
        QTest::newRow(name) << QString(name) << QString(kind) << QString(container) << twips << text
                            << QString(font) << toolTip;
    };
    // Label1's tooltip credits the authors: checked for presence below.
    row("Label1", "QLabel", "LossEng", {840, 120, 5772, 732},
        "Calculation of Quarven caused by the early and late blight", "12 bold", "*");
    row("sNuch", "QListWidget", "LossEng", {240, 4680, 495, 2712}, "", "window",
        "You should indicate a number of the assessment");
    row("sTx", "QListWidget", "LossEng", {1560, 4680, 735, 2712}, "", "window",
        "July 12 should be recorded as 12/7 ");
    row("Label2", "QLabel", "LossEng", {4440, 1200, 1452, 732},
        "Insert the number of foliar blight assessments", "window", "");
    row("Label7", "QLabel", "LossEng", {1080, 3480, 2772, 372}, "Assessment data", "12 bold", "");
    row("NNabl", "QLabel", "LossEng", {0, 4080, 972, 492}, "Number of assessment", "7.8 bold",
        "You should indicate the number of an assessment");
    row("AllsX", "QLabel", "LossEng", {3000, 4080, 1332, 492}, "Insert the level of infection, %",
        "7.8 bold", "You should insert all data on the level of infection");
    row("Alluch", "QLabel", "LossEng", {1080, 3960, 1452, 612}, "Insert assessment dates (dd/mm)",
        "7.8 bold", "You should insert all dates of assessments");
    row("Picture2", "QLabel", "LossEng", {120, 240, 492, 552}, "", "window", "About the program");
    row("Frame1", "QGroupBox", "LossEng", {240, 1080, 3612, 2172},
        "Define the period of tuberization", "window", "");
    row("Spel1", "QRadioButton", "Frame1", {120, 240, 1575, 255}, "First early", "window",
        "Tuberization period is 40 days");
    row("Spel2", "QRadioButton", "Frame1", {120, 480, 1335, 255}, "Early", "window",
        "Tuberization period is 46 days");
    row("Spel3", "QRadioButton", "Frame1", {120, 720, 1455, 255}, "Mid-early", "window",
        "Tuberization period is 52 days");
    row("Spel4", "QRadioButton", "Frame1", {120, 960, 1575, 255}, "Mid", "window",
        "Tuberization period is 60 days");
    row("Spel5", "QRadioButton", "Frame1", {120, 1200, 1575, 255}, "Mid-late", "window",
        "Tuberization period is 64 days");
    row("Spel6", "QRadioButton", "Frame1", {120, 1440, 1455, 255}, "Late", "window",
        "Tuberization period is 84 days");
    row("Spel7", "QRadioButton", "Frame1", {120, 1680, 3372, 375},
        "in the case of a premature dessiccation ", "window",
        "the period between the budding stage and the dessiccation");
    row("sQ", "QLineEdit", "Frame1", {2160, 840, 735, 375}, "52", "12",
        "You can insert your values");
    row("Label3", "QLabel", "Frame1", {1800, 480, 1452, 852}, "Tuberization, days", "window", "");
    row("sNx", "QLineEdit", "LossEng", {6000, 1320, 615, 420}, "3", "12",
        "the number of assessments should be 2 or more");
    row("Command1", "QPushButton", "LossEng", {4560, 2160, 2055, 975}, "Calculate", "12 bold",
        "You should insert assessment data");
    row("sPotEvro", "QLineEdit", "LossEng", {5760, 5280, 852, 372}, "", "9.6", "");
    row("sWEvro", "QLineEdit", "LossEng", {5880, 4200, 732, 372}, "", "9.6", "");
    row("Label9", "QLabel", "LossEng", {120, 0, 732, 252}, "Orvask", "window", "");
    row("Label14", "QLabel", "LossEng", {4680, 5280, 1092, 612}, "Yield losses, %", "9.6", "");
    row("Label15", "QLabel", "LossEng", {4800, 4320, 852, 252}, "AUDPC", "9.6", "");

    row("cmdOK", "QPushButton", "AboutLossesE", {4245, 2280, 1260, 345}, "OK", "window", "");
    row("lblDescription", "QLabel", "AboutLossesE", {120, 1080, 5412, 816}, "*", "window", "");
    row("lblDisclaimer", "QLabel", "AboutLossesE", {132, 2040, 3996, 1092},
        "This program is delivered free of charge for all potato breeders and plant protection "
        "experts. It allows a user to calculate yield losses basing on the dynamics of the "
        "early/late blight development on the potato foliage.",
        "window", "");
    row("lblTitle", "QLabel", "AboutLossesE", {1080, 120, 2292, 360}, "Quarven", "window", "");
    row("lblVersion", "QLabel", "AboutLossesE", {1080, 720, 3888, 228}, "Version 5.0.58", "window",
        "");
}

void TestLayout::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(QString, font);
    QFETCH(QString, toolTip);

    LossEng& window = m_fixture.open();
    m_about = new AboutLossesE();
    QWidget* widget = control(
        container == "AboutLossesE" ? static_cast<QWidget*>(m_about.data()) : &window, name);
    QVERIFY(widget);
    QVERIFY2(widget->inherits(kind.toLatin1()), widget->metaObject()->className());
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    if (text == "*")
        QVERIFY(!textOf(widget).isEmpty());
    else
        QCOMPARE(textOf(widget), text);
    QCOMPARE(fontOf(widget), font);
    if (font != "window")
        QCOMPARE(widget->font().family(), QStringLiteral("MS Sans Serif"));
    if (toolTip == "*")
        QVERIFY(!widget->toolTip().isEmpty());
    else
        QCOMPARE(widget->toolTip(), toolTip);
}

void TestLayout::colours_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("colour");

    const QPalette system = QApplication::palette();
    const QColor darkGreen(0, 64, 0);
    QTest::newRow("Label1 background") << "Label1" << int(QPalette::Window) << QColor(0, 128, 0);
    QTest::newRow("Label1 text") << "Label1" << int(QPalette::WindowText)
                                 << system.color(QPalette::Light);
    QTest::newRow("Label7 background")
        << "Label7" << int(QPalette::Window) << systemScrollBarColour();
    QTest::newRow("AllsX background") << "AllsX" << int(QPalette::Window) << QColor(255, 255, 0);
    QTest::newRow("Alluch background")
        << "Alluch" << int(QPalette::Window) << QColor(128, 255, 128);
    QTest::newRow("Frame1 caption") << "Frame1" << int(QPalette::WindowText) << darkGreen;
    QTest::newRow("Spel1 black") << "Spel1" << int(QPalette::WindowText) << QColor(0, 0, 0);
    QTest::newRow("Spel2 system") << "Spel2" << int(QPalette::WindowText)
                                  << system.color(QPalette::WindowText);
    QTest::newRow("Spel7 system") << "Spel7" << int(QPalette::WindowText)
                                  << system.color(QPalette::WindowText);
    QTest::newRow("sQ text") << "sQ" << int(QPalette::Text) << darkGreen;
    QTest::newRow("Label3 text") << "Label3" << int(QPalette::WindowText) << darkGreen;
    QTest::newRow("Label2 system")
        << "Label2" << int(QPalette::WindowText) << system.color(QPalette::WindowText);
    QTest::newRow("sNx system") << "sNx" << int(QPalette::Text) << system.color(QPalette::Text);
}

void TestLayout::colours()
{
    QFETCH(QString, name);
    QFETCH(int, role);
    QFETCH(QColor, colour);

    LossEng& window = m_fixture.open();
    QWidget* widget = control(&window, name);
    QVERIFY(widget);
    QCOMPARE(widget->palette().color(QPalette::ColorRole(role)), colour);
    if (role == QPalette::Window)
        QVERIFY(widget->autoFillBackground());
}

void TestLayout::alignmentAndFrames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("frame"); // QFrame::frameStyle, -1 for text boxes

    const int centred = Qt::AlignHCenter;
    const int left = Qt::AlignLeft;
    const int box = QFrame::Box | QFrame::Plain;
    QTest::newRow("Label1") << "Label1" << centred << box;
    QTest::newRow("Label2") << "Label2" << left << int(QFrame::NoFrame);
    QTest::newRow("Label7") << "Label7" << centred << int(QFrame::NoFrame);
    QTest::newRow("NNabl") << "NNabl" << centred << int(QFrame::NoFrame);
    QTest::newRow("AllsX") << "AllsX" << centred << int(QFrame::NoFrame);
    QTest::newRow("Alluch") << "Alluch" << centred << int(QFrame::NoFrame);
    QTest::newRow("Label3") << "Label3" << left << box;
    QTest::newRow("Picture2") << "Picture2" << left << (QFrame::Panel | QFrame::Sunken);
    QTest::newRow("sQ") << "sQ" << centred << -1;
    QTest::newRow("sNx") << "sNx" << centred << -1;
    QTest::newRow("sPotEvro") << "sPotEvro" << centred << -1;
    QTest::newRow("sWEvro") << "sWEvro" << centred << -1;
}

void TestLayout::alignmentAndFrames()
{
    QFETCH(QString, name);
    QFETCH(int, horizontal);
    QFETCH(int, frame);

    LossEng& window = m_fixture.open();
    QWidget* widget = control(&window, name);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(int(edit->alignment() & Qt::AlignHorizontal_Mask), horizontal);
        return;
    }
    auto* label = qobject_cast<QLabel*>(widget);
    QVERIFY(label);
    QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), horizontal);
    if (frame == QFrame::NoFrame)
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
    else
        QCOMPARE(label->frameStyle(), frame);
    QVERIFY(label->alignment() & Qt::AlignTop);
    QCOMPARE(label->focusPolicy(), name == "Picture2" ? Qt::StrongFocus : Qt::NoFocus);
    if (name != "Picture2") {
        QVERIFY(label->wordWrap());
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }
}

void TestLayout::listHeights()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QCOMPARE(ui.sNuch->height(), twipsToPixelsY(2712));
    QCOMPARE(ui.sTx->height(), twipsToPixelsY(2712));
    const int frame = 2 * ui.sX->frameWidth();
    const int row = ui.sX->sizeHintForRow(0);
    QVERIFY(ui.sX->height() <= twipsToPixelsY(2736));
    QVERIFY(ui.sX->height() > twipsToPixelsY(2736) - row);
    QCOMPARE((ui.sX->height() - frame) % row, 0);
}

void TestLayout::tabVisitsOnlyTheSelectedOption()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), ui.sNuch);

    const auto visit = [&] {
        QStringList visited;
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        return visited;
    };
    QCOMPARE(visit(), (QStringList{"sTx", "sX", "Picture2", "Spel3", "sQ", "sNx", "Command1",
                                   "sPotEvro", "sWEvro", "sNuch"}));
    QTest::mouseClick(ui.Spel(6), Qt::LeftButton);
    ui.sNuch->setFocus();
    QCOMPARE(visit().at(3), QStringLiteral("Spel6"));
    QCOMPARE(m_fixture.dialogs.takeTranscript(), QStringList());
}

void TestLayout::lines_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<QColor>("colour");

    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const QColor darkGreen(0, 64, 0);
    QTest::newRow("Line1 at the left edge") << QPoint(0, 224) << true << text;
    QTest::newRow("Line1 middle") << QPoint(150, 224) << true << text;
    QTest::newRow("Line3") << QPoint(400, 224) << true << text;
    QTest::newRow("horizontal rule ends at 6720") << QPoint(448, 224) << true << text;
    QTest::newRow("horizontal rule is one pixel") << QPoint(150, 225) << false << text;
    QTest::newRow("Line2") << QPoint(304, 400) << true << text;
    QTest::newRow("Line2 ends at 7440") << QPoint(304, 496) << true << text;
    QTest::newRow("Line2 is one pixel") << QPoint(305, 400) << false << text;
    QTest::newRow("Line2 stops at 7440") << QPoint(304, 498) << false << text;
    QTest::newRow("Line5 top") << QPoint(0, 0) << true << darkGreen;
    QTest::newRow("Line5 three pixels wide") << QPoint(2, 16) << true << darkGreen;
    QTest::newRow("Line5 no wider") << QPoint(3, 8) << false << darkGreen;
    QTest::newRow("Line5 ends at 240") << QPoint(1, 17) << false << darkGreen;
}

void TestLayout::lines()
{
    QFETCH(QPoint, pixel);
    QFETCH(bool, drawn);
    QFETCH(QColor, colour);

    LossEng& window = m_fixture.open();
    const QImage image = window.grab().toImage();
    QCOMPARE(image.pixelColor(pixel) == colour, drawn);
}

void TestLayout::resizingMovesNothing()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QCOMPARE(window.size(), QSize(twipsToPixelsX(6732), twipsToPixelsY(7548)));
    const QRect before = ui.Command1->geometry();
    window.resize(300, 200);
    QCOMPARE(ui.Command1->geometry(), before);
    window.resize(900, 900);
    QCOMPARE(ui.Command1->geometry(), before);
}

void TestLayout::periodBoxStaysClickableOverItsLabel()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    const QPoint centre = ui.sQ->mapTo(ui.Frame1, ui.sQ->rect().center());
    QCOMPARE(ui.Frame1->childAt(centre), ui.sQ);
}

void TestLayout::notADialog()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    setItems(ui.sTx, {"01/07", "11/07", "21/07"});
    setItems(ui.sX, {"0", "10", "30"});
    ui.sNuch->setFocus();
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    QVERIFY(window.isVisible());
    QCOMPARE(ui.sWEvro->text(), QString());
}

void TestLayout::accessibleNames()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    const QList<QPair<QWidget*, QString>> names = {
        {ui.sNuch, "Number of assessment"}, {ui.sTx, "Assessment dates (dd/mm)"},
        {ui.sX, "Level of infection, %"},   {ui.sNx, "Number of foliar blight assessments"},
        {ui.sQ, "Tuberization, days"},      {ui.sWEvro, "AUDPC"},
        {ui.sPotEvro, "Yield losses, %"},   {ui.Picture2, "About the program"}};
    for (const auto& [widget, name] : names)
        QCOMPARE(widget->accessibleName(), name);
    // Captions speak for themselves; a name would hide the text from readers.
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label != ui.Picture2)
            QCOMPARE(label->accessibleName(), QString());
}

void TestLayout::standInFont()
{
    // The set-up installs Liberation Sans, metric-compatible with the Arial
    // family that the layout's captions were sized for.
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QCOMPARE(QFontInfo(ui.Label1->font()).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(QFontInfo(window.font()).family(), QStringLiteral("Liberation Sans"));
}

void TestLayout::captionsFit()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    m_about = new AboutLossesE();
    QList<QLabel*> labels = window.findChildren<QLabel*>() + m_about->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->text().isEmpty())
            continue;
        const QRect room = label->contentsRect();
        const QRect needed = label->fontMetrics().boundingRect(
            room, int(Qt::TextWordWrap | label->alignment().toInt()), label->text());
        QVERIFY2(room.contains(needed), qPrintable(label->objectName()));
    }
    const QList<QWidget*> buttons = {ui.Command1, control<QPushButton>(*m_about, "cmdOK"),
                                     ui.Spel(1), ui.Spel(7)};
    for (QWidget* button : buttons)
        QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->objectName()));
}

void TestLayout::sameLookUnderADarkPalette_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("whileOpen"); // the palette changes under the open window
    QTest::newRow("main window opened under it") << "LossEng" << false;
    QTest::newRow("main window open when it comes") << "LossEng" << true;
    QTest::newRow("About window opened under it") << "AboutLossesE" << false;
    QTest::newRow("About window open when it comes") << "AboutLossesE" << true;
}

// A dark desktop must not turn the fixed colours' neighbours dark too.
void TestLayout::sameLookUnderADarkPalette()
{
    QFETCH(QString, window);
    QFETCH(bool, whileOpen);

    const auto openWindow = [&]() -> QWidget* {
        if (window == "AboutLossesE") {
            delete m_about;
            m_about = new AboutLossesE();
            m_about->show();
            return m_about;
        }
        m_fixture.close();
        return &m_fixture.open();
    };
    const auto look = [](QWidget* shown) {
        if (!QTest::qWaitForWindowExposed(shown))
            qFatal("not shown");
        QCoreApplication::processEvents();
        return shown->grab().toImage();
    };
    QWidget* shown = openWindow();
    const QImage usual = look(shown);
    QApplication::setPalette(QPalette(Qt::white, QColor(53, 53, 53), QColor(90, 90, 90),
                                      QColor(20, 20, 20), QColor(40, 40, 40), Qt::white, Qt::white,
                                      QColor(30, 30, 30), QColor(45, 45, 45)));
    if (!whileOpen)
        shown = openWindow();
    QCOMPARE(look(shown), usual);
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
