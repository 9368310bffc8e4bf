#include "summary_table.h"

#include "ui/trial_model.h"

#include <QAction>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>

#include <algorithm>

namespace quarven {
namespace {

// A row as high as a spreadsheet's: the text and a little air.
void denseRows(QTableView* view)
{
    const int height = view->fontMetrics().height() + 6;
    view->verticalHeader()->setMinimumSectionSize(height);
    view->verticalHeader()->setDefaultSectionSize(height);
}

} // namespace

SummaryTable::SummaryTable(QWidget* parent, QSettings* settings)
    : QTableView(parent), m_frozen(new QTableView(this)), m_columns(new QMenu(this)),
      m_settings(settings ? settings
                          : new QSettings(QCoreApplication::applicationName(),
                                          QCoreApplication::applicationName()))
{
    m_settings->setParent(this);
    denseRows(this);
    denseRows(m_frozen);
    setHorizontalScrollMode(ScrollPerPixel);
    m_columns->setTitle(tr("Columns"));
    m_columns->setObjectName(QStringLiteral("summaryColumns"));
    m_columns->setAccessibleName(tr("Columns shown"));

    m_frozen->setObjectName(QStringLiteral("summaryGroups"));
    m_frozen->setAccessibleName(tr("Groups"));
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setEditTriggers(NoEditTriggers);
    m_frozen->setSelectionBehavior(SelectRows);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->verticalHeader()->hide();
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->horizontalHeader()->setSortIndicatorShown(true);
    m_frozen->horizontalHeader()->setSectionsClickable(true);
    viewport()->stackUnder(m_frozen);

    // A click on either header sorts the whole table; the indicator follows.
    connect(m_frozen->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                // Set on the frozen header from this one's, it has been sorted.
                if (horizontalHeader()->sortIndicatorSection() != column ||
                    horizontalHeader()->sortIndicatorOrder() != order)
                    horizontalHeader()->setSortIndicator(column, order);
            });
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, m_frozen->horizontalHeader(),
            &QHeaderView::setSortIndicator);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column == 0) {
            m_frozen->setColumnWidth(0, columnWidth(0));
            placeFrozen();
        }
    });
    connect(m_frozen->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                if (column == 0)
                    setColumnWidth(0, size);
            });
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(m_frozen, &QAbstractItemView::pressed, this, [this] { setFocus(); });
    for (QHeaderView* header : {horizontalHeader(), m_frozen->horizontalHeader()}) {
        header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(header, &QWidget::customContextMenuRequested, this, [this, header](QPoint at) {
            m_columns->popup(header->viewport()->mapToGlobal(at));
        });
    }
}

void SummaryTable::setModel(QAbstractItemModel* model)
{
    QTableView::setModel(model);
    m_frozen->setModel(model);
    m_frozen->setSelectionModel(selectionModel());
    if (model)
        // A site column comes and goes with the sites: the columns shown are
        // found again by their names.
        connect(model, &QAbstractItemModel::modelReset, this, &SummaryTable::applyColumns);
    applyColumns();
}

void SummaryTable::applyColumns()
{
    m_columns->clear();
    QAbstractItemModel* model = this->model();
    if (!model)
        return;
    const std::vector<bool> shown = ShownSummaryColumns(*m_settings, *model);
    for (int column = 0; column < model->columnCount(); ++column) {
        m_frozen->setColumnHidden(column, column != 0);
        const bool on = std::size_t(column) >= shown.size() || shown[std::size_t(column)];
        setColumnHidden(column, !on);
        if (column == 0)
            continue;
        auto* action = m_columns->addAction(model->headerData(column, Qt::Horizontal).toString());
        action->setToolTip(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString());
        action->setCheckable(true);
        action->setChecked(on);
        connect(action, &QAction::toggled, this,
                [this, column](bool checked) { showColumn(column, checked); });
    }
    m_columns->setToolTipsVisible(true);
    fitColumns();
}

void SummaryTable::showColumn(int column, bool shown)
{
    setColumnHidden(column, !shown);
    if (shown)
        fitColumn(column);
    std::vector<bool> kept;
    for (int at = 0; at < model()->columnCount(); ++at)
        kept.push_back(!isColumnHidden(at));
    RememberSummaryColumns(*m_settings, *model(), kept);
    m_settings->sync();
    placeFrozen();
    updateGeometry();
}

// Each column as wide as its words or its widest value of the first few
// hundred groups; a long group name is cut rather than pushing the numbers
// off the screen. A hidden column is measured when it is shown.
void SummaryTable::fitColumns()
{
    horizontalHeader()->setResizeContentsPrecision(300);
    for (int column = 0; column < model()->columnCount(); ++column)
        if (!isColumnHidden(column))
            fitColumn(column);
    m_frozen->setColumnWidth(0, columnWidth(0));
    placeFrozen();
    updateGeometry();
}

void SummaryTable::fitColumn(int column)
{
    const int width =
        std::max(horizontalHeader()->sectionSizeHint(column), sizeHintForColumn(column));
    const int widestName = fontMetrics().averageCharWidth() * 24;
    setColumnWidth(column, column == 0 ? std::min(width, widestName) : width);
}

QSize SummaryTable::sizeHint() const
{
    QSize size = QTableView::sizeHint();
    if (model())
        size.setWidth(horizontalHeader()->length() + 2 * frameWidth() +
                      verticalScrollBar()->sizeHint().width());
    return size;
}

void SummaryTable::placeFrozen()
{
    if (m_frozen->horizontalHeader()->height() != horizontalHeader()->height())
        m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    m_frozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), columnWidth(0),
                          viewport()->height() + horizontalHeader()->height());
}

void SummaryTable::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    placeFrozen();
}

void SummaryTable::updateGeometries()
{
    QTableView::updateGeometries();
    placeFrozen();
}

// A cell is never left under the group's column: the rows scroll to it as
// usual, the columns only as far as the group's column lets it be seen.
void SummaryTable::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    const int across = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid() || index.column() == 0) {
        horizontalScrollBar()->setValue(across);
        return;
    }
    const int hidden = columnWidth(0) - visualRect(index).left();
    if (hidden > 0)
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - hidden);
}

} // namespace quarven
