#include "report.h"

#include "app/file_io.h"
#include "app_info.h"
#include "core/value_conventions.h"
#include "curve_chart.h"
#include "ranked_chart.h"

#include <QBuffer>
#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <memory>
#include <numeric>

namespace quarven {
namespace {

constexpr qreal kTitlePoints = 16.0;
constexpr qreal kHeadingPoints = 12.0;
constexpr qreal kSubheadingPoints = 10.0;
constexpr qreal kBodyPoints = 9.0;
constexpr qreal kTablePoints = 8.5;
constexpr qreal kFooterPoints = 7.0;
constexpr int kSlopeDecimals = 4;
constexpr int kRhoDecimals = 3;
constexpr int kMostResistantDrawn = 5;
// A cell's text past this is cut: a field may be a megabyte long, and no
// page holds it.
constexpr qsizetype kLongestCell = 1000;
const QColor kRule(0x80, 0x80, 0x80);
const QColor kStripe(0xf0, 0xf0, 0xf0);
const QColor kQuiet(0x50, 0x50, 0x50);

// One line of a table or a paragraph: line breaks and tabs as blanks.
QString textOf(std::string_view text)
{
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : shown)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    if (shown.size() > kLongestCell)
        shown = shown.left(kLongestCell) + QChar(0x2026);
    return shown;
}

QString numberText(const std::optional<double>& value, int decimals)
{
    return value ? QString::fromStdString(FormatDecimals(*value, decimals)) : QString();
}

QString countText(std::size_t count)
{
    return QString::number(count);
}

// A declared value as it was typed: 5, 6.5.
QString declaredText(double value)
{
    return QString::number(value, 'g', 15);
}

std::optional<double> standardValue(const std::vector<Standard>& standards, std::string_view name)
{
    for (const Standard& standard : standards)
        if (standard.name == name)
            return standard.value;
    return std::nullopt;
}

enum class Kind {
    Name,   // as wide as its longest text, wrapped only past its share
    Number, // right-aligned, never wrapped
    Text    // the room left, wrapped
};

struct Column {
    QString title;
    Kind kind = Kind::Number;
};

struct Row {
    QStringList cells;
    bool strong = false;
};

struct Table {
    std::vector<Column> columns;
    std::vector<Row> rows;
    // The leading columns repeated in each part when the others do not fit
    // across the page.
    std::size_t keys = 1;
};

// The pages being painted: where the next block goes, and a new page with
// its footer when a block does not fit.
class Pages {
public:
    Pages(QPagedPaintDevice& device, QPainter& painter, QString footer)
        : m_device(device), m_painter(painter), m_footer(std::move(footer)),
          m_unit(device.logicalDpiY() / 72.0)
    {
        m_width = device.width();
        m_bottom = device.height() - pt(kFooterPoints * 2.5);
        paintFooter();
    }

    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] qreal pt(qreal points) const { return points * m_unit; }
    [[nodiscard]] QFont font(qreal points, bool bold = false) const
    {
        QFont font(QStringLiteral("Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(points);
        font.setBold(bold);
        // Any letter spacing keeps Qt from joining letters into ligatures,
        // which a PDF reader would copy and search as one sign rather than "fi".
        font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64.0);
        return font;
    }

    void space(qreal points) { m_y = std::min(m_y + pt(points), m_bottom); }

    void heading(const QString& text, qreal points)
    {
        const QFont shown = font(points, true);
        const QFontMetricsF metrics(shown, &m_device);
        // A heading never stands alone at a page's foot.
        need(metrics.lineSpacing() * 1.4 + pt(kBodyPoints) * 6.0);
        if (m_y > 0.0)
            space(points * 0.6);
        m_painter.setFont(shown);
        m_painter.setPen(Qt::black);
        m_y += drawWrapped(text, QRectF(0.0, m_y, m_width, 0.0), metrics);
        space(points * 0.3);
    }

    void paragraph(const QString& text, qreal points = kBodyPoints, bool quiet = false)
    {
        const QFont shown = font(points);
        const QFontMetricsF metrics(shown, &m_device);
        const qreal height = wrappedHeight(text, m_width, shown, metrics);
        need(height);
        m_painter.setFont(shown);
        m_painter.setPen(quiet ? kQuiet : Qt::black);
        m_y += drawWrapped(text, QRectF(0.0, m_y, m_width, height), metrics);
        space(points * 0.3);
    }

    void table(const Table& table);
    void chart(const RankedChart& chart);
    // The height of a ranked chart of `bars` bars.
    [[nodiscard]] qreal chartHeight(std::size_t bars) const
    {
        return RankedChart::height(bars, QFontMetricsF(font(kTablePoints), &m_device));
    }
    // The height of a curve chart the width of the page.
    [[nodiscard]] qreal curvesHeight(const std::vector<CurveLine>& lines)
    {
        m_painter.setFont(font(kTablePoints));
        return CurveChartHeight(lines, m_width, m_painter);
    }
    void curves(const std::vector<CurveLine>& lines);

    // A new page unless the height fits on this one.
    void need(qreal height)
    {
        if (m_y + height > m_bottom && m_y > 0.0)
            newPage();
    }

private:
    void newPage()
    {
        if (!m_device.newPage())
            m_failed = true;
        ++m_page;
        m_y = 0.0;
        paintFooter();
    }

    void paintFooter()
    {
        const QFont shown = font(kFooterPoints);
        const QFontMetricsF metrics(shown, &m_device);
        m_painter.setFont(shown);
        m_painter.setPen(kQuiet);
        const qreal baseline = m_device.height() - metrics.descent();
        const QString page = QStringLiteral("page %1").arg(m_page);
        const qreal pageWidth = metrics.horizontalAdvance(page);
        m_painter.drawText(
            QPointF(0.0, baseline),
            metrics.elidedText(m_footer, Qt::ElideMiddle, m_width - pageWidth - pt(12.0)));
        m_painter.drawText(QPointF(m_width - pageWidth, baseline), page);
    }

    // Lines broken between words, or inside a word longer than the width.
    static QTextOption wrapping(Qt::Alignment alignment = Qt::AlignLeft)
    {
        QTextOption option(alignment);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        return option;
    }

    [[nodiscard]] qreal wrappedHeight(const QString& text, qreal width, const QFont& shown,
                                      const QFontMetricsF& metrics) const
    {
        if (metrics.horizontalAdvance(text) <= width)
            return metrics.lineSpacing();
        QTextLayout layout(text, shown, &m_device);
        return layOut(layout, width, metrics, Qt::AlignLeft) * metrics.lineSpacing();
    }

    // The line count.
    static int layOut(QTextLayout& layout, qreal width, const QFontMetricsF& metrics,
                      Qt::Alignment alignment)
    {
        layout.setTextOption(wrapping(alignment));
        layout.beginLayout();
        int lines = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0.0, lines * metrics.lineSpacing()));
            ++lines;
        }
        layout.endLayout();
        return std::max(lines, 1);
    }

    // The text from the rectangle's top in the painter's font, wrapped to
    // its width; its height. advance: the text's on one line, when known.
    qreal drawWrapped(const QString& text, const QRectF& rect, const QFontMetricsF& metrics,
                      Qt::Alignment alignment = Qt::AlignLeft, qreal advance = -1.0)
    {
        if (advance < 0.0)
            advance = metrics.horizontalAdvance(text);
        if (advance <= rect.width()) {
            const qreal x = alignment & Qt::AlignRight ? rect.right() - advance : rect.left();
            m_painter.drawText(QPointF(x, rect.top() + metrics.ascent()), text);
            return metrics.lineSpacing();
        }
        QTextLayout layout(text, m_painter.font(), &m_device);
        const int lines = layOut(layout, rect.width(), metrics, alignment);
        layout.draw(&m_painter, rect.topLeft());
        return lines * metrics.lineSpacing();
    }

    QPagedPaintDevice& m_device;
    QPainter& m_painter;
    QString m_footer;
    qreal m_unit;
    qreal m_width = 0.0;
    qreal m_bottom = 0.0;
    qreal m_y = 0.0;
    int m_page = 1;
    bool m_failed = false;
};

// The widths of names when they do not all fit in `room`: the widest are cut
// to one width, so that short names keep theirs.
void shareRoom(std::vector<qreal>& widths, qreal room)
{
    const qreal total = std::accumulate(widths.begin(), widths.end(), 0.0);
    if (total <= room || widths.empty())
        return;
    std::vector<qreal> sorted = widths;
    std::sort(sorted.begin(), sorted.end());
    qreal below = 0.0; // the widths under the cut
    qreal cut = room / static_cast<qreal>(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const qreal left = static_cast<qreal>(sorted.size() - i);
        cut = (room - below) / left;
        if (sorted[i] >= cut)
            break;
        below += sorted[i];
    }
    for (qreal& width : widths)
        width = std::min(width, cut);
}

void Pages::table(const Table& table)
{
    const QFont plain = font(kTablePoints);
    const QFont bold = font(kTablePoints, true);
    const QFontMetricsF metrics(plain, &m_device);
    const QFontMetricsF boldMetrics(bold, &m_device);
    const qreal gap = pt(6.0);
    const qreal padding = pt(1.5);
    const std::size_t count = table.columns.size();

    // Row 0 is the header, in bold like the rows of standards. Each cell is
    // measured once: shaping a text is most of the time a table takes.
    const auto cell = [&](std::size_t r, std::size_t c) -> const QString& {
        return r == 0 ? table.columns[c].title : table.rows[r - 1].cells[int(c)];
    };
    const auto strong = [&](std::size_t r) { return r == 0 || table.rows[r - 1].strong; };
    std::vector<qreal> advances((table.rows.size() + 1) * count);
    const auto advance = [&](std::size_t r, std::size_t c) -> qreal& {
        return advances[r * count + c];
    };
    // Each column as wide as its widest cell; a header on one line, where a
    // reader of the text finds it.
    std::vector<qreal> natural(count, 0.0);
    for (std::size_t r = 0; r <= table.rows.size(); ++r)
        for (std::size_t c = 0; c < count; ++c) {
            advance(r, c) = (strong(r) ? boldMetrics : metrics).horizontalAdvance(cell(r, c));
            if (r == 0 || table.columns[c].kind != Kind::Text)
                natural[c] = std::max(natural[c], advance(r, c));
        }

    // Parts of the columns that fit across the page, each after the keys;
    // names counted at the least they are given, since they may wrap.
    const auto widthOf = [&](const std::vector<std::size_t>& columns) {
        qreal width = 0.0;
        for (const std::size_t c : columns)
            width += (table.columns[c].kind == Kind::Number ? natural[c]
                                                            : std::min(natural[c], m_width / 4.0)) +
                     gap;
        return width;
    };
    std::vector<std::size_t> keys(table.keys);
    std::iota(keys.begin(), keys.end(), std::size_t{0});
    std::vector<std::vector<std::size_t>> parts{keys};
    for (std::size_t c = table.keys; c < count; ++c) {
        if (widthOf(parts.back()) + natural[c] > m_width && parts.back().size() > keys.size())
            parts.push_back(keys);
        parts.back().push_back(c);
    }

    for (const std::vector<std::size_t>& part : parts) {
        // Numbers take what they need; names share what is left, the text
        // the rest, at least a third of the page.
        std::vector<qreal> widths(part.size());
        std::vector<qreal> names;
        qreal used = gap * static_cast<qreal>(part.size() - 1);
        bool hasText = false;
        for (std::size_t i = 0; i < part.size(); ++i) {
            const Kind kind = table.columns[part[i]].kind;
            if (kind == Kind::Number)
                used += widths[i] = natural[part[i]];
            else if (kind == Kind::Name)
                names.push_back(natural[part[i]]);
            else
                hasText = true;
        }
        qreal nameRoom = std::max(m_width - used - (hasText ? m_width / 3.0 : 0.0), m_width / 4.0);
        shareRoom(names, nameRoom);
        for (std::size_t i = 0, n = 0; i < part.size(); ++i)
            if (table.columns[part[i]].kind == Kind::Name)
                used += widths[i] = names[n++];
        for (std::size_t i = 0; i < part.size(); ++i)
            if (table.columns[part[i]].kind == Kind::Text)
                widths[i] = std::max(m_width - used, m_width / 3.0);
        std::vector<qreal> lefts(part.size(), 0.0);
        for (std::size_t i = 1; i < part.size(); ++i)
            lefts[i] = lefts[i - 1] + widths[i - 1] + gap;
        const qreal right = lefts.back() + widths.back();

        // The wrapped cells of the row measured last, drawn as laid out.
        std::vector<std::unique_ptr<QTextLayout>> laidOut(part.size());
        std::size_t measured = 0;
        const auto rowHeight = [&](std::size_t r) {
            const QFontMetricsF& shown = strong(r) ? boldMetrics : metrics;
            qreal height = shown.lineSpacing();
            measured = r;
            for (std::size_t i = 0; i < part.size(); ++i) {
                laidOut[i].reset();
                if (table.columns[part[i]].kind == Kind::Number || advance(r, part[i]) <= widths[i])
                    continue;
                laidOut[i] = std::make_unique<QTextLayout>(cell(r, part[i]),
                                                           strong(r) ? bold : plain, &m_device);
                height = std::max(height, layOut(*laidOut[i], widths[i], shown, Qt::AlignLeft) *
                                              shown.lineSpacing());
            }
            return height + 2.0 * padding;
        };
        const auto drawRow = [&](std::size_t r, qreal height) {
            m_painter.setFont(strong(r) ? bold : plain);
            m_painter.setPen(Qt::black);
            for (std::size_t i = 0; i < part.size(); ++i) {
                const bool number = table.columns[part[i]].kind == Kind::Number;
                const QRectF box(lefts[i], m_y + padding, widths[i], height - 2.0 * padding);
                if (measured == r && laidOut[i])
                    laidOut[i]->draw(&m_painter, box.topLeft());
                else
                    drawWrapped(cell(r, part[i]), box, strong(r) ? boldMetrics : metrics,
                                number ? Qt::AlignRight : Qt::AlignLeft, advance(r, part[i]));
            }
            m_y += height;
        };
        const qreal headerHeight = rowHeight(0);
        const auto drawHeader = [&] {
            drawRow(0, headerHeight);
            m_painter.setPen(QPen(kRule, pt(0.5)));
            m_painter.drawLine(QPointF(0.0, m_y), QPointF(right, m_y));
        };

        need(headerHeight + metrics.lineSpacing() * 3.0);
        drawHeader();
        for (std::size_t r = 1; r <= table.rows.size(); ++r) {
            const qreal height = rowHeight(r);
            if (m_y + height > m_bottom) {
                newPage();
                drawHeader();
            }
            if (r % 2 == 0)
                m_painter.fillRect(QRectF(0.0, m_y, right, height), kStripe);
            drawRow(r, height);
        }
        space(kBodyPoints);
    }
}

void Pages::chart(const RankedChart& chart)
{
    const QFont shown = font(kTablePoints);
    const QFontMetricsF metrics(shown, &m_device);
    // A chart that a page holds whole is not split.
    need(std::min(chartHeight(chart.size()), m_bottom));
    std::size_t first = 0;
    while (first < chart.size()) {
        const std::size_t count =
            std::min(chart.size() - first, RankedChart::fitting(m_bottom - m_y, metrics));
        const qreal height = RankedChart::height(count, metrics);
        m_painter.setFont(shown);
        chart.paint(m_painter, QRectF(0.0, m_y, m_width, height), first, count);
        m_y += height;
        first += count;
        if (first < chart.size())
            newPage();
    }
    space(kBodyPoints);
}

void Pages::curves(const std::vector<CurveLine>& lines)
{
    const qreal height = curvesHeight(lines);
    need(height);
    PaintCurveChart(m_painter, QRectF(0.0, m_y, m_width, height), lines);
    m_y += height;
    space(kBodyPoints);
}

QString listText(const std::vector<std::string>& items)
{
    QStringList shown;
    for (const std::string& item : items)
        shown.append(textOf(item));
    return shown.join(QStringLiteral(", "));
}

void paintTitle(Pages& pages, const ReportData& data, const QString& made, const QString& version)
{
    const Evaluation& evaluation = data.evaluation;
    pages.heading(QStringLiteral("Evaluation report"), kTitlePoints);
    pages.paragraph((data.trials.size() == 1 ? QStringLiteral("Trial file: %1")
                                             : QStringLiteral("Trial files: %1"))
                        .arg(listText(data.trials)));
    std::vector<std::string> sites;
    std::size_t plots = 0;
    std::size_t refused = 0;
    for (const SiteEvaluation& site : evaluation.sites) {
        sites.push_back(site.name);
        for (const GroupSummary& group : site.summary.groups) {
            plots += group.plots;
            refused += group.refused;
        }
    }
    QString where = sites.size() == 1
                        ? QStringLiteral("Site: %1").arg(listText(sites))
                        : QStringLiteral("%1 sites: %2").arg(sites.size()).arg(listText(sites));
    if (!data.siteColumn.empty())
        where += QStringLiteral(", from the column %1").arg(textOf(data.siteColumn));
    pages.paragraph(where);
    pages.paragraph(QStringLiteral("Plots grouped by the column %1: %2 plots, %3 refused")
                        .arg(textOf(data.groupedBy))
                        .arg(plots)
                        .arg(refused));
    QStringList standards;
    for (const Standard& standard : data.standards)
        standards.append(
            QStringLiteral("%1 = %2").arg(textOf(standard.name), declaredText(standard.value)));
    pages.paragraph(standards.isEmpty()
                        ? QStringLiteral("Standards: none, so no group is placed on the 1–9 scale")
                        : QStringLiteral("Standards (value on the 1–9 scale): %1")
                              .arg(standards.join(QStringLiteral(", "))));
    pages.paragraph(QStringLiteral("Made on %1 by Quarven %2").arg(made, version));
}

void paintFit(Pages& pages, const ReportData& data)
{
    const Evaluation& evaluation = data.evaluation;
    if (data.standards.empty())
        return;
    const bool several = evaluation.sites.size() > 1;
    pages.heading(QStringLiteral("The standards and their fit"), kHeadingPoints);
    pages.paragraph(QStringLiteral("Each site's slope is the scale value per unit of relative "
                                   "AUDPC, fitted through the origin to its standards; a group's "
                                   "scale value is the slope times its mean relative AUDPC."),
                    kBodyPoints, true);
    Table table;
    if (several)
        table.columns.push_back({QStringLiteral("Site"), Kind::Name});
    table.columns.insert(table.columns.end(), {{QStringLiteral("Standard"), Kind::Name},
                                               {QStringLiteral("Declared value"), Kind::Number},
                                               {QStringLiteral("Relative AUDPC"), Kind::Number},
                                               {QStringLiteral("Slope"), Kind::Number},
                                               {QStringLiteral("Fitted value"), Kind::Number},
                                               {QStringLiteral("Deviation"), Kind::Number}});
    table.keys = table.columns.size();
    for (const SiteEvaluation& site : evaluation.sites)
        for (const StandardFit& fit : site.fit) {
            Row row;
            if (several)
                row.cells.append(textOf(site.name));
            row.cells << textOf(fit.standard) << declaredText(fit.value)
                      << numberText(fit.relativeAudpcMean,
                                    kMeasures[kRelativeAudpc].summaryDecimals)
                      << numberText(fit.slope, kSlopeDecimals)
                      << numberText(fit.fitted, kScaleDecimals)
                      << numberText(fit.deviation, kScaleDecimals);
            table.rows.push_back(std::move(row));
        }
    pages.table(table);
    const std::vector<std::string> messages = EvaluationMessages(evaluation);
    if (messages.empty()) {
        pages.paragraph(QStringLiteral("No warning: every standard lies within 2 units of its "
                                       "value, and their relative AUDPC follow their values."));
        return;
    }
    pages.heading(QStringLiteral("Warnings"), kSubheadingPoints);
    for (const std::string& message : messages)
        pages.paragraph(QChar(0x2022) + QLatin1Char(' ') + textOf(message));
}

template <typename Item, typename Rank>
std::vector<const Item*> ranked(const std::vector<Item>& items, Rank rank)
{
    std::vector<const Item*> order;
    for (const Item& item : items)
        order.push_back(&item);
    std::stable_sort(order.begin(), order.end(), [&rank](const Item* a, const Item* b) {
        const std::optional<std::size_t> x = rank(*a);
        const std::optional<std::size_t> y = rank(*b);
        return x && (!y || *x < *y);
    });
    return order;
}

void paintCombined(Pages& pages, const ReportData& data)
{
    const Evaluation& evaluation = data.evaluation;
    if (evaluation.sites.size() < 2)
        return;
    pages.heading(QStringLiteral("Over the sites"), kHeadingPoints);
    pages.paragraph(QStringLiteral("Each site's scale comes from its own standards; the mean, "
                                   "sample SD and coefficient of variation are over the sites "
                                   "that gave the group a scale. Rank 1 is the lowest mean "
                                   "scale, the most resistant."),
                    kBodyPoints, true);
    Table table;
    table.columns = {
        {QStringLiteral("Group"), Kind::Name},        {QStringLiteral("Sites"), Kind::Number},
        {QStringLiteral("Mean scale"), Kind::Number}, {QStringLiteral("SD"), Kind::Number},
        {QStringLiteral("CV, %"), Kind::Number},      {QStringLiteral("Rank"), Kind::Number}};
    for (const SiteEvaluation& site : evaluation.sites)
        table.columns.push_back({textOf(site.name), Kind::Number});
    for (const CombinedGroup* group :
         ranked(evaluation.combined, [](const CombinedGroup& g) { return g.rank; })) {
        Row row;
        row.strong = standardValue(data.standards, group->name).has_value();
        row.cells << textOf(group->name) << countText(group->sites)
                  << numberText(group->mean, kScaleDecimals)
                  << numberText(group->sd, kScaleDecimals) << numberText(group->cv, kScaleDecimals)
                  << (group->rank ? countText(*group->rank) : QString());
        for (const std::optional<double>& scale : group->scales)
            row.cells << numberText(scale, kScaleDecimals);
        table.rows.push_back(std::move(row));
    }
    pages.table(table);

    pages.heading(QStringLiteral("Rank correlation between the sites"), kSubheadingPoints);
    Table pairs;
    pairs.columns = {{QStringLiteral("Site"), Kind::Name},
                     {QStringLiteral("Other site"), Kind::Name},
                     {QStringLiteral("Shared groups"), Kind::Number},
                     {QStringLiteral("Spearman's rho"), Kind::Number}};
    pairs.keys = pairs.columns.size();
    for (const SiteCorrelation& pair : evaluation.correlations)
        pairs.rows.push_back(
            {{textOf(evaluation.sites[pair.first].name), textOf(evaluation.sites[pair.second].name),
              countText(pair.shared), numberText(pair.rho, kRhoDecimals)},
             false});
    pages.table(pairs);
}

void paintSite(Pages& pages, const ReportData& data, const SiteEvaluation& site, bool several)
{
    pages.heading(several ? QStringLiteral("Site %1").arg(textOf(site.name))
                          : QStringLiteral("The groups"),
                  kHeadingPoints);
    pages.heading(QStringLiteral("Ranking"), kSubheadingPoints);
    Table table;
    table.columns = {{QStringLiteral("Group"), Kind::Name},
                     {QStringLiteral("Standard"), Kind::Number},
                     {QStringLiteral("Plots"), Kind::Number},
                     {QStringLiteral("Refused"), Kind::Number},
                     {QStringLiteral("Relative AUDPC"), Kind::Number},
                     {QStringLiteral("SD"), Kind::Number},
                     {QStringLiteral("Scale 1–9"), Kind::Number},
                     {QStringLiteral("Rank"), Kind::Number}};
    std::vector<ChartBar> bars;
    for (const GroupSummary* group :
         ranked(site.summary.groups, [](const GroupSummary& g) { return g.rank; })) {
        const std::optional<double> standard = standardValue(data.standards, group->name);
        Row row;
        row.strong = standard.has_value();
        row.cells << textOf(group->name) << (standard ? declaredText(*standard) : QString())
                  << countText(group->plots) << countText(group->refused)
                  << numberText(group->relativeAudpc().mean,
                                kMeasures[kRelativeAudpc].summaryDecimals)
                  << numberText(group->relativeAudpc().sd,
                                kMeasures[kRelativeAudpc].summaryDecimals)
                  << numberText(group->scale, kScaleDecimals)
                  << (group->rank ? countText(*group->rank) : QString());
        table.rows.push_back(std::move(row));
        bars.push_back({textOf(group->name), group->relativeAudpc().mean, group->relativeAudpc().sd,
                        standard});
    }
    pages.table(table);

    // The heading and its words with the chart's first bars.
    pages.need(pages.chartHeight(std::min<std::size_t>(bars.size(), 10)) +
               pages.pt(kSubheadingPoints + 4.0 * kBodyPoints));
    pages.heading(QStringLiteral("Mean relative AUDPC, ranked"), kSubheadingPoints);
    pages.paragraph(QStringLiteral("Bars: the group's mean relative AUDPC; whiskers: one standard "
                                   "deviation either side; standards in orange, with their value."),
                    kBodyPoints, true);
    pages.chart(RankedChart(std::move(bars)));

    std::vector<CurveLine> lines;
    for (const GroupCurve& curve : data.curves) {
        if (curve.site != site.name || curve.points.empty())
            continue;
        CurveLine line{textOf(curve.group),
                       standardValue(data.standards, curve.group),
                       curve.plots,
                       curve.hasYear,
                       {}};
        for (const CurvePoint& point : curve.points)
            line.points.emplace_back(point.day, point.level);
        lines.push_back(std::move(line));
    }
    if (lines.empty())
        return;
    // The heading and its words on the chart's page.
    pages.need(pages.curvesHeight(lines) + pages.pt(kSubheadingPoints + 4.0 * kBodyPoints));
    pages.heading(QStringLiteral("Mean disease progress curves"), kSubheadingPoints);
    pages.paragraph(QStringLiteral("The standards (dashed) and the %1 most resistant groups: at "
                                   "each date, the mean level over the group's plots, a plot not "
                                   "assessed that day read off the line between its own "
                                   "assessments.")
                        .arg(kMostResistantDrawn),
                    kBodyPoints, true);
    pages.curves(lines);
}

void paintRefused(Pages& pages, const ReportData& data)
{
    pages.heading(QStringLiteral("Refused plots"), kHeadingPoints);
    if (data.refused.empty()) {
        pages.paragraph(QStringLiteral("No plot was refused."));
        return;
    }
    const bool several = data.evaluation.sites.size() > 1;
    Table table;
    if (several)
        table.columns.push_back({QStringLiteral("Site"), Kind::Name});
    table.columns.insert(table.columns.end(), {{QStringLiteral("Plot"), Kind::Name},
                                               {QStringLiteral("Group"), Kind::Name},
                                               {QStringLiteral("Why"), Kind::Text}});
    table.keys = table.columns.size();
    for (const RefusedPlot& plot : data.refused) {
        Row row;
        if (several)
            row.cells.append(textOf(plot.site));
        row.cells << textOf(plot.plot) << textOf(plot.group) << textOf(plot.message);
        table.rows.push_back(std::move(row));
    }
    pages.table(table);
}

QString madeOn(const ReportData& data)
{
    return data.made.empty() ? QDate::currentDate().toString(Qt::ISODate)
                             : QString::fromStdString(data.made);
}

QString versionOf(const ReportData& data)
{
    return QString::fromUtf8(data.version.empty() ? app::kVersion : data.version.c_str());
}

void fail(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
}

} // namespace

bool PaintReport(const ReportData& data, QPagedPaintDevice& device, QString* why)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        fail(why, QStringLiteral("a report is painted only once a QGuiApplication exists"));
        return false;
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        fail(why, QStringLiteral("the report's pages could not be begun"));
        return false;
    }
    const QString made = madeOn(data);
    const QString version = versionOf(data);
    Pages pages(device, painter,
                QStringLiteral("Quarven %1 · %2 · %3").arg(version, listText(data.trials), made));
    paintTitle(pages, data, made, version);
    paintFit(pages, data);
    paintCombined(pages, data);
    const bool several = data.evaluation.sites.size() > 1;
    for (const SiteEvaluation& site : data.evaluation.sites)
        paintSite(pages, data, site, several);
    paintRefused(pages, data);
    const bool ended = painter.end();
    if (pages.failed() || !ended) {
        fail(why, QStringLiteral("the report's pages could not be finished"));
        return false;
    }
    return true;
}

bool ReportPdf(const ReportData& data, QByteArray& pdf, QString* why)
{
    pdf.clear();
    QBuffer buffer(&pdf);
    if (!buffer.open(QIODevice::WriteOnly)) {
        fail(why, buffer.errorString());
        return false;
    }
    QPdfWriter writer(&buffer);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15.0, 15.0, 15.0, 15.0), QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Evaluation report: %1").arg(listText(data.trials)));
    writer.setCreator(QStringLiteral("Quarven %1").arg(versionOf(data)));
    if (!PaintReport(data, writer, why))
        return false;
    buffer.close();
    return true;
}

bool WriteReport(const ReportData& data, const QString& path, QString* why)
{
    QByteArray pdf;
    if (!ReportPdf(data, pdf, why))
        return false;
    std::string reason;
    if (!WriteWholeFile(path, pdf.toStdString(), reason)) {
        fail(why, QString::fromStdString(reason));
        return false;
    }
    return true;
}

} // namespace quarven
