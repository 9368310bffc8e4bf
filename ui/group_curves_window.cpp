#include "group_curves_window.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "trial/trial_summary.h"
#include "ui/curve_naming.h"

#include <QBuffer>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <algorithm>

namespace quarven {
namespace {

constexpr int kGroupRole = Qt::UserRole;

QString shown(const std::string& text)
{
    QString one = QString::fromStdString(text);
    for (QChar& c : one)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return one;
}

// The chart's area, painted by its window.
class Canvas final : public QWidget {
public:
    explicit Canvas(const GroupCurvesWindow& window, QWidget* parent)
        : QWidget(parent), m_window(window)
    {
        setMinimumSize(360, 260);
        setAutoFillBackground(true);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, Qt::white);
        colours.setColor(QPalette::WindowText, Qt::black);
        setPalette(colours);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_window.paint(painter, QRectF(rect()).adjusted(8, 8, -8, -8));
    }

private:
    const GroupCurvesWindow& m_window;
};

} // namespace

GroupCurvesView* MakeGroupCurves(const GroupCurveSources& sources, Dialogs& dialogs, QWidget* owner)
{
    return new GroupCurvesWindow(sources, dialogs, owner);
}

GroupCurvesWindow::GroupCurvesWindow(const GroupCurveSources& sources, Dialogs& dialogs,
                                     QWidget* owner)
    : QDialog(owner, Qt::Window), m_dialogs(dialogs), m_list(new QListWidget(this)),
      m_canvas(new Canvas(*this, this)), m_note(new QLabel(this))
{
    setObjectName(QStringLiteral("GroupCurvesWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(900, 560);
    layOutControls();
    setSources(sources);
}

void GroupCurvesWindow::layOutControls()
{
    m_list->setObjectName(QStringLiteral("groups"));
    m_list->setAccessibleName(tr("Groups to draw"));
    m_list->setAccessibleDescription(
        tr("The standards come first and are checked; check a group to draw its mean curve"));
    m_list->setMaximumWidth(260);
    m_canvas->setObjectName(QStringLiteral("curves"));
    m_canvas->setAccessibleName(tr("Mean disease progress curves"));
    m_canvas->setFocusPolicy(Qt::NoFocus);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->hide();
    connect(m_list, &QListWidget::itemChanged, this, &GroupCurvesWindow::redraw);

    auto* copy = new QPushButton(tr("Copy image"), this);
    auto* png = new QPushButton(tr("Save PNG..."), this);
    auto* svg = new QPushButton(tr("Save SVG..."), this);
    auto* close = new QPushButton(tr("Close"), this);
    connect(copy, &QPushButton::clicked, this, &GroupCurvesWindow::copyImage);
    connect(png, &QPushButton::clicked, this, &GroupCurvesWindow::savePng);
    connect(svg, &QPushButton::clicked, this, &GroupCurvesWindow::saveSvg);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {copy, png, svg}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    close->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list);
    top->addWidget(m_canvas, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_note);
    layout->addLayout(buttons);
}

void GroupCurvesWindow::setSources(const GroupCurveSources& sources)
{
    const bool first = m_list->count() == 0;
    const std::vector<std::string> checked = chosen();
    std::vector<std::string> standards;
    for (const Standard& standard : m_sources.standards)
        standards.push_back(standard.name);
    m_sources = sources;
    m_read.clear();
    setWindowTitle(tr("Mean disease progress curves: %1").arg(LabelText(m_sources.label)));
    fillList(checked, standards);
    if (first)
        m_list->setCurrentRow(0);
    redraw();
}

// Checked: what was checked before and is still a group, and the standards
// new since; a standard the user unchecked stays unchecked.
void GroupCurvesWindow::fillList(const std::vector<std::string>& keepChecked,
                                 const std::vector<std::string>& standardsBefore)
{
    const auto among = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (const GroupChoice& choice : ChoiceOrder(m_sources.groups, m_sources.standards)) {
        QString text = shown(choice.group);
        if (choice.standard)
            text += tr(" (standard %1)").arg(QString::number(*choice.standard, 'g', 15));
        auto* item = new QListWidgetItem(text, m_list);
        item->setData(kGroupRole, QString::fromStdString(choice.group));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool newStandard = choice.checked && !among(standardsBefore, choice.group);
        item->setCheckState(newStandard || among(keepChecked, choice.group) ? Qt::Checked
                                                                            : Qt::Unchecked);
    }
}

std::vector<std::string> GroupCurvesWindow::chosen() const
{
    std::vector<std::string> groups;
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->checkState() == Qt::Checked)
            groups.push_back(m_list->item(row)->data(kGroupRole).toString().toStdString());
    return groups;
}

void GroupCurvesWindow::redraw()
{
    const std::vector<std::string> groups = chosen();
    std::vector<std::string> unread;
    for (const std::string& group : groups)
        if (!m_read.count(group))
            unread.push_back(group);
    std::string why;
    if (!unread.empty() && m_sources.read) {
        for (GroupCurve& curve : m_sources.read(unread, why))
            m_read[curve.group] = std::move(curve);
    }
    m_note->setText(why.empty() ? QString() : tr("The curves cannot be read: %1").arg(shown(why)));
    m_note->setVisible(!why.empty());

    m_lines.clear();
    QStringList spoken;
    for (const std::string& group : groups) {
        const auto found = m_read.find(group);
        if (found == m_read.end())
            continue;
        const GroupCurve& curve = found->second;
        CurveLine line{shown(group), std::nullopt, curve.plots, curve.hasYear, {}};
        for (const Standard& standard : m_sources.standards)
            if (standard.name == group)
                line.standard = standard.value;
        QStringList levels;
        for (const CurvePoint& point : curve.points) {
            line.points.emplace_back(point.day, point.level);
            levels.append(QString::number(point.level, 'f', 1));
        }
        spoken.append(curve.points.empty() ? tr("%1: no computed plot").arg(line.name)
                                           : tr("%1, %2 plots: %3 %")
                                                 .arg(line.name)
                                                 .arg(curve.plots)
                                                 .arg(levels.join(QStringLiteral(", "))));
        if (!curve.points.empty())
            m_lines.push_back(std::move(line));
    }
    m_canvas->setAccessibleDescription(
        titleText() + QStringLiteral(". ") +
        (spoken.isEmpty() ? tr("No group is checked.") : spoken.join(QStringLiteral("; "))));
    m_canvas->update();
}

QString GroupCurvesWindow::titleText() const
{
    QStringList names;
    for (const std::string& group : chosen())
        names.append(shown(group));
    CurveLabel label = m_sources.label;
    QString title = tr("Mean disease progress curves, %1").arg(LabelText(label));
    if (!label.groupColumn.isEmpty())
        title += tr(", by %1").arg(label.groupColumn);
    if (!names.isEmpty())
        title += QStringLiteral(": ") + names.join(QStringLiteral(", "));
    return title;
}

// The groups compared with the standards; the standards alone when only
// they are drawn.
QString GroupCurvesWindow::imageName() const
{
    QStringList others, standards;
    for (const std::string& group : chosen()) {
        const bool standard = std::any_of(m_sources.standards.begin(), m_sources.standards.end(),
                                          [&](const Standard& one) { return one.name == group; });
        (standard ? standards : others).append(QString::fromStdString(group));
    }
    return (others.isEmpty() ? standards : others).join(QLatin1Char('-'));
}

// The chart as wide as the height lets its plot area be (half as high as
// wide), centred.
void GroupCurvesWindow::paint(QPainter& painter, const QRectF& rect) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    QFont bold = painter.font();
    bold.setBold(true);
    const QFont plain = painter.font();
    painter.setFont(bold);
    const QFontMetricsF metrics(bold, painter.device());
    const QString title = metrics.elidedText(titleText(), Qt::ElideRight, rect.width());
    painter.drawText(QPointF(rect.left(), rect.top() + metrics.ascent()), title);
    painter.setFont(plain);
    const QRectF below = rect.adjusted(0, metrics.lineSpacing() * 1.5, 0, 0);
    if (m_lines.empty())
        return;
    qreal width = below.width();
    for (int i = 0; i < 3; ++i) {
        const qreal height = CurveChartHeight(m_lines, width, painter);
        if (height <= below.height())
            break;
        width = std::max(120.0, width - (height - below.height()) * 2.0);
    }
    const qreal left = below.left() + (below.width() - width) / 2.0;
    PaintCurveChart(painter, QRectF(left, below.top(), width, below.height()), m_lines);
}

QImage GroupCurvesWindow::image() const
{
    QImage picture(m_canvas->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    paint(painter, QRectF(picture.rect()).adjusted(8, 8, -8, -8));
    painter.end();
    picture.setText(QStringLiteral("Title"), titleText());
    return picture;
}

void GroupCurvesWindow::copyImage()
{
    QGuiApplication::clipboard()->setImage(image());
}

void GroupCurvesWindow::savePng()
{
    const std::string path = m_dialogs.saveImageName(
        "Save the curves as PNG", ProposedImage(m_sources.label, imageName(), "png").toStdString(),
        "png");
    if (path.empty())
        return;
    QBuffer encoded;
    encoded.open(QIODevice::WriteOnly);
    if (!image().save(&encoded, "PNG")) {
        m_dialogs.message("The curves were not saved: " + path +
                          ": the image could not be encoded");
        return;
    }
    saveAs(path, encoded.data());
}

void GroupCurvesWindow::saveSvg()
{
    const std::string path = m_dialogs.saveImageName(
        "Save the curves as SVG", ProposedImage(m_sources.label, imageName(), "svg").toStdString(),
        "svg");
    if (path.empty())
        return;
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(m_canvas->size());
    generator.setViewBox(QRect(QPoint(0, 0), m_canvas->size()));
    generator.setResolution(m_canvas->logicalDpiX());
    generator.setTitle(titleText());
    generator.setDescription(m_canvas->accessibleDescription());
    QPainter painter(&generator);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(m_canvas->size())).adjusted(8, 8, -8, -8));
    painter.end();
    saveAs(path, buffer.data());
}

// Whole or not at all, as the single plot's curve is saved.
void GroupCurvesWindow::saveAs(const std::string& path, const QByteArray& bytes)
{
    std::string why;
    if (!WriteWholeFile(QString::fromStdString(path),
                        std::string(bytes.constData(), std::size_t(bytes.size())), why))
        m_dialogs.message("The curves were not saved: " + path + ": " + why);
}

} // namespace quarven
