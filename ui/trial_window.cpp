#include "trial_window.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "entry/plot_file.h"
#include "trial/site_evaluation.h"
#include "trial/trial_summary.h"
#include "trial/trial_table.h"
#include "ui/curve_loader.h"
#include "ui/data_actions.h"
#include "ui/summary_table.h"
#include "ui/trial_reports.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <utility>

namespace quarven {
namespace {

QTableView* tableView(QWidget* parent, const char* name, const QString& accessible,
                      const QString& description, QAbstractItemModel* model,
                      QTableView* view = nullptr)
{
    if (!view)
        view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setAccessibleName(accessible);
    view->setAccessibleDescription(description);
    view->setModel(model);
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setTabKeyNavigation(false);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setSortIndicatorShown(true);
    view->sortByColumn(-1, Qt::AscendingOrder);
    return view;
}

template <typename Proxy = QSortFilterProxyModel>
Proxy* proxyOver(QAbstractItemModel* source, QObject* parent)
{
    auto* proxy = new Proxy(parent);
    proxy->setSourceModel(source);
    proxy->setSortRole(kSortRole);
    proxy->setFilterKeyColumn(-1);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    return proxy;
}

QString suggestedName(const QString& trial, const QString& ending)
{
    const QFileInfo info(trial);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("csv") : info.suffix();
    return info.dir().filePath(info.completeBaseName() + ending + QLatin1Char('.') + suffix);
}

// The rows a view shows selected, in its order, from the selection's ranges:
// a million selected plots are one range, not a million indexes.
std::vector<int> selectedRows(const QTableView* view)
{
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : view->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    std::sort(ranges.begin(), ranges.end());
    std::vector<int> rows;
    for (const auto& [top, bottom] : ranges)
        for (int row = std::max(top, rows.empty() ? top : rows.back() + 1); row <= bottom; ++row)
            rows.push_back(row);
    if (rows.empty() && view->currentIndex().isValid())
        rows.push_back(view->currentIndex().row());
    return rows;
}

// A key that is one of the window's actions' own.
bool isShortcut(const QKeyEvent* key, const std::vector<QAction*>& actions)
{
    const QKeySequence typed(key->keyCombination());
    return std::any_of(actions.begin(), actions.end(),
                       [&](const QAction* action) { return action->shortcut() == typed; });
}

// Plots on the clipboard, made text when a program first asks for it: a
// million plots are some 60 MB, and Copy need not wait for them.
class CopiedPlotsData final : public QMimeData {
public:
    CopiedPlotsData(std::shared_ptr<const TrialSites> sites, std::vector<std::uint32_t> rows,
                    char mark)
        : m_sites(std::move(sites)), m_rows(std::move(rows)), m_mark(mark)
    {
    }

    [[nodiscard]] QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    [[nodiscard]] bool hasFormat(const QString& type) const override
    {
        return type == QLatin1String("text/plain");
    }

protected:
    [[nodiscard]] QVariant retrieveData(const QString& type, QMetaType) const override
    {
        if (type != QLatin1String("text/plain"))
            return {};
        if (m_sites) {
            m_text = CopiedPlots(*m_sites, m_rows, m_mark);
            m_sites.reset();
            std::vector<std::uint32_t>().swap(m_rows);
        }
        return m_text;
    }

private:
    mutable std::shared_ptr<const TrialSites> m_sites;
    mutable std::vector<std::uint32_t> m_rows;
    char m_mark;
    mutable QByteArray m_text;
};

// The summary's grouping, for the standards typed in it.
std::string groupingKey(const std::string& name, int occurrence)
{
    return name + '\x1f' + std::to_string(occurrence);
}

// Where the window offers an action besides its key.
enum Offered : unsigned { kKeyOnly = 0, kInMenu = 1, kAsButton = 2, kBeginsGroup = 4 };

struct ActionRow {
    const char* text; // none for a key alone
    QKeySequence key;
    std::function<void(TrialWindow*)> slot;
    unsigned offered;
    QAction** held = nullptr; // where the window keeps the action, to enable it
};

// A site is named by its file: the name without folder and extension.
std::string siteName(const QString& path)
{
    return QFileInfo(path).completeBaseName().toStdString();
}

// One file under two paths is one site.
QString samePlace(const QString& path)
{
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    return real.isEmpty() ? info.absoluteFilePath() : real;
}

QString quotedName(const std::string& name)
{
    return QString::fromStdString(QuotedName(name));
}

} // namespace

// A file the window reads, and what it gave.

TrialWindow::TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_data(dataActions),
      m_plotsModel(new TrialPlotsModel(this)), m_summaryModel(new TrialSummaryModel(this)),
      m_summaryProxy(proxyOver<SiteFilterProxy>(m_summaryModel, this)),
      m_combinedModel(new EvaluationTableModel(EvaluationTableModel::Table::Combined, this)),
      m_fitModel(new EvaluationTableModel(EvaluationTableModel::Table::Fit, this)),
      m_correlationModel(new EvaluationTableModel(EvaluationTableModel::Table::Correlations, this)),
      m_filter(new QLineEdit(this)), m_groupBy(new QComboBox(this)),
      m_siteFilter(new QComboBox(this)), m_messages(new QListWidget(this)),
      m_status(new QLabel(this)), m_watcher(new QFileSystemWatcher(this)),
      m_settle(new QTimer(this)), m_progress(new QTimer(this)), m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("TrialWindow"));
    nameControls();
    makeViews();
    QLayout* filter = filterRow();
    QWidget* plots = plotsBesideSummary();
    QLayout* buttons = makeActions();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(plots, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    setTabOrder(m_filter, m_groupBy);
    setTabOrder(m_groupBy, m_plots);
    setTabOrder(m_plots, m_tabs);
    setTabOrder(m_tabs, m_siteFilter);
    setTabOrder(m_siteFilter, m_summary);
    resize(1000, 560);
    connectControls();
    followWrites();
}

// The views outlive the tables while the widget tree is taken down.
TrialWindow::~TrialWindow()
{
    for (const std::unique_ptr<Site>& site : m_sites)
        site->loader->cancel();
    m_plotsModel->setSites(nullptr);
}

void TrialWindow::nameControls()
{
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setAccessibleName(tr("Filter"));
    m_filter->setAccessibleDescription(tr("Keeps the plots that hold this text in any column"));
    m_filter->setClearButtonEnabled(true);
    for (QToolButton* clear : m_filter->findChildren<QToolButton*>())
        clear->setAccessibleName(tr("Clear the filter"));
    m_groupBy->setObjectName(QStringLiteral("groupBy"));
    m_groupBy->setAccessibleName(tr("Group by"));
    m_siteFilter->setObjectName(QStringLiteral("siteFilter"));
    m_siteFilter->setAccessibleName(tr("Site"));
    m_siteFilter->setAccessibleDescription(
        tr("Shows the groups of one site in the summary and its chart, or of every site"));
    m_messages->setObjectName(QStringLiteral("warnings"));
    m_messages->setAccessibleName(tr("Warnings and notices"));
    m_messages->setAccessibleDescription(
        tr("Standards fitted far from their values or running against them, and sites left "
           "without a scale or out of the summary"));
    m_messages->setWordWrap(true);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
}

void TrialWindow::makeViews()
{
    m_plots = tableView(this, "plots", tr("Plots"),
                        tr("Every plot of the trial with its results; refused plots are shaded "
                           "and give their message. Enter opens a plot in the calculator."),
                        m_plotsModel);
    m_plots->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A header asks once a selection changes whether all rows of each of its
    // columns are selected, a million rows for each column: its own empty
    // selection spares it. Rows are selected, never columns.
    m_plots->horizontalHeader()->setSelectionModel(new QItemSelectionModel(m_plotsModel, m_plots));
    m_summary = tableView(this, "summary", tr("Summary"),
                          tr("One row per group, at each site: counts, means and standard "
                             "deviations, rank and scale. Type a standard's value on the 1-9 "
                             "scale in its standard column; it holds at every site."),
                          m_summaryProxy, new SummaryTable(this));
    m_summary->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_combined = tableView(this, "combined", tr("Combined table"),
                           tr("One row per group over the sites: the sites that gave it a "
                              "scale, the mean, standard deviation and coefficient of variation "
                              "of its scale values, its rank, and its scale at each site."),
                           proxyOver(m_combinedModel, this));
    m_fit = tableView(this, "fit", tr("Standards' fit"),
                      tr("Each site's standards: the declared value, the mean relative AUDPC, "
                         "the slope of the site's scale, the fitted value and its deviation."),
                      proxyOver(m_fitModel, this));
    m_correlations = tableView(
        this, "correlations", tr("Rank correlations between sites"),
        tr("Spearman's rank correlation of the groups' mean relative AUDPC between each pair of "
           "sites, over the groups computed at both, with their number."),
        proxyOver(m_correlationModel, this));
    for (QTableView* view : {m_combined, m_fit, m_correlations})
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QLayout* TrialWindow::filterRow()
{
    auto* filterLabel = new QLabel(tr("&Filter:"), this);
    filterLabel->setBuddy(m_filter);
    auto* groupLabel = new QLabel(tr("&Group by:"), this);
    groupLabel->setBuddy(m_groupBy);
    auto* row = new QHBoxLayout;
    row->addWidget(filterLabel);
    row->addWidget(m_filter, 1);
    row->addWidget(groupLabel);
    row->addWidget(m_groupBy);
    return row;
}

// The summary and the combined view at the side, shown while the plots are
// grouped, with the evaluation's warnings under them whichever is shown.
QWidget* TrialWindow::plotsBesideSummary()
{
    m_side = new QWidget(this);
    m_side->setObjectName(QStringLiteral("compare"));
    m_tabs = new QTabWidget(m_side);
    m_tabs->setObjectName(QStringLiteral("views"));
    m_tabs->setAccessibleName(tr("Summary or combined view"));
    m_tabs->addTab(summaryPage(), tr("Summar&y"));
    m_tabs->addTab(combinedPage(), tr("Com&bined"));
    m_tabs->setTabToolTip(1, tr("The sites compared (Ctrl+B)"));
    m_messagesLabel = new QLabel(tr("&Warnings and notices:"), m_side);
    m_messagesLabel->setBuddy(m_messages);
    m_messages->setParent(m_side);
    m_messages->setMaximumHeight(fontMetrics().lineSpacing() * 5);
    auto* sideLayout = new QVBoxLayout(m_side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_tabs, 1);
    sideLayout->addWidget(m_messagesLabel);
    sideLayout->addWidget(m_messages);
    m_side->hide();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_plots);
    splitter->addWidget(m_side);
    return splitter;
}

QWidget* TrialWindow::summaryPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("summaryPage"));
    m_siteLabel = new QLabel(tr("S&ite:"), page);
    m_siteLabel->setBuddy(m_siteFilter);
    m_siteFilter->setParent(page);
    auto* siteRow = new QHBoxLayout;
    siteRow->addWidget(m_siteLabel);
    siteRow->addWidget(m_siteFilter);
    siteRow->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(siteRow);
    m_summary->setParent(page);
    layout->addWidget(m_summary, 1);
    return page;
}

QWidget* TrialWindow::combinedPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("combinedPage"));
    // One above the other, so that the fit's slope and fitted values are in
    // view without scrolling.
    auto* splitter = new QSplitter(Qt::Vertical, page);
    splitter->addWidget(m_combined);
    splitter->addWidget(m_fit);
    splitter->addWidget(m_correlations);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setStretchFactor(2, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(splitter);
    return page;
}

// An action is one row: the menu and the buttons offer the actions in the
// order of the rows, and a stretch parts the buttons before a row that
// begins a group.
QLayout* TrialWindow::makeActions()
{
    const ActionRow rows[] = {
        {QT_TR_NOOP("Go to plot"), QKeySequence(Qt::CTRL | Qt::Key_Return), &TrialWindow::goToPlot,
         kInMenu | kAsButton},
        {QT_TR_NOOP("Copy"), QKeySequence::Copy, &TrialWindow::copyRows, kInMenu | kAsButton},
        {QT_TR_NOOP("Export plots..."), QKeySequence(Qt::CTRL | Qt::Key_E),
         &TrialWindow::exportPlots, kInMenu | kAsButton},
        {QT_TR_NOOP("Export summary..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
         &TrialWindow::exportSummary, kInMenu | kAsButton},
        {QT_TR_NOOP("Export fit..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
         &TrialWindow::exportFit, kInMenu | kAsButton, &m_exportFit},
        {QT_TR_NOOP("Export combined..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B),
         &TrialWindow::exportCombined, kInMenu | kAsButton, &m_exportCombined},
        {QT_TR_NOOP("Combined view"), QKeySequence(Qt::CTRL | Qt::Key_B),
         &TrialWindow::toggleCombined, kInMenu, &m_toggleCombined},
        {QT_TR_NOOP("Curves..."), QKeySequence(Qt::CTRL | Qt::Key_G), &TrialReports::showCurves,
         kInMenu | kAsButton},
        {QT_TR_NOOP("Export report..."), QKeySequence(Qt::CTRL | Qt::Key_R),
         &TrialReports::exportReport, kInMenu | kAsButton},
        {QT_TR_NOOP("Print..."), QKeySequence::Print, &TrialReports::print, kInMenu | kAsButton},
        {QT_TR_NOOP("Find"), QKeySequence::Find, &TrialWindow::findPlots,
         kInMenu | kAsButton | kBeginsGroup},
        {QT_TR_NOOP("Close"), QKeySequence(Qt::Key_Escape), &QWidget::close, kInMenu | kAsButton},
        // As the Menu key does, over the focused control.
        {nullptr, QKeySequence(Qt::SHIFT | Qt::Key_F10), &TrialWindow::menuFromKeyboard, kKeyOnly},
    };
    auto* buttons = new QHBoxLayout;
    for (const ActionRow& row : rows) {
        auto* entry = new QAction(row.text ? tr(row.text) : QString(), this);
        entry->setShortcut(row.key);
        entry->setShortcutContext(Qt::WindowShortcut);
        addAction(entry);
        connect(entry, &QAction::triggered, this, [this, slot = row.slot] { slot(this); });
        m_actions.push_back(entry);
        if (row.held) {
            *row.held = entry;
            entry->setEnabled(false);
        }
        if (row.offered & kInMenu)
            m_menu->addAction(entry);
        if (row.offered & kBeginsGroup)
            buttons->addStretch();
        if (row.offered & kAsButton) {
            auto* button = new QPushButton(entry->text(), this);
            button->setToolTip(row.key.toString(QKeySequence::NativeText));
            button->setEnabled(entry->isEnabled());
            connect(button, &QPushButton::clicked, entry, &QAction::trigger);
            connect(entry, &QAction::enabledChanged, button, &QWidget::setEnabled);
            buttons->addWidget(button);
        }
    }
    return buttons;
}

void TrialWindow::connectControls()
{
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_plotsModel->setFilter(text);
        filterSummary();
        updateStatus();
    });
    m_filter->installEventFilter(this);
    // Not activated: a platform may activate on a single click.
    connect(m_plots, &QAbstractItemView::doubleClicked, this, &TrialWindow::goToPlot);
    m_plots->installEventFilter(this);
    connect(m_groupBy, &QComboBox::currentIndexChanged, this, &TrialWindow::chooseGrouping);
    connect(m_siteFilter, &QComboBox::currentIndexChanged, this, [this](int at) {
        m_summaryProxy->setSite(at - 1);
        drawChart();
    });
    connect(m_summaryModel, &TrialSummaryModel::standardsChanged, this, [this] {
        // Out of the editor's own commit.
        QTimer::singleShot(0, this, &TrialWindow::regroup);
    });
    connect(m_summaryModel, &TrialSummaryModel::standardRefused, this, [this](const QString& why) {
        m_standardsNote = why;
        updateStatus();
    });
    connect(&m_data, &DataActions::settingsChanged, this, &TrialWindow::settingsChanged);
    // The chart follows the summary's sort and filter.
    connect(m_summaryProxy, &QAbstractItemModel::layoutChanged, this, &TrialWindow::drawChart);
    connect(m_summaryProxy, &QAbstractItemModel::rowsInserted, this, &TrialWindow::drawChart);
    connect(m_summaryProxy, &QAbstractItemModel::rowsRemoved, this, &TrialWindow::drawChart);
}

// A spreadsheet saves in several writes, some by a new file renamed over the
// old, some by removing the file and writing it again: read once the writes
// have settled. A folder tells when a removed file comes back.
void TrialWindow::followWrites()
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(250);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
        for (const std::unique_ptr<Site>& site : m_sites)
            if (site->table && site->path == path)
                site->changed = true;
        m_settle->start();
    });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        for (const std::unique_ptr<Site>& site : m_sites)
            if (site->table && !m_watcher->files().contains(site->path) &&
                QFileInfo(site->path).isFile()) {
                site->changed = true;
                m_settle->start();
            }
    });
    connect(m_settle, &QTimer::timeout, this, &TrialWindow::fileChanged);
    m_progress->setInterval(250);
    connect(m_progress, &QTimer::timeout, this, &TrialWindow::showProgress);
}

void TrialWindow::showProgress()
{
    QStringList reading;
    for (const std::unique_ptr<Site>& site : m_sites)
        if (site->loader->busy())
            reading.append(tr("Reading %1: %2 %")
                               .arg(QFileInfo(site->loader->current().path).fileName())
                               .arg(site->loader->percent()));
    if (reading.isEmpty())
        m_progress->stop();
    m_progressNote = reading.join(QLatin1Char('\n'));
    updateStatus();
}

void TrialWindow::findPlots()
{
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
}

void TrialWindow::toggleCombined()
{
    if (!m_side->isVisible())
        return;
    const bool combined = m_tabs->currentIndex() == 0;
    m_tabs->setCurrentIndex(combined ? 1 : 0);
    (combined ? m_combined : m_summary)->setFocus(Qt::ShortcutFocusReason);
}

void TrialWindow::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
}

// Sent to the focused control, which answers as it does to the Menu key: the
// filter box with its own menu, the others with the window's.
void TrialWindow::menuFromKeyboard()
{
    QWidget* focused = focusWidget() ? focusWidget() : this;
    QPoint at = focused->rect().center();
    if (auto* view = qobject_cast<QTableView*>(focused)) {
        const QRect cell = view->visualRect(view->currentIndex());
        if (cell.isValid())
            at = view->viewport()->mapTo(view, cell.center());
    }
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at));
    QCoreApplication::sendEvent(focused, &event);
}

bool TrialWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_plots && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            goToPlot();
            return true;
        }
    }
    // The box would take Ctrl+E and others as its own editing keys; Copy
    // stays its own while it has text selected.
    if (watched == m_filter && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool copiesText = key->matches(QKeySequence::Copy) && m_filter->hasSelectedText();
        if (!copiesText && isShortcut(key, m_actions)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// The site shown under this name: names are told apart when sites are added,
// and one replacing another takes its place once read.
TrialWindow::Site* TrialWindow::siteNamed(const std::string& name) const
{
    for (const std::unique_ptr<Site>& site : m_sites)
        if (site->table && site->name == name)
            return site.get();
    return nullptr;
}

bool TrialWindow::reading() const
{
    return std::any_of(m_sites.begin(), m_sites.end(),
                       [](const std::unique_ptr<Site>& site) { return site->loader->busy(); });
}

bool TrialWindow::holds(const QString& path) const
{
    const QString place = samePlace(path);
    return std::any_of(m_sites.begin(), m_sites.end(), [&](const std::unique_ptr<Site>& site) {
        return samePlace(site->path) == place;
    });
}

QStringList TrialWindow::siteNames() const
{
    QStringList names;
    for (const std::unique_ptr<Site>& site : m_sites)
        names.append(QString::fromStdString(site->name));
    return names;
}

void TrialWindow::load(const QString& path)
{
    open(path, true);
}

void TrialWindow::loadSites(const QStringList& paths)
{
    for (qsizetype at = 0; at < paths.size(); ++at)
        if (at == 0)
            open(paths[at], true);
        else
            addSite(paths[at]);
}

// Read again when it is open already; two sites of one name cannot be told
// apart in the outputs.
void TrialWindow::addSite(const QString& path)
{
    const std::string name = siteName(path);
    for (const std::unique_ptr<Site>& site : m_sites) {
        if (samePlace(site->path) == samePlace(path)) {
            if (site->table)
                readAgain(*site, false);
            return;
        }
        if (site->name == name) {
            m_dialogs.message("The trial " + path.toStdString() + " is not opened: a site named " +
                              QuotedName(name) + " is open already, from " +
                              site->path.toStdString());
            return;
        }
    }
    open(path, false);
}

void TrialWindow::open(const QString& path, bool replacing)
{
    auto site = std::make_unique<Site>();
    site->path = path;
    site->name = siteName(path);
    site->replacing = replacing;
    Site* at = site.get();
    if (replacing)
        for (const std::unique_ptr<Site>& before : m_sites)
            if (!before->replacedBy)
                before->replacedBy = at;
    site->loader =
        new TrialLoader([this, at](TrialLoaded result) { loaded(*at, std::move(result)); }, this);
    m_sites.push_back(std::move(site));
    if (!m_plotsModel->sites())
        updateTitle();
    startLoad(*at, kOpen, false);
}

// Its loader may be handing over the very result that drops it.
void TrialWindow::drop(Site* site)
{
    site->loader->cancel();
    site->loader->deleteLater();
    for (const std::unique_ptr<Site>& each : m_sites)
        if (each->replacedBy == site)
            each->replacedBy = nullptr;
    m_sites.erase(
        std::find_if(m_sites.begin(), m_sites.end(),
                     [site](const std::unique_ptr<Site>& each) { return each.get() == site; }));
}

void TrialWindow::startLoad(Site& site, Purpose purpose, bool settle)
{
    const BatchSettings settings = m_data.batchSettings();
    const FileReading how = m_data.readingOf(site.path);
    site.loader->load({site.path, settings.year, settings.defaultPeriod, settle, purpose,
                       how.reading, how.sheet});
    m_progress->start();
}

// The file followed, or the period changed. A site still being opened is
// read with the period of its own checking once it comes.
void TrialWindow::readAgain(Site& site, bool settle)
{
    if (!site.table)
        return;
    startLoad(site, kFollow, settle);
}

void TrialWindow::loaded(Site& site, TrialLoaded result)
{
    m_progressNote.clear();
    const QString& path = result.load.path;
    if (!result.table) {
        const std::string message =
            "The file cannot be read: " + path.toStdString() + ": " + result.why;
        if (result.load.purpose == kFollow) {
            site.readNote = QString::fromStdString(message);
            updateStatus();
            return;
        }
        drop(&site);
        updateStatus();
        const QPointer<TrialWindow> self(this);
        m_dialogs.message(message);
        if (self && m_sites.empty())
            close();
        return;
    }
    if (std::exchange(site.replacing, false)) {
        std::vector<Site*> others;
        for (const std::unique_ptr<Site>& each : m_sites)
            if (each->replacedBy == &site)
                others.push_back(each.get());
        for (Site* other : others)
            drop(other);
    }
    site.readNote.clear();
    site.table = result.table;
    if (result.load.purpose == kOpen)
        follow();
    showSites();
    if (result.load.purpose == kFollow && result.load.settle)
        followShownPlot(site);
    // The period changed while the file was read.
    const BatchSettings settings = m_data.batchSettings();
    if (settings.defaultPeriod != result.table->defaultPeriod ||
        settings.year != result.table->year)
        readAgain(site, false);
}

// The sort, the filter and the grouping stay; the selection and the current
// cell follow their plots into the new tables.
void TrialWindow::showSites()
{
    std::vector<SiteTable> tables;
    for (const std::unique_ptr<Site>& site : m_sites)
        if (site->table)
            tables.push_back({site->name, site->table});
    auto sites = std::make_shared<const TrialSites>(std::move(tables));
    const std::shared_ptr<const TrialSites> before = m_plotsModel->sites();
    std::vector<std::uint32_t> selected;
    std::vector<std::uint32_t> current;
    const int currentColumn = std::max(0, m_plots->currentIndex().column());
    if (before) {
        if (m_plots->selectionModel()->hasSelection())
            for (const int row : selectedRows(m_plots))
                selected.push_back(std::uint32_t(m_plotsModel->tableRow(row)));
        if (m_plots->currentIndex().isValid())
            current.push_back(std::uint32_t(m_plotsModel->tableRow(m_plots->currentIndex().row())));
        selected = SameSitePlots(*before, *sites, selected);
        current = SameSitePlots(*before, *sites, current);
    }
    const Qt::SortOrder order = m_plots->horizontalHeader()->sortIndicatorOrder();
    m_plotsModel->setSites(sites);
    if (m_plots->horizontalHeader()->sortIndicatorSection() != m_plotsModel->sortColumn())
        m_plots->horizontalHeader()->setSortIndicator(m_plotsModel->sortColumn(), order);
    reselect(selected, current, currentColumn);
    updateTitle();
    fillGroupBy(*sites);
    regroup();
    updateStatus();
    emit tableShown();
}

// Selected in ranges of rows shown together, not row by row.
void TrialWindow::reselect(const std::vector<std::uint32_t>& selected,
                           const std::vector<std::uint32_t>& current, int column)
{
    std::vector<int> shown;
    for (const std::uint32_t row : selected)
        if (const int at = m_plotsModel->shownRow(row); at >= 0)
            shown.push_back(at);
    std::sort(shown.begin(), shown.end());
    QItemSelection selection;
    const int last = m_plotsModel->columnCount() - 1;
    for (std::size_t i = 0; i < shown.size();) {
        std::size_t j = i;
        while (j + 1 < shown.size() && shown[j + 1] == shown[j] + 1)
            ++j;
        selection.select(m_plotsModel->index(shown[i], 0), m_plotsModel->index(shown[j], last));
        i = j + 1;
    }
    if (!current.empty())
        if (const int at = m_plotsModel->shownRow(current.front()); at >= 0)
            m_plots->selectionModel()->setCurrentIndex(
                m_plotsModel->index(at, std::min(column, last)), QItemSelectionModel::NoUpdate);
    if (!selection.isEmpty())
        m_plots->selectionModel()->select(selection, QItemSelectionModel::Select);
}

void TrialWindow::fillGroupBy(const TrialSites& sites)
{
    const QSignalBlocker blocker(m_groupBy);
    m_groupBy->clear();
    m_groupBy->addItem(tr("(none)"));
    int grouped = 0;
    int occurrence = 0;
    for (std::size_t i = 0; i < sites.copiedNames().size(); ++i) {
        const std::string& name = sites.copiedNames()[i];
        m_groupBy->addItem(ShownText(name));
        if (name == m_groupName && occurrence++ == m_groupOccurrence)
            grouped = int(i) + 1;
    }
    m_groupBy->setCurrentIndex(grouped);
    if (grouped == 0)
        m_groupName.clear();
}

// Every site's file and its folder, where a removed file comes back.
void TrialWindow::follow()
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    for (const std::unique_ptr<Site>& site : m_sites) {
        if (!site->table)
            continue;
        const QString folder = QFileInfo(site->path).absolutePath();
        if (!m_watcher->directories().contains(folder))
            m_watcher->addPath(folder);
        if (QFileInfo(site->path).isFile() && !m_watcher->files().contains(site->path))
            m_watcher->addPath(site->path);
    }
}

void TrialWindow::fileChanged()
{
    for (const std::unique_ptr<Site>& site : m_sites) {
        if (!std::exchange(site->changed, false))
            continue;
        // A file replaced by a rename, or removed and written again, is no
        // longer watched.
        if (!m_watcher->files().contains(site->path) && QFileInfo(site->path).isFile())
            m_watcher->addPath(site->path);
        const QString folder = QFileInfo(site->path).absolutePath();
        if (!m_watcher->directories().contains(folder))
            m_watcher->addPath(folder);
        readAgain(*site, true);
    }
}

void TrialWindow::settingsChanged()
{
    const BatchSettings settings = m_data.batchSettings();
    for (const std::unique_ptr<Site>& site : m_sites)
        if (site->table && (settings.defaultPeriod != site->table->defaultPeriod ||
                            settings.year != site->table->year))
            readAgain(*site, false);
}

void TrialWindow::updateTitle()
{
    QStringList files;
    for (const std::unique_ptr<Site>& site : m_sites)
        if (site->table || !m_plotsModel->sites())
            files.append(QFileInfo(site->path).fileName());
    setWindowTitle(tr("Trial: %1").arg(files.join(QStringLiteral(", "))));
}

QRect PlacedOnScreen(const QRect& wanted, const QRect& available)
{
    QRect placed(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    placed.moveLeft(
        std::clamp(placed.left(), available.left(), available.right() - placed.width() + 1));
    placed.moveTop(
        std::clamp(placed.top(), available.top(), available.bottom() - placed.height() + 1));
    return placed;
}

void TrialWindow::updateStatus()
{
    QStringList lines;
    if (const std::shared_ptr<const TrialSites>& sites = m_plotsModel->sites()) {
        const auto shown = std::size_t(m_plotsModel->rowCount());
        QString count =
            shown < sites->rows()
                ? tr("%1 of %2 plots shown, %3 refused")
                      .arg(shown)
                      .arg(sites->rows())
                      .arg(sites->refusedPlots())
                : tr("%1 plots, %2 refused").arg(sites->rows()).arg(sites->refusedPlots());
        if (sites->several())
            count += tr(", %1 sites").arg(sites->sites().size());
        // Plots, refused plots and standards read together, on one line.
        if (!m_standardsNote.isEmpty())
            count += QStringLiteral("; ") + m_standardsNote;
        lines.append(count);
    } else if (!m_standardsNote.isEmpty()) {
        lines.append(m_standardsNote);
    }
    for (const std::unique_ptr<Site>& site : m_sites)
        if (!site->readNote.isEmpty())
            lines.append(site->readNote);
    for (const QString& note : {m_progressNote, m_plotNote})
        if (!note.isEmpty())
            lines.append(note);
    m_status->setText(lines.join(QLatin1Char('\n')));
}

// Kept by its name and which of the columns of that name it is, so that
// the grouping follows the column into a file read again.
void TrialWindow::chooseGrouping(int at)
{
    m_groupName.clear();
    m_groupOccurrence = 0;
    const std::shared_ptr<const TrialSites>& sites = m_plotsModel->sites();
    if (sites && at > 0) {
        const std::vector<std::string>& names = sites->copiedNames();
        m_groupName = names[std::size_t(at - 1)];
        m_groupOccurrence = int(std::count(names.begin(), names.begin() + (at - 1), m_groupName));
    }
    regroup();
}

void TrialWindow::regroup()
{
    const int at = m_groupBy->currentIndex();
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    if (!sites || at <= 0) {
        m_side->hide();
        m_evaluation.reset();
        m_standardsNote.clear();
        m_exportFit->setEnabled(false);
        m_exportCombined->setEnabled(false);
        m_toggleCombined->setEnabled(false);
        updateStatus();
        TrialReports::follow(this);
        return;
    }
    if (!m_chart) {
        std::string error;
        QWidget* page = m_summary->parentWidget();
        m_chart = CreateSummaryChart(page, error);
        if (m_chart)
            page->layout()->addWidget(m_chart.widget());
        else
            m_standardsNote = QString::fromStdString("The chart cannot be shown: " + error);
    }
    m_summaryModel->setGrouping(groupingKey(m_groupName, m_groupOccurrence));
    QStringList notes;
    const std::shared_ptr<const Evaluation> evaluation = evaluate(std::size_t(at - 1), notes);
    showEvaluation(evaluation, notes);
    m_side->show();
    updateStatus();
}

// Each site summed once per table and grouping: typing a standard draws the
// evaluation again from the same sums.
std::shared_ptr<const Evaluation> TrialWindow::evaluate(std::size_t column, QStringList& notes)
{
    const TrialSites& sites = *m_plotsModel->sites();
    std::vector<SiteSums> sums;
    for (std::size_t at = 0; at < sites.sites().size(); ++at) {
        Site* site = siteNamed(sites.sites()[at].name);
        const std::uint32_t own = sites.copiedColumn(at, column);
        if (own == TrialSites::kMissing) {
            notes.append(tr("Site %1 has no column %2: it is left out of the summary")
                             .arg(quotedName(site->name), quotedName(m_groupName)));
            continue;
        }
        const std::shared_ptr<const TrialTable>& table = sites.sites()[at].table;
        if (site->summed != table || site->summedColumn != own) {
            site->sums = SummaryOf(*table, own);
            site->summed = table;
            site->summedColumn = own;
        }
        sums.push_back({site->name, &site->sums});
    }
    std::vector<Standard> standards;
    for (const auto& [name, value] : m_summaryModel->standards())
        standards.push_back({name, value});
    OrError<Evaluation> drawn = Evaluate(sums, standards);
    m_standardsNote.clear();
    m_standardsUsed = standards;
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        m_standardsNote =
            tr("The standards are not used: %1").arg(QString::fromStdString(error->message));
        notes.append(m_standardsNote);
        m_standardsUsed.clear();
        drawn = Evaluate(sums, {});
    } else if (!standards.empty()) {
        m_standardsNote = tr("Standards: %1").arg(standards.size());
    }
    auto evaluation = std::make_shared<const Evaluation>(std::get<Evaluation>(std::move(drawn)));
    for (const std::string& line : EvaluationMessages(*evaluation))
        notes.append(QString::fromStdString(line));
    return evaluation;
}

void TrialWindow::showEvaluation(const std::shared_ptr<const Evaluation>& evaluation,
                                 const QStringList& notes)
{
    m_evaluation = evaluation;
    m_summaryModel->setEvaluation(evaluation);
    filterSummary();
    m_combinedModel->setEvaluation(*evaluation);
    m_fitModel->setEvaluation(*evaluation);
    m_correlationModel->setEvaluation(*evaluation);
    // A few rows each: their widths are cheap to fit.
    for (QTableView* view : {m_combined, m_fit, m_correlations})
        view->resizeColumnsToContents();
    m_messages->clear();
    for (const QString& note : notes)
        m_messages->addItem(note);
    m_messages->setVisible(!notes.isEmpty());
    m_messagesLabel->setVisible(!notes.isEmpty());
    const std::size_t warnings = std::accumulate(
        evaluation->sites.begin(), evaluation->sites.end(), std::size_t{0},
        [](std::size_t sum, const SiteEvaluation& site) { return sum + site.warnings.size(); });
    if (warnings > 0)
        m_standardsNote += warnings == 1 ? tr("; 1 warning, under the tables")
                                         : tr("; %1 warnings, under the tables").arg(warnings);
    {
        // The site chosen stays chosen while it is there.
        const QSignalBlocker blocker(m_siteFilter);
        const QString chosen =
            m_siteFilter->currentIndex() > 0 ? m_siteFilter->currentText() : QString();
        m_siteFilter->clear();
        m_siteFilter->addItem(tr("All"));
        for (const SiteEvaluation& site : evaluation->sites)
            m_siteFilter->addItem(ShownText(site.name));
        const int found = chosen.isEmpty() ? 0 : std::max(0, m_siteFilter->findText(chosen));
        m_siteFilter->setCurrentIndex(found);
        m_summaryProxy->setSite(found - 1);
    }
    const bool several = evaluation->sites.size() > 1;
    m_siteFilter->setVisible(several);
    m_siteLabel->setVisible(several);
    const bool standards =
        std::any_of(evaluation->sites.begin(), evaluation->sites.end(),
                    [](const SiteEvaluation& site) { return !site.fit.empty(); });
    m_exportFit->setEnabled(standards);
    m_exportCombined->setEnabled(standards);
    m_toggleCombined->setEnabled(true);
    drawChart();
    TrialReports::follow(this);
}

// A filter keeps the summary's rows of the groups that have a plot shown;
// the summary itself stays that of every plot.
void TrialWindow::filterSummary()
{
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    const int column = m_groupBy->currentIndex() - 1;
    if (!sites || column < 0 || !m_plotsModel->filtered()) {
        m_summaryProxy->setGroups(std::nullopt);
        return;
    }
    SiteFilterProxy::Groups groups;
    for (int row = 0; row < m_plotsModel->rowCount(); ++row) {
        const TrialSites::Place at = sites->place(m_plotsModel->tableRow(row));
        const std::uint32_t own = sites->copiedColumn(at.site, std::size_t(column));
        if (own == TrialSites::kMissing)
            continue;
        const SiteTable& site = sites->sites()[at.site];
        groups.emplace(site.name, std::string(site.table->cell(at.row, 1 + own)));
    }
    m_summaryProxy->setGroups(std::move(groups));
}

void TrialWindow::drawChart()
{
    if (m_chart && m_evaluation)
        m_chart->setGroups(ChartGroupsOf(*m_summaryProxy, *m_summaryModel));
}

// The plot is read from its site's file only now, and only as far as it
// goes, so that the window holds no plot's assessments; a file changed since
// it was listed is listed again.
void TrialWindow::goToPlot()
{
    const QModelIndex current = m_plots->currentIndex();
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    if (!current.isValid() || !sites)
        return;
    const TrialSites::Place at = sites->place(m_plotsModel->tableRow(current.row()));
    const SiteTable& shown = sites->sites()[at.site];
    Site& site = *siteNamed(shown.name);
    OpenedTrial opened;
    std::string why;
    const bool read =
        readPlot(site, at.row, std::string(shown.table->cell(at.row, 0)), opened, why);
    if (!why.empty()) {
        m_dialogs.message("The plot cannot be opened in the calculator: " + why);
        if (read && !opened.error)
            readAgain(site, false);
        return;
    }
    m_plotNote.clear();
    updateStatus();
    m_data.showPlot(opened, site.path, TrialReports::placeOf(this, *sites, at), true);
}

// The plot at row of the site's file, which must still be named name; false
// when the file could not be read, why also when the plot is not there.
bool TrialWindow::readPlot(const Site& site, std::size_t row, const std::string& name,
                           OpenedTrial& opened, std::string& why) const
{
    const BatchSettings settings = m_data.batchSettings();
    const FileReading how = m_data.readingOf(site.path);
    PlotReader reader(row, settings.year, settings.defaultPeriod, how.reading);
    // A workbook is known by its first bytes and read by its own reader.
    bool workbook = false;
    const bool read = ReadTrialFile(
        site.path,
        [&](std::string_view piece) {
            if (!workbook && KindOfTrialFile(piece.substr(0, kKindBytes)) != TrialFileKind::Text) {
                workbook = true;
                return false;
            }
            return reader.read(piece);
        },
        why);
    if (read && workbook)
        reader.readWorkbook(WorkbookSource::File(QFile::encodeName(site.path).toStdString()),
                            how.sheet);
    if (read)
        opened = reader.finish();
    if (read && opened.error)
        why = opened.error->message;
    else if (read && (!opened.plot || opened.plot->summary.name != name))
        why = "the file has changed; it is listed again";
    return read;
}

// The file changed on disk: the plot the calculator shows from it, left as it
// was shown, is read again from the new file, or said to be gone.
void TrialWindow::followShownPlot(const Site& site)
{
    const std::optional<std::string> name = m_data.shownPlot(site.path);
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    if (!name || !sites || !site.table)
        return;
    std::optional<TrialSites::Place> at;
    for (std::size_t index = 0; index < sites->sites().size() && !at; ++index) {
        const SiteTable& shown = sites->sites()[index];
        if (shown.name != site.name)
            continue;
        for (std::size_t row = 0; row < shown.table->rows() && !at; ++row)
            if (shown.table->cell(row, 0) == *name)
                at = TrialSites::Place{index, row};
    }
    OpenedTrial opened;
    std::string why;
    const bool read = at && readPlot(site, at->row, *name, opened, why);
    if (!read || !why.empty()) {
        m_plotNote = tr("Plot %1, shown in the calculator, is no longer in %2")
                         .arg(QString::fromStdString(*name), QFileInfo(site.path).fileName());
        if (at)
            m_plotNote += QStringLiteral(": ") + QString::fromStdString(why);
        updateStatus();
        return;
    }
    m_plotNote.clear();
    updateStatus();
    m_data.showPlot(opened, site.path, TrialReports::placeOf(this, *sites, *at), true);
}

// The summary's rows while it has the focus, else the plots'.
void TrialWindow::copyRows()
{
    const char mark = DesktopDecimalMark();
    const QWidget* focused = QApplication::focusWidget();
    if (focused && (focused == m_summary || m_summary->isAncestorOf(focused))) {
        std::vector<int> rows;
        for (const int row : selectedRows(m_summary))
            rows.push_back(m_summaryProxy->mapToSource(m_summaryProxy->index(row, 0)).row());
        QGuiApplication::clipboard()->setText(
            QString::fromStdString(m_summaryModel->copiedRows(rows, mark)));
        return;
    }
    std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    if (!sites)
        return;
    std::vector<std::uint32_t> rows;
    for (const int row : selectedRows(m_plots))
        rows.push_back(std::uint32_t(m_plotsModel->tableRow(row)));
    QGuiApplication::clipboard()->setMimeData(
        new CopiedPlotsData(std::move(sites), std::move(rows), mark));
}

// What is written is taken once the dialog has answered: while it waited,
// a file may have been read again and the tables replaced.
void TrialWindow::exportPlots()
{
    if (!m_plotsModel->sites())
        return;
    const std::string path = exportPath("Export plots", "-results");
    if (path.empty())
        return;
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    writeExport(path,
                sites->several() ? ResultsText(*sites) : sites->sites().front().table->results,
                "The plots were not exported", "results");
}

void TrialWindow::exportSummary()
{
    if (!m_evaluation) {
        m_dialogs.message("Choose a column to group by first.");
        return;
    }
    exportEvaluation("Export summary", "-summary", "summary", &EvaluationSummaryText);
}

void TrialWindow::exportFit()
{
    if (m_exportFit->isEnabled())
        exportEvaluation("Export fit", "-fit", "fit", &FitText);
}

void TrialWindow::exportCombined()
{
    if (m_exportCombined->isEnabled())
        exportEvaluation("Export combined table", "-combined", "combined table", &CombinedText);
}

void TrialWindow::exportEvaluation(const std::string& title, const char* ending,
                                   const std::string& what,
                                   std::string (*text)(const Evaluation&, char, DecimalMark))
{
    const std::string path = exportPath(title, ending);
    if (path.empty())
        return;
    const std::shared_ptr<const TrialSites> sites = m_plotsModel->sites();
    if (!m_evaluation || !sites) {
        m_dialogs.message("The " + what + " was not exported: " + path +
                          ": the column grouped by is no longer in the trial");
        return;
    }
    const TrialTable& first = *sites->sites().front().table;
    writeExport(path, text(*m_evaluation, first.separator, first.mark),
                "The " + what + " was not exported", what);
}

// Proposed beside the first trial, named after it.
std::string TrialWindow::exportPath(const std::string& title, const char* ending)
{
    return m_dialogs.saveExportName(
        title, suggestedName(m_sites.front()->path, QString::fromLatin1(ending)).toStdString());
}

void TrialWindow::writeExport(const std::string& path, const std::string& text,
                              const std::string& failed, const std::string& sheet)
{
    std::vector<QString> trials;
    for (const std::unique_ptr<Site>& site : m_sites)
        trials.push_back(site->path);
    const QString target = QString::fromStdString(path);
    std::string why;
    const bool written =
        target.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)
            ? WriteExportWorkbook(target, trials, text, sheet, m_data.batchSettings().year, why)
            : WriteBesideTrials(target, trials, text, why);
    if (!written)
        m_dialogs.message(failed + ": " + path + ": " + why);
}

} // namespace quarven
