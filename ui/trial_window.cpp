// Before any Qt header, which makes "emit" a macro.
#include "trial/trial_batch.h"
#include "trial/trial_summary.h"

#include "trial_window.h"

#include "app/file_io.h"
#include "core/cell_text.h"
#include "entry/dialogs.h"
#include "entry/plot_file.h"
#include "ui/curve_loader.h"
#include "ui/data_actions.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <new>

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

// A cell on the clipboard: one line, tabs only between cells, and no text
// that a spreadsheet would run as a formula.
std::string clipboardCell(const QString& text)
{
    std::string cell = text.toStdString();
    for (char& c : cell)
        c = c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    return FormulaSafe(cell);
}

QString suggestedName(const QString& trial, const QString& ending)
{
    const QFileInfo info(trial);
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("csv") : info.suffix();
    return info.dir().filePath(info.completeBaseName() + ending + QLatin1Char('.') + suffix);
}

} // namespace

TrialWindow::TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_data(dataActions),
      m_plotsModel(new TrialPlotsModel(this)), m_summaryModel(new TrialSummaryModel(this)),
      m_summaryProxy(proxyOver(m_summaryModel, this)), m_filter(new QLineEdit(this)),
      m_groupBy(new QComboBox(this)), m_status(new QLabel(this)),
      m_watcher(new QFileSystemWatcher(this)), m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("TrialWindow"));
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setAccessibleName(tr("Filter"));
    m_filter->setAccessibleDescription(tr("Keeps the plots that hold this text in any column"));
    m_filter->setClearButtonEnabled(true);
    m_groupBy->setObjectName(QStringLiteral("groupBy"));
    m_groupBy->setAccessibleName(tr("Group by"));
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    m_plots = tableView(this, "plots", tr("Plots"),
                        tr("Every plot of the trial with its results; refused plots are shaded "
                           "and give their message. Enter opens a plot in the calculator."),
                        m_plotsModel);
    m_plots->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary = tableView(this, "summary", tr("Summary"),
                          tr("One row per group: counts, means and standard deviations, rank "
                             "and scale. Type a standard's value on the 1-9 scale in its "
                             "standard column."),
                          m_summaryProxy);
    m_summary->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_summary->hide();

    auto* filterLabel = new QLabel(tr("&Filter:"), this);
    filterLabel->setBuddy(m_filter);
    auto* groupLabel = new QLabel(tr("&Group by:"), this);
    groupLabel->setBuddy(m_groupBy);
    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(m_filter, 1);
    top->addWidget(groupLabel);
    top->addWidget(m_groupBy);

    auto* side = new QWidget(this);
    side->setObjectName(QStringLiteral("compare"));
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_summary);
    side->hide();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_plots);
    splitter->addWidget(side);

    const std::array<QAction*, 6> actions{
        action(tr("Go to plot"), QKeySequence(Qt::CTRL | Qt::Key_Return), &TrialWindow::goToPlot),
        action(tr("Copy"), QKeySequence::Copy, &TrialWindow::copyRows),
        action(tr("Export plots..."), QKeySequence(Qt::CTRL | Qt::Key_E),
               &TrialWindow::exportPlots),
        action(tr("Export summary..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
               &TrialWindow::exportSummary),
        action(tr("Find"), QKeySequence::Find, nullptr),
        action(tr("Close"), QKeySequence(Qt::Key_Escape), nullptr),
    };
    connect(actions[4], &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    connect(actions[5], &QAction::triggered, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    for (QAction* entry : actions) {
        auto* button = new QPushButton(entry->text(), this);
        button->setToolTip(entry->shortcut().toString(QKeySequence::NativeText));
        connect(button, &QPushButton::clicked, entry, &QAction::trigger);
        buttons->addWidget(button);
        m_menu->addAction(entry);
    }
    buttons->insertStretch(4);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    setTabOrder(m_filter, m_groupBy);
    setTabOrder(m_groupBy, m_plots);
    setTabOrder(m_plots, m_summary);
    resize(1000, 560);

    connect(m_filter, &QLineEdit::textChanged, m_plotsModel, &TrialPlotsModel::setFilter);
    // Not activated: a platform may activate on a single click.
    connect(m_plots, &QAbstractItemView::doubleClicked, this, &TrialWindow::goToPlot);
    m_plots->installEventFilter(this);
    connect(m_groupBy, &QComboBox::currentIndexChanged, this, &TrialWindow::regroup);
    connect(m_summaryModel, &TrialSummaryModel::standardsChanged, this, [this] {
        // Out of the editor's own commit: the summary model is reset.
        QTimer::singleShot(0, this, &TrialWindow::regroup);
    });
    // A spreadsheet saves in several writes, some by a new file renamed over
    // the old: read once the writes have settled.
    auto* settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(250);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, settle, qOverload<>(&QTimer::start));
    connect(settle, &QTimer::timeout, this, &TrialWindow::fileChanged);
}

// The views outlive the table while the widget tree is taken down.
TrialWindow::~TrialWindow()
{
    m_plotsModel->setTable(nullptr);
}

QAction* TrialWindow::action(const QString& text, const QKeySequence& key,
                             void (TrialWindow::*slot)())
{
    auto* entry = new QAction(text, this);
    entry->setShortcut(key);
    entry->setShortcutContext(Qt::WindowShortcut);
    addAction(entry);
    if (slot)
        connect(entry, &QAction::triggered, this, slot);
    return entry;
}

void TrialWindow::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
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
    return QWidget::eventFilter(watched, event);
}

bool TrialWindow::load(const QString& path)
{
    if (!read(path, false))
        return false;
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    m_watcher->addPath(path);
    return true;
}

bool TrialWindow::read(const QString& path, bool quiet)
{
    std::string why;
    std::unique_ptr<TrialTable> table;
    bool read = false;
    try {
        // Read in pieces: the window never holds the file's bytes, only the
        // results.
        TrialTableReader reader(m_data.batchSettings());
        read = ReadTrialFile(
            path, [&reader](std::string_view piece) { return reader.read(piece); }, why);
        table = reader.finish();
    } catch (const std::bad_alloc&) {
        read = false;
        why = kOutOfMemory;
    }
    if (read && table->error)
        why = (table->error->line ? "line " + std::to_string(table->error->line) + ": " : "") +
              table->error->message;
    if (!read || table->error) {
        const std::string message = "The file cannot be read: " + path.toStdString() + ": " + why;
        if (quiet)
            m_status->setText(QString::fromStdString(message));
        else
            m_dialogs.message(message);
        return false;
    }
    m_path = path;
    setWindowTitle(tr("Trial: %1").arg(QFileInfo(path).fileName()));
    std::size_t refused = 0;
    for (std::size_t row = 0; row < table->rows(); ++row)
        refused += table->refused(row);
    m_status->setText(tr("%1 plots, %2 refused").arg(table->rows()).arg(refused));
    const QString grouped = m_groupBy->currentText();
    m_plotsModel->setTable(table.get());
    m_table = std::move(table);
    {
        const QSignalBlocker blocker(m_groupBy);
        m_groupBy->clear();
        m_groupBy->addItem(tr("(none)"));
        for (const std::string& name : m_table->copiedNames)
            m_groupBy->addItem(QString::fromStdString(name));
        m_groupBy->setCurrentIndex(std::max(0, m_groupBy->findText(grouped)));
    }
    regroup();
    return true;
}

void TrialWindow::fileChanged()
{
    // A file replaced by a rename is no longer watched.
    if (!m_watcher->files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher->addPath(m_path);
    read(m_path, true);
}

void TrialWindow::regroup()
{
    QWidget* side = m_summary->parentWidget();
    const int at = m_groupBy->currentIndex();
    if (!m_table || at <= 0) {
        side->hide();
        m_summary->hide();
        return;
    }
    if (!m_chart) {
        std::string error;
        m_chart = CreateSummaryChart(side, error);
        if (m_chart)
            side->layout()->addWidget(m_chart.widget());
        else
            m_status->setText(QString::fromStdString("The chart cannot be shown: " + error));
    }
    const TrialSummary running = SummaryOf(*m_table, static_cast<std::size_t>(at - 1));
    std::vector<Standard> standards;
    for (const auto& [name, value] : m_summaryModel->standards())
        standards.push_back({name, value});
    OrError<Summary> drawn = running.summarise(standards);
    if (const auto* error = std::get_if<SummaryError>(&drawn)) {
        m_status->setText(
            tr("The standards are not used: %1").arg(QString::fromStdString(error->message)));
        drawn = running.summarise({});
    } else if (!standards.empty()) {
        m_status->setText(tr("Standards: %1").arg(standards.size()));
    }
    const Summary summary = std::get<Summary>(std::move(drawn));
    m_summaryModel->setSummary(summary);
    if (m_chart) {
        QStringList names;
        QList<double> means, deviations;
        for (const GroupSummary& group : summary.groups) {
            names.append(QString::fromStdString(group.name));
            means.append(group.relativeAudpc.mean.value_or(0.0));
            deviations.append(group.relativeAudpc.sd.value_or(0.0));
        }
        m_chart->setGroups(names, means, deviations);
    }
    m_summary->show();
    side->show();
}

// The plot is read from the file only now, so that the window holds no
// plot's assessments; a file changed since it was listed is listed again.
void TrialWindow::goToPlot()
{
    const QModelIndex current = m_plots->currentIndex();
    if (!current.isValid() || !m_table)
        return;
    const std::size_t row = m_plotsModel->tableRow(current.row());
    const std::string name(m_table->cell(row, 0));
    std::string why;
    const std::optional<QByteArray> bytes = ReadTrialBytes(m_path, why);
    const BatchSettings settings = m_data.batchSettings();
    OpenedTrial opened;
    if (bytes)
        opened = ReadPlot(std::string_view(bytes->constData(), std::size_t(bytes->size())), row,
                          settings.year, settings.defaultPeriod);
    if (bytes && opened.error)
        why = opened.error->message;
    else if (bytes && (!opened.plot || opened.plot->summary.name != name))
        why = "the file has changed; it is listed again";
    if (!why.empty()) {
        m_dialogs.message("The plot cannot be opened in the calculator: " + why);
        if (bytes && !opened.error)
            read(m_path, true);
        return;
    }
    m_data.showPlot(opened, m_path);
}

void TrialWindow::copyRows()
{
    QModelIndexList rows = m_plots->selectionModel()->selectedRows();
    if (rows.isEmpty() && m_plots->currentIndex().isValid())
        rows.append(m_plots->currentIndex());
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const int columns = m_plotsModel->columnCount();
    std::string text;
    for (int column = 0; column < columns; ++column)
        text += (column ? "\t" : "") +
                clipboardCell(
                    m_plotsModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    text += '\n';
    for (const QModelIndex& row : rows) {
        for (int column = 0; column < columns; ++column)
            text += (column ? "\t" : "") +
                    clipboardCell(m_plotsModel->index(row.row(), column).data().toString());
        text += '\n';
    }
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TrialWindow::exportPlots()
{
    if (m_table)
        exportText("Export plots", "-results", "The plots were not exported", m_table->results);
}

void TrialWindow::exportSummary()
{
    if (!m_table || m_groupBy->currentIndex() <= 0) {
        m_dialogs.message("Choose a column to group by first.");
        return;
    }
    exportText("Export summary", "-summary", "The summary was not exported",
               SummaryText(m_summaryModel->summary(), m_table->separator, m_table->mark));
}

// Proposed beside the trial, named after it.
void TrialWindow::exportText(const std::string& title, const char* ending,
                             const std::string& failed, const std::string& text)
{
    const std::string path = m_dialogs.saveFileName(
        title, suggestedName(m_path, QString::fromLatin1(ending)).toStdString());
    if (path.empty())
        return;
    std::string why;
    if (!WriteBesideTrial(QString::fromStdString(path), m_path, text, why))
        m_dialogs.message(failed + ": " + path + ": " + why);
}

} // namespace quarven
