#include "trial_window.h"

#include "app/file_io.h"
#include "entry/dialogs.h"
#include "entry/plot_file.h"
#include "trial/trial_summary.h"
#include "trial/trial_table.h"
#include "ui/curve_loader.h"
#include "ui/data_actions.h"
#include "ui/trial_reports.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
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
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

namespace quarven {
namespace {

QTableView* tableView(QWidget* parent, const char* name, const QString& accessible,
                      const QString& description, QAbstractItemModel* model)
{
    auto* view = new QTableView(parent);
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

QSortFilterProxyModel* proxyOver(QAbstractItemModel* source, QObject* parent)
{
    auto* proxy = new QSortFilterProxyModel(parent);
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
    CopiedPlotsData(std::shared_ptr<const TrialTable> table, std::vector<std::uint32_t> rows,
                    char mark)
        : m_table(std::move(table)), m_rows(std::move(rows)), m_mark(mark)
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
        if (m_table) {
            m_text = CopiedPlots(*m_table, m_rows, m_mark);
            m_table.reset();
            std::vector<std::uint32_t>().swap(m_rows);
        }
        return m_text;
    }

private:
    mutable std::shared_ptr<const TrialTable> m_table;
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
};

} // namespace

TrialWindow::TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_data(dataActions),
      m_plotsModel(new TrialPlotsModel(this)), m_summaryModel(new TrialSummaryModel(this)),
      m_summaryProxy(proxyOver(m_summaryModel, this)), m_filter(new QLineEdit(this)),
      m_groupBy(new QComboBox(this)), m_status(new QLabel(this)),
      m_watcher(new QFileSystemWatcher(this)), m_settle(new QTimer(this)),
      m_progress(new QTimer(this)), m_menu(new QMenu(this)),
      m_loader(new TrialLoader([this](TrialLoaded result) { loaded(std::move(result)); }, this))
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
    setTabOrder(m_plots, m_summary);
    resize(1000, 560);
    connectControls();
    followWrites();
}

// The views outlive the table while the widget tree is taken down.
TrialWindow::~TrialWindow()
{
    m_loader->cancel();
    m_plotsModel->setTable(nullptr);
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
                          tr("One row per group: counts, means and standard deviations, rank "
                             "and scale. Type a standard's value on the 1-9 scale in its "
                             "standard column."),
                          m_summaryProxy);
    m_summary->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_summary->hide();
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

// The summary and its chart at the side, shown while the plots are grouped.
QWidget* TrialWindow::plotsBesideSummary()
{
    auto* side = new QWidget(this);
    side->setObjectName(QStringLiteral("compare"));
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_summary);
    side->hide();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_plots);
    splitter->addWidget(side);
    return splitter;
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
        if (row.offered & kInMenu)
            m_menu->addAction(entry);
        if (row.offered & kBeginsGroup)
            buttons->addStretch();
        if (row.offered & kAsButton) {
            auto* button = new QPushButton(entry->text(), this);
            button->setToolTip(row.key.toString(QKeySequence::NativeText));
            connect(button, &QPushButton::clicked, entry, &QAction::trigger);
            buttons->addWidget(button);
        }
    }
    return buttons;
}

void TrialWindow::connectControls()
{
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_plotsModel->setFilter(text);
        updateStatus();
    });
    m_filter->installEventFilter(this);
    // Not activated: a platform may activate on a single click.
    connect(m_plots, &QAbstractItemView::doubleClicked, this, &TrialWindow::goToPlot);
    m_plots->installEventFilter(this);
    connect(m_groupBy, &QComboBox::currentIndexChanged, this, &TrialWindow::chooseGrouping);
    connect(m_summaryModel, &TrialSummaryModel::standardsChanged, this, [this] {
        // Out of the editor's own commit.
        QTimer::singleShot(0, this, &TrialWindow::regroup);
    });
    connect(m_summaryModel, &TrialSummaryModel::standardRefused, this, [this](const QString& why) {
        m_standardsNote = why;
        updateStatus();
    });
    connect(&m_data, &DataActions::settingsChanged, this, &TrialWindow::settingsChanged);
}

// A spreadsheet saves in several writes, some by a new file renamed over the
// old, some by removing the file and writing it again: read once the writes
// have settled. The folder tells when a removed file comes back.
void TrialWindow::followWrites()
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(250);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_settle, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_watcher->files().contains(m_path) && QFileInfo(m_path).isFile())
            m_settle->start();
    });
    connect(m_settle, &QTimer::timeout, this, &TrialWindow::fileChanged);
    m_progress->setInterval(250);
    connect(m_progress, &QTimer::timeout, this, &TrialWindow::showProgress);
}

void TrialWindow::showProgress()
{
    if (!m_loader->busy()) {
        m_progress->stop();
        return;
    }
    m_readNote = tr("Reading %1: %2 %")
                     .arg(QFileInfo(m_loader->current().path).fileName())
                     .arg(m_loader->percent());
    updateStatus();
}

void TrialWindow::findPlots()
{
    m_filter->setFocus(Qt::ShortcutFocusReason);
    m_filter->selectAll();
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

void TrialWindow::load(const QString& path)
{
    if (!m_plotsModel->table())
        setWindowTitle(tr("Trial: %1").arg(QFileInfo(path).fileName()));
    startLoad(path, kOpen, false);
}

void TrialWindow::startLoad(const QString& path, Purpose purpose, bool settle)
{
    const BatchSettings settings = m_data.batchSettings();
    m_loader->load({path, settings.year, settings.defaultPeriod, settle, purpose});
    m_progress->start();
}

// The file followed, or the period changed: an Open under way comes first,
// and the file is read again after it only if that fails.
void TrialWindow::readAgain(bool settle)
{
    if (m_path.isEmpty())
        return;
    if (m_loader->busy() && m_loader->current().purpose == kOpen) {
        m_missedChange = true;
        return;
    }
    startLoad(m_path, kFollow, settle);
}

void TrialWindow::loaded(TrialLoaded result)
{
    m_progress->stop();
    m_readNote.clear();
    const QString& path = result.load.path;
    if (!result.table) {
        const std::string message =
            "The file cannot be read: " + path.toStdString() + ": " + result.why;
        if (result.load.purpose == kFollow) {
            m_readNote = QString::fromStdString(message);
            updateStatus();
            return;
        }
        updateStatus();
        const QPointer<TrialWindow> self(this);
        m_dialogs.message(message);
        if (!self)
            return;
        if (!m_plotsModel->table() && !m_loader->busy())
            close();
        else if (std::exchange(m_missedChange, false))
            readAgain(true);
        return;
    }
    if (result.load.purpose == kOpen) {
        m_missedChange = false;
        if (path != m_path)
            follow(path);
        m_path = path;
        setWindowTitle(tr("Trial: %1").arg(QFileInfo(path).fileName()));
    }
    showTable(result.table);
    // The period changed while the file was read.
    const BatchSettings settings = m_data.batchSettings();
    if (settings.defaultPeriod != result.table->defaultPeriod ||
        settings.year != result.table->year)
        readAgain(false);
}

// The sort, the filter and the grouping stay; the selection and the current
// cell follow their plots into the new table.
void TrialWindow::showTable(std::shared_ptr<const TrialTable> table)
{
    const std::shared_ptr<const TrialTable> before = m_plotsModel->table();
    std::vector<std::uint32_t> selected;
    std::vector<std::uint32_t> current;
    const int currentColumn = std::max(0, m_plots->currentIndex().column());
    if (before) {
        for (const int row : selectedRows(m_plots))
            selected.push_back(std::uint32_t(m_plotsModel->tableRow(row)));
        if (m_plots->currentIndex().isValid())
            current.push_back(std::uint32_t(m_plotsModel->tableRow(m_plots->currentIndex().row())));
        if (!m_plots->selectionModel()->hasSelection())
            selected.clear();
        selected = SamePlots(*before, *table, selected);
        current = SamePlots(*before, *table, current);
    }
    m_plotsModel->setTable(table);
    m_running.reset();
    reselect(selected, current, currentColumn);
    fillGroupBy(*table);
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
            m_plots->selectionModel()->setCurrentIndex(m_plotsModel->index(at, column),
                                                       QItemSelectionModel::NoUpdate);
    if (!selection.isEmpty())
        m_plots->selectionModel()->select(selection, QItemSelectionModel::Select);
}

void TrialWindow::fillGroupBy(const TrialTable& table)
{
    const QSignalBlocker blocker(m_groupBy);
    m_groupBy->clear();
    m_groupBy->addItem(tr("(none)"));
    int grouped = 0;
    int occurrence = 0;
    for (std::size_t i = 0; i < table.copiedNames.size(); ++i) {
        const std::string& name = table.copiedNames[i];
        m_groupBy->addItem(ShownText(name));
        if (name == m_groupName && occurrence++ == m_groupOccurrence)
            grouped = int(i) + 1;
    }
    m_groupBy->setCurrentIndex(grouped);
    if (grouped == 0)
        m_groupName.clear();
}

// The path followed, and its folder, where a removed file comes back.
void TrialWindow::follow(const QString& path)
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_watcher->addPath(QFileInfo(path).absolutePath());
    if (QFileInfo(path).isFile())
        m_watcher->addPath(path);
}

void TrialWindow::fileChanged()
{
    // A file replaced by a rename, or removed and written again, is no
    // longer watched.
    if (!m_watcher->files().contains(m_path) && QFileInfo(m_path).isFile())
        m_watcher->addPath(m_path);
    if (!m_watcher->directories().contains(QFileInfo(m_path).absolutePath()))
        m_watcher->addPath(QFileInfo(m_path).absolutePath());
    readAgain(true);
}

void TrialWindow::settingsChanged()
{
    const std::shared_ptr<const TrialTable>& table = m_plotsModel->table();
    const BatchSettings settings = m_data.batchSettings();
    if (table && (settings.defaultPeriod != table->defaultPeriod || settings.year != table->year))
        readAgain(false);
}

void TrialWindow::updateStatus()
{
    QStringList lines;
    if (const std::shared_ptr<const TrialTable>& table = m_plotsModel->table()) {
        const auto shown = std::size_t(m_plotsModel->rowCount());
        lines.append(shown < table->rows()
                         ? tr("%1 of %2 plots shown, %3 refused")
                               .arg(shown)
                               .arg(table->rows())
                               .arg(table->refusedPlots)
                         : tr("%1 plots, %2 refused").arg(table->rows()).arg(table->refusedPlots));
    }
    for (const QString& note : {m_readNote, m_standardsNote})
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
    const std::shared_ptr<const TrialTable>& table = m_plotsModel->table();
    if (table && at > 0) {
        const std::vector<std::string>& names = table->copiedNames;
        m_groupName = names[std::size_t(at - 1)];
        m_groupOccurrence = int(std::count(names.begin(), names.begin() + (at - 1), m_groupName));
    }
    regroup();
}

void TrialWindow::regroup()
{
    QWidget* side = m_summary->parentWidget();
    const int at = m_groupBy->currentIndex();
    const std::shared_ptr<const TrialTable> table = m_plotsModel->table();
    if (!table || at <= 0) {
        side->hide();
        m_summary->hide();
        m_standardsNote.clear();
        updateStatus();
        TrialReports::follow(this);
        return;
    }
    if (!m_chart) {
        std::string error;
        m_chart = CreateSummaryChart(side, error);
        if (m_chart)
            side->layout()->addWidget(m_chart.widget());
        else
            m_standardsNote = QString::fromStdString("The chart cannot be shown: " + error);
    }
    if (!m_running || m_runningColumn != at - 1) {
        m_running = std::make_shared<TrialSummary>(SummaryOf(*table, std::size_t(at - 1)));
        m_runningColumn = at - 1;
    }
    m_summaryModel->setGrouping(groupingKey(m_groupName, m_groupOccurrence));
    std::vector<Standard> standards;
    for (const auto& [name, value] : m_summaryModel->standards())
        standards.push_back({name, value});
    OrError<Summary> drawn = m_running->summarise(standards);
    m_standardsNote.clear();
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        m_standardsNote =
            tr("The standards are not used: %1").arg(QString::fromStdString(error->message));
        drawn = m_running->summarise({});
    } else if (!standards.empty()) {
        m_standardsNote = tr("Standards: %1").arg(standards.size());
    }
    const Summary summary = std::get<Summary>(std::move(drawn));
    m_summaryModel->setSummary(summary);
    drawChart(summary);
    m_summary->show();
    side->show();
    updateStatus();
    TrialReports::follow(this);
}

void TrialWindow::drawChart(const Summary& summary)
{
    if (!m_chart)
        return;
    // Not a number: the group has no mean, or no deviation.
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    QStringList names;
    QList<double> means, deviations;
    for (const GroupSummary& group : summary.groups) {
        names.append(ShownText(group.name));
        means.append(group.relativeAudpc().mean.value_or(kNone));
        deviations.append(group.relativeAudpc().sd.value_or(kNone));
    }
    m_chart->setGroups(names, means, deviations);
}

// The plot is read from the file only now, and only as far as it goes, so
// that the window holds no plot's assessments; a file changed since it was
// listed is listed again.
void TrialWindow::goToPlot()
{
    const QModelIndex current = m_plots->currentIndex();
    const std::shared_ptr<const TrialTable> table = m_plotsModel->table();
    if (!current.isValid() || !table)
        return;
    const std::size_t row = m_plotsModel->tableRow(current.row());
    const std::string name(table->cell(row, 0));
    const BatchSettings settings = m_data.batchSettings();
    PlotReader reader(row, settings.year, settings.defaultPeriod);
    std::string why;
    const bool read = ReadTrialFile(
        m_path, [&reader](std::string_view piece) { return reader.read(piece); }, why);
    OpenedTrial opened;
    if (read)
        opened = reader.finish();
    if (read && opened.error)
        why = opened.error->message;
    else if (read && (!opened.plot || opened.plot->summary.name != name))
        why = "the file has changed; it is listed again";
    if (!why.empty()) {
        m_dialogs.message("The plot cannot be opened in the calculator: " + why);
        if (read && !opened.error)
            readAgain(false);
        return;
    }
    m_data.showPlot(opened, m_path, TrialReports::placeOf(this, row));
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
    std::shared_ptr<const TrialTable> table = m_plotsModel->table();
    if (!table)
        return;
    std::vector<std::uint32_t> rows;
    for (const int row : selectedRows(m_plots))
        rows.push_back(std::uint32_t(m_plotsModel->tableRow(row)));
    QGuiApplication::clipboard()->setMimeData(
        new CopiedPlotsData(std::move(table), std::move(rows), mark));
}

// What is written is taken once the dialog has answered: while it waited,
// the file may have been read again and the table replaced.
void TrialWindow::exportPlots()
{
    if (!m_plotsModel->table())
        return;
    const std::string path = exportPath("Export plots", "-results");
    if (path.empty())
        return;
    const std::shared_ptr<const TrialTable> table = m_plotsModel->table();
    writeExport(path, table->results, "The plots were not exported");
}

void TrialWindow::exportSummary()
{
    const auto grouped = [this] { return m_plotsModel->table() && m_groupBy->currentIndex() > 0; };
    if (!grouped()) {
        m_dialogs.message("Choose a column to group by first.");
        return;
    }
    const std::string path = exportPath("Export summary", "-summary");
    if (path.empty())
        return;
    if (!grouped()) {
        m_dialogs.message("The summary was not exported: " + path +
                          ": the column grouped by is no longer in the trial");
        return;
    }
    const std::shared_ptr<const TrialTable> table = m_plotsModel->table();
    writeExport(path, SummaryText(m_summaryModel->summary(), table->separator, table->mark),
                "The summary was not exported");
}

// Proposed beside the trial, named after it.
std::string TrialWindow::exportPath(const std::string& title, const char* ending)
{
    return m_dialogs.saveFileName(title,
                                  suggestedName(m_path, QString::fromLatin1(ending)).toStdString());
}

void TrialWindow::writeExport(const std::string& path, const std::string& text,
                              const std::string& failed)
{
    std::string why;
    if (!WriteBesideTrial(QString::fromStdString(path), m_path, text, why))
        m_dialogs.message(failed + ": " + path + ": " + why);
}

} // namespace quarven
