// The disease progress curve window: it follows the table, stops where the
// table stops being a valid series and says why in Calculate's words, exports
// images of the requested size, and lives and dies with the main window.
#include "support/main_window_fixture.h"
#include "ui/curve_window.h"
#include "ui/summary_chart.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarven;
using namespace quarven::test;

namespace {

// Day of the year 2026 of a point's x, and its level, as "dd/mm level".
QStringList pointsOf(const CurveWindow& curve)
{
    const auto* view = curve.findChild<QChartView*>(QStringLiteral("curve"));
    QLineSeries* line = nullptr;
    for (QAbstractSeries* series : view->chart()->series()) {
        if (auto* found = qobject_cast<QLineSeries*>(series))
            line = found;
    }
    QStringList points;
    for (const QPointF& point : line->points())
        points.append(QDateTime::fromMSecsSinceEpoch(qint64(point.x())).toString("dd/MM") +
                      QLatin1Char(' ') + QString::number(point.y()));
    return points;
}

QString titleOf(const CurveWindow& curve)
{
    return curve.findChild<QChartView*>(QStringLiteral("curve"))->chart()->title();
}

QString stopOf(const CurveWindow& curve)
{
    const auto* stop = curve.findChild<QLabel*>(QStringLiteral("stop"));
    return stop->isVisibleTo(&curve) ? stop->text() : QString();
}

// Lets the window redraw what changed.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

const QString kNotCalculated =
    QStringLiteral("AUDPC and yield losses not calculated, period 52 days");

} // namespace

class TestCurveWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void followsTheTable_data();
    void followsTheTable();
    void stopsWhereTheTableStops_data();
    void stopsWhereTheTableStops();
    void exports_data();
    void exports();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void oneWindowThatGoesWithTheMainWindow();
    void readableWithoutTheMouse();
    void theModuleGivesTheWindow();
    void theModuleGivesTheChart();
    void chartRoundsAsTheSummary_data();
    void chartRoundsAsTheSummary();

private:
    CurveWindow& openCurve();

    MainWindowFixture m_fixture;
    std::unique_ptr<MainWindowControls> m_ui;
};

// The window linked in, rather than loaded from its module.
void TestCurveWindow::initTestCase()
{
    RegisterCurveFactory(&MakeCurveWindow);
}

void TestCurveWindow::cleanup()
{
    QVERIFY2(m_fixture.dialogs.scriptFinished(), "scripted answers left over");
    m_ui.reset();
    m_fixture.close();
}

CurveWindow& TestCurveWindow::openCurve()
{
    LossEng& window = m_fixture.open();
    m_ui = std::make_unique<MainWindowControls>(window);
    setItems(m_ui->sTx, {"01/07", "11/07", "21/07"});
    setItems(m_ui->sX, {"0", "10", "30"});
    QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier);
    auto* curve = qobject_cast<CurveWindow*>(window.curveWindow());
    if (!curve)
        qFatal("Ctrl+G opened no curve");
    settle();
    return *curve;
}

void TestCurveWindow::followsTheTable_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("points");
    QTest::addColumn<QString>("title");

    const QStringList three{"01/07 0", "11/07 10", "21/07 30"};
    QTest::newRow("as opened") << "" << three << "AUDPC 250, yield losses 4.8 %, period 52 days";
    QTest::newRow("a cell changed") << "cell" << QStringList{"01/07 0", "11/07 20", "21/07 30"}
                                    << "AUDPC 350, yield losses 6.7 %, period 52 days";
    QTest::newRow("a table pasted") << "paste" << QStringList{"01/06 5", "02/06 5.5", "21/07 30"}
                                    << "AUDPC 875, yield losses 16.8 %, period 52 days";
    QTest::newRow("a larger count keeps its points") << "count" << three << kNotCalculated;
    QTest::newRow("a period change")
        << "period" << three << "AUDPC 250, yield losses 3.0 %, period 84 days";
}

void TestCurveWindow::followsTheTable()
{
    QFETCH(QString, change);
    QFETCH(QStringList, points);
    QFETCH(QString, title);

    CurveWindow& curve = openCurve();
    if (change == "cell") {
        m_ui->sX->item(1)->setText(QStringLiteral("20"));
    } else if (change == "paste") {
        QGuiApplication::clipboard()->setText(QStringLiteral("1/6\t5\n2/6\t5.5\n"));
        QApplication::setActiveWindow(m_ui->sTx->window());
        QTest::keyClick(m_ui->sTx->window(), Qt::Key_V, Qt::ControlModifier);
    } else if (change == "count") {
        m_ui->sNx->setText(QStringLiteral("4"));
    } else if (change == "period") {
        QTest::mouseClick(m_ui->Spel(6), Qt::LeftButton);
    }
    settle();
    QCOMPARE(pointsOf(curve), points);
    QCOMPARE(titleOf(curve), title);
}

void TestCurveWindow::stopsWhereTheTableStops_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QStringList>("points");
    QTest::addColumn<QString>("stop");

    QTest::newRow("every row drawn")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"0", "10", "30"}
        << QStringList{"01/07 0", "11/07 10", "21/07 30"} << "";
    QTest::newRow("a blank date")
        << QStringList{"01/07", "11/07", " "} << QStringList{"0", "10", "30"}
        << QStringList{"01/07 0", "11/07 10"}
        << "The curve stops before assessment # 3, which has no date yet.";
    QTest::newRow("no first date")
        << QStringList{" ", "11/07", "21/07"} << QStringList{"0", "10", "30"} << QStringList()
        << "The curve stops before assessment # 1, which has no date "
           "yet.";
    QTest::newRow("a date that does not increase")
        << QStringList{"01/07", "11/07", "11/07"} << QStringList{"0", "10", "30"}
        << QStringList{"01/07 0", "11/07 10"}
        << "Assessment date input error(assessments # 2 and  3). Consequent assessments should "
           "differ from one another!";
    QTest::newRow("a falling level")
        << QStringList{"01/07", "11/07", "21/07"} << QStringList{"5", "3", "30"}
        << QStringList{"01/07 5"}
        << "Data input error (assessments # 1 and  2).\n Results of the next assessment should "
           "be equal or higher than those for the previous assessment!";
}

void TestCurveWindow::stopsWhereTheTableStops()
{
    QFETCH(QStringList, dates);
    QFETCH(QStringList, levels);
    QFETCH(QStringList, points);
    QFETCH(QString, stop);

    CurveWindow& curve = openCurve();
    setItems(m_ui->sTx, dates);
    setItems(m_ui->sX, levels);
    settle();
    QCOMPARE(pointsOf(curve), points);
    QCOMPARE(stopOf(curve), stop);
    QCOMPARE(titleOf(curve) == kNotCalculated, !stop.isEmpty());
    QVERIFY(curve.findChild<QChartView*>(QStringLiteral("curve"))
                ->accessibleDescription()
                .contains(stop.left(20)));
}

void TestCurveWindow::exports_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("print");
    QTest::newRow("copy") << "Copy image" << false;
    QTest::newRow("copy for print") << "Copy image" << true;
    QTest::newRow("PNG") << "Save PNG..." << false;
    QTest::newRow("PNG for print") << "Save PNG..." << true;
    QTest::newRow("SVG") << "Save SVG..." << false;
    QTest::newRow("SVG for print") << "Save SVG..." << true;
}

void TestCurveWindow::exports()
{
    QFETCH(QString, button);
    QFETCH(bool, print);

    CurveWindow& curve = openCurve();
    curve.resize(600, 400);
    settle();
    const QImage onScreen = curve.image(1);
    curve.findChild<QCheckBox*>()->setChecked(print);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("curve"));
    if (!button.startsWith("Copy"))
        m_fixture.dialogs.file(path);
    for (QPushButton* push : curve.findChildren<QPushButton*>()) {
        if (push->text() == button)
            push->click();
    }

    QImage image;
    if (button.contains("SVG")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("AUDPC 250, yield losses 4.8 %, period 52 days"));
        QSvgRenderer svg(text);
        QVERIFY(svg.isValid());
        image = QImage(svg.viewBox().size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        svg.render(&painter, QRectF(image.rect()));
    } else if (button.startsWith("Copy")) {
        image = QGuiApplication::clipboard()->image();
    } else {
        QVERIFY(image.load(path, "PNG"));
    }
    QCOMPARE(image.size(), onScreen.size() * (print ? 2 : 1));
    // The whole chart at the chosen size: scaled back, it is the chart on
    // screen but for the edges of lines and letters.
    const QImage back =
        image.scaled(onScreen.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int differing = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < back.height(); ++y) {
        for (int x = 0; x < back.width(); ++x) {
            differing += qAbs(qGray(back.pixel(x, y)) - qGray(onScreen.pixel(x, y))) > 64;
            colours.insert(back.pixel(x, y));
        }
    }
    // Not blank: the fill, the line and the white ground are all there.
    QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
    QVERIFY2(differing * 100 < back.width() * back.height(),
             qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
}

void TestCurveWindow::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::newRow("Return on Copy image") << "Copy image" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on Copy image") << "Copy image" << int(Qt::Key_Enter);
    QTest::newRow("Return on Save SVG...") << "Save SVG..." << int(Qt::Key_Return);
}

void TestCurveWindow::enterPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);

    CurveWindow& curve = openCurve();
    QApplication::setActiveWindow(&curve);
    QVERIFY(QTest::qWaitForWindowActive(&curve));
    QPushButton* focused = nullptr;
    for (QPushButton* push : curve.findChildren<QPushButton*>()) {
        if (push->text() == button)
            focused = push;
    }
    focused->setFocus();
    if (button.startsWith("Save"))
        m_fixture.dialogs.file(QString());
    QSignalSpy clicked(focused, &QPushButton::clicked);
    QTest::keyClick(focused, Qt::Key(key),
                    key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(curve.isVisible());
}

void TestCurveWindow::oneWindowThatGoesWithTheMainWindow()
{
    CurveWindow& curve = openCurve();
    QWidget* window = m_ui->sTx->window();
    QApplication::setActiveWindow(window);
    QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(m_fixture.window().curveWindow(), static_cast<QWidget*>(&curve));
    QVERIFY(!curve.isModal());
    QVERIFY(!curve.testAttribute(Qt::WA_QuitOnClose));

    QPointer<QWidget> open = &curve;
    QTest::keyClick(&curve, Qt::Key_Escape);
    QTRY_VERIFY(open.isNull());
    QVERIFY(window->isVisible());

    QApplication::setActiveWindow(window);
    QTest::keyClick(window, Qt::Key_G, Qt::ControlModifier);
    open = m_fixture.window().curveWindow();
    QVERIFY(open);
    window->close();
    QTRY_VERIFY(open.isNull() || !open->isVisible());
}

void TestCurveWindow::readableWithoutTheMouse()
{
    CurveWindow& curve = openCurve();
    QApplication::setActiveWindow(&curve);
    QVERIFY(QTest::qWaitForWindowActive(&curve));
    QStringList visited;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget()))
            visited.append(button->text());
    }
    QVERIFY(visited.contains("Copy image"));
    QVERIFY(visited.contains("Save PNG..."));
    QVERIFY(visited.contains("Save SVG..."));

    const auto* view = curve.findChild<QChartView*>(QStringLiteral("curve"));
    // The line and the area it bounds stay apart when printed in grey.
    QColor line;
    QColor area;
    for (QAbstractSeries* series : view->chart()->series()) {
        if (auto* shaded = qobject_cast<QAreaSeries*>(series))
            area = shaded->color();
        else if (auto* drawn = qobject_cast<QLineSeries*>(series))
            line = drawn->pen().color();
    }
    QVERIFY2(qAbs(qGray(line.rgb()) - qGray(area.rgb())) > 100,
             qPrintable(QStringLiteral("%1 and %2").arg(qGray(line.rgb())).arg(qGray(area.rgb()))));
    QCOMPARE(view->accessibleName(), QStringLiteral("Disease progress curve"));
    QCOMPARE(view->accessibleDescription(),
             QStringLiteral("AUDPC 250, yield losses 4.8 %, period 52 days. Assessments: 01/07: "
                            "0 %; 11/07: 10 %; 21/07: 30 %."));
}

// What the running program loads on the first Ctrl+G.
void TestCurveWindow::theModuleGivesTheWindow()
{
    LossEng& window = m_fixture.open();
    const MainWindowControls ui(window);
    QLibrary module(QStringLiteral(QUARVEN_CURVE_MODULE));
    using Entry = CurveFactory (*)();
    const auto entry = reinterpret_cast<Entry>(module.resolve(kCurveFactorySymbol));
    QVERIFY2(entry, qPrintable(module.errorString()));
    CurveView* made = entry()({ui.sTx, ui.sX, ui.sNx, ui.sQ, [] { return kCommonYear; }, {}},
                              m_fixture.dialogs, nullptr);
    std::unique_ptr<QWidget> curve(made->widget());
    QCOMPARE(curve->objectName(), QStringLiteral("CurveWindow"));
    QVERIFY(curve->findChild<QWidget*>(QStringLiteral("curve")));
}

// What the running program loads when a trial is first grouped: the Trial
// window's tests register the chart instead.
void TestCurveWindow::theModuleGivesTheChart()
{
    QLibrary module(QStringLiteral(QUARVEN_CURVE_MODULE));
    using Entry = SummaryChartFactory (*)();
    const auto entry = reinterpret_cast<Entry>(module.resolve(kSummaryChartSymbol));
    QVERIFY2(entry, qPrintable(module.errorString()));
    QWidget side;
    GroupChart* chart = entry()(&side);
    chart->setGroups({{QStringLiteral("Gala")}, {0.25}, {0.05}, {}});
    QCOMPARE(chart->widget()->parentWidget(), &side);
    QVERIFY(chart->widget()->accessibleDescription().contains(QStringLiteral("Gala")));
}

// The chart's words give a group's mean and deviation as the summary's
// table does, halves rounded away from zero on 15 significant digits.
void TestCurveWindow::chartRoundsAsTheSummary_data()
{
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sd");
    QTest::addColumn<QString>("said");

    const double none = std::numeric_limits<double>::quiet_NaN();
    // 0.00015 is a little less than that in binary.
    QTest::newRow("a half just below in binary")
        << 0.00015 << none << "G: mean relative AUDPC 0.0002, no SD.";
    QTest::newRow("an exact binary half")
        << 0.03125 << 0.00015 << "G: mean relative AUDPC 0.0313, SD 0.0002.";
}

void TestCurveWindow::chartRoundsAsTheSummary()
{
    QFETCH(double, mean);
    QFETCH(double, sd);
    QFETCH(QString, said);
    QWidget side;
    GroupChart* chart = MakeSummaryChart(&side);
    chart->setGroups({{QStringLiteral("G")}, {mean}, {sd}, {}});
    QCOMPARE(chart->widget()->accessibleDescription(), said);
}

QTEST_MAIN(TestCurveWindow)
#include "tst_curve_window.moc"
