#include "curve_window.h"

#include "app/file_io.h"
#include "core/disease_curve.h"
#include "core/loss_calculation.h"
#include "entry/dialogs.h"
#include "ui/curve_naming.h"
#include "ui/list_texts.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>

namespace quarven {
namespace {

// Dark line and points over a light fill: apart in greyscale as in colour.
const QColor kLine(0, 64, 0);
const QColor kFill(150, 215, 130);
constexpr qsizetype kMostMarkedPoints = 60;

// Noon keeps every date on its own day whatever the time zone's shifts.
qreal timeOf(const Date& date)
{
    return qreal(
        QDateTime(QDate(date.year, date.month, date.day), QTime(12, 0)).toMSecsSinceEpoch());
}

QString shownText(const std::string& text)
{
    return QString::fromStdString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

CurveView* MakeCurveWindow(const CurveSources& sources, Dialogs& dialogs, QWidget* owner)
{
    return new CurveWindow(sources, dialogs, owner);
}

CurveWindow::CurveWindow(const CurveSources& sources, Dialogs& dialogs, QWidget* owner)
    : QDialog(owner, Qt::Window), m_sources(sources), m_dialogs(dialogs), m_chart(new QChart),
      m_view(new QChartView(m_chart, this)), m_line(new QLineSeries),
      m_upper(new QLineSeries(this)), m_zero(new QLineSeries(this)),
      m_area(new QAreaSeries(m_upper, m_zero)), m_dates(new QDateTimeAxis),
      m_levels(new QValueAxis), m_stop(new QLabel(this)),
      m_print(new QCheckBox(tr("Twice the size, for print"), this))
{
    setObjectName(QStringLiteral("CurveWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the curve never ends the program; the main window decides that.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 480);
    setUpChart();
    layOutControls();
    followSources();
    redraw();
}

void CurveWindow::setUpChart()
{
    m_area->setColor(kFill);
    m_area->setBorderColor(kFill);
    m_area->setName(tr("AUDPC, the area under the curve"));
    QPen pen(kLine);
    pen.setWidth(2);
    m_line->setPen(pen);
    m_line->setMarkerSize(4);
    m_line->setName(tr("Foliage infected, %"));
    m_chart->addSeries(m_area);
    m_chart->addSeries(m_line);
    m_dates->setFormat(QStringLiteral("dd/MM"));
    m_dates->setTitleText(tr("Assessment date"));
    m_levels->setRange(0, 100);
    m_levels->setLabelFormat(QStringLiteral("%d"));
    m_levels->setTitleText(tr("Foliage infected, %"));
    m_chart->addAxis(m_dates, Qt::AlignBottom);
    m_chart->addAxis(m_levels, Qt::AlignLeft);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(m_area), static_cast<QAbstractSeries*>(m_line)}) {
        series->attachAxis(m_dates);
        series->attachAxis(m_levels);
    }
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    QFont title = m_chart->titleFont();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    m_chart->setTitleFont(title);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setObjectName(QStringLiteral("curve"));
    m_view->setAccessibleName(tr("Disease progress curve"));
    m_view->setFocusPolicy(Qt::NoFocus);
}

void CurveWindow::layOutControls()
{
    m_stop->setObjectName(QStringLiteral("stop"));
    m_stop->setTextFormat(Qt::PlainText);
    m_stop->setWordWrap(true);

    auto* copy = new QPushButton(tr("Copy image"), this);
    auto* png = new QPushButton(tr("Save PNG..."), this);
    auto* svg = new QPushButton(tr("Save SVG..."), this);
    auto* close = new QPushButton(tr("Close"), this);
    connect(copy, &QPushButton::clicked, this, &CurveWindow::copyImage);
    connect(png, &QPushButton::clicked, this, &CurveWindow::savePng);
    connect(svg, &QPushButton::clicked, this, &CurveWindow::saveSvg);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    for (QWidget* widget : {static_cast<QWidget*>(copy), static_cast<QWidget*>(png),
                            static_cast<QWidget*>(svg), static_cast<QWidget*>(m_print)})
        buttons->addWidget(widget);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_stop);
    layout->addLayout(buttons);
    // Enter would press the first button wherever the focus is; it presses
    // only a focused button (keyPressEvent), and only Escape closes.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
}

// Changes to the table are drawn once the event loop comes round.
void CurveWindow::followSources()
{
    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, &CurveWindow::redraw);
    const auto later = [this] { m_pending.start(0); };
    for (QListWidget* list : {m_sources.dates, m_sources.levels}) {
        QAbstractItemModel* model = list->model();
        connect(model, &QAbstractItemModel::dataChanged, this, later);
        connect(model, &QAbstractItemModel::rowsInserted, this, later);
        connect(model, &QAbstractItemModel::rowsRemoved, this, later);
        connect(model, &QAbstractItemModel::modelReset, this, later);
    }
    connect(m_sources.count, &QLineEdit::textChanged, this, later);
    connect(m_sources.period, &QLineEdit::textChanged, this, later);
}

void CurveWindow::redraw()
{
    m_pending.stop();
    const std::vector<std::string> dates = ItemTexts(m_sources.dates);
    const std::vector<std::string> levels = ItemTexts(m_sources.levels);
    const int year = m_sources.currentYear();
    const DiseaseCurve curve = CurveOf(dates, levels, m_sources.count->text().toStdString(), year);

    QList<QPointF> points;
    QList<QPointF> zeros;
    points.reserve(static_cast<qsizetype>(curve.points.size()));
    QStringList spoken;
    for (const CurvePoint& point : curve.points) {
        const qreal time = timeOf(point.date);
        points.append({time, point.level});
        zeros.append({time, 0.0});
        spoken.append(tr("%1: %2 %")
                          .arg(QString::fromStdString(DayMonthText(point.date)),
                               QString::fromStdString(levels[std::size_t(point.row)]).trimmed()));
    }
    // A season of daily points would be a thick line of markers.
    m_line->setPointsVisible(points.size() <= kMostMarkedPoints);
    m_line->replace(points);
    m_upper->replace(points);
    m_zero->replace(zeros);
    if (points.isEmpty()) {
        const qreal today = timeOf({year, 7, 1});
        m_dates->setRange(QDateTime::fromMSecsSinceEpoch(qint64(today)).addDays(-15),
                          QDateTime::fromMSecsSinceEpoch(qint64(today)).addDays(15));
    } else {
        const QDateTime first = QDateTime::fromMSecsSinceEpoch(qint64(points.front().x()));
        const QDateTime last = QDateTime::fromMSecsSinceEpoch(qint64(points.back().x()));
        m_dates->setRange(first.addDays(first == last ? -1 : 0),
                          last.addDays(first == last ? 1 : 0));
    }
    m_dates->setTickCount(int(std::clamp<qsizetype>(points.size(), 2, 8)));

    const QString named = LabelText(label());
    setWindowTitle(named.isEmpty() ? tr("Disease progress curve")
                                   : tr("Disease progress curve: %1").arg(named));
    const QString title = titleText();
    // The chart's title is rich text: what the file named is escaped.
    m_chart->setTitle(named.isEmpty() ? title
                                      : named.toHtmlEscaped() + QStringLiteral("<br>") + title);
    m_stop->setText(shownText(curve.stop));
    m_stop->setVisible(!curve.stop.empty());
    QString description = plainTitle() + QStringLiteral(". ");
    description += spoken.isEmpty() ? tr("No assessment is drawn yet.")
                                    : tr("Assessments: %1.").arg(spoken.join(QStringLiteral("; ")));
    if (!curve.stop.empty())
        description += QLatin1Char(' ') + shownText(curve.stop).replace(QLatin1Char('\n'), ' ');
    m_view->setAccessibleDescription(description);
}

CurveLabel CurveWindow::label() const
{
    return m_sources.label ? m_sources.label() : CurveLabel();
}

QString CurveWindow::plainTitle() const
{
    const QString named = LabelText(label());
    return named.isEmpty() ? titleText() : named + QStringLiteral(": ") + titleText();
}

// The results as the result boxes would show them after Calculate.
QString CurveWindow::titleText() const
{
    CalculationInput input;
    input.dates = ItemTexts(m_sources.dates);
    input.levels = ItemTexts(m_sources.levels);
    input.countText = m_sources.count->text().toStdString();
    input.periodText = m_sources.period->text().toStdString();
    input.currentYear = m_sources.currentYear();
    const CalculationOutcome outcome = Calculate(input);
    const QString period = tr("period %1 days").arg(m_sources.period->text());
    if (outcome.kind != CalculationOutcome::Kind::Results)
        return tr("AUDPC and yield losses not calculated, %1").arg(period);
    // A result box left empty (an AUDPC that rounds to 0) reads as 0 here.
    const QString audpc =
        outcome.audpc.empty() ? QStringLiteral("0") : QString::fromStdString(outcome.audpc);
    return tr("AUDPC %1, yield losses %2 %, %3")
        .arg(audpc, QString::fromStdString(outcome.losses), period);
}

void CurveWindow::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && enter && plain) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

int CurveWindow::exportScale() const
{
    return m_print->isChecked() ? 2 : 1;
}

void CurveWindow::paintChart(QPainter& painter, int scale) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    // The view scales its picture to the target it is given; a painter that
    // was scaled as well would scale it twice.
    m_view->render(&painter, QRectF(QPointF(0, 0), m_view->size() * scale),
                   m_view->viewport()->rect(), Qt::IgnoreAspectRatio);
}

QImage CurveWindow::image(int scale) const
{
    QImage picture(m_view->size() * scale, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    paintChart(painter, scale);
    painter.end();
    return picture;
}

QByteArray CurveWindow::svg(int scale) const
{
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(m_view->size() * scale);
    generator.setViewBox(QRect(QPoint(0, 0), m_view->size() * scale));
    // Letters as large as on screen: the generator's own 72 dots per inch
    // would shrink them.
    generator.setResolution(m_view->logicalDpiX());
    generator.setTitle(plainTitle());
    generator.setDescription(m_view->accessibleDescription());
    QPainter painter(&generator);
    paintChart(painter, scale);
    painter.end();
    return buffer.data();
}

void CurveWindow::copyImage()
{
    QGuiApplication::clipboard()->setImage(image(exportScale()));
}

void CurveWindow::savePng()
{
    const CurveLabel named = label();
    const std::string path = m_dialogs.saveImageName(
        "Save the curve as PNG", ProposedImage(named, named.plot, "png").toStdString(), "png");
    if (path.empty())
        return;
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    QImage picture = image(exportScale());
    picture.setText(QStringLiteral("Title"), plainTitle());
    if (!picture.save(&encoded, "PNG")) {
        m_dialogs.message("The curve was not saved: " + path + ": the image could not be encoded");
        return;
    }
    saveAs(path, encoded.data());
}

void CurveWindow::saveSvg()
{
    const CurveLabel named = label();
    const std::string path = m_dialogs.saveImageName(
        "Save the curve as SVG", ProposedImage(named, named.plot, "svg").toStdString(), "svg");
    if (!path.empty())
        saveAs(path, svg(exportScale()));
}

// Written whole or not at all, and told as saved only once the bytes are on
// the disk: an earlier file under the name survives a failed save.
void CurveWindow::saveAs(const std::string& path, const QByteArray& bytes)
{
    std::string why;
    if (!WriteWholeFile(QString::fromStdString(path),
                        std::string(bytes.constData(), std::size_t(bytes.size())), why))
        m_dialogs.message("The curve was not saved: " + path + ": " + why);
}

} // namespace quarven
