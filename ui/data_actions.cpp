#include "data_actions.h"

#include "app/file_io.h"
#include "core/assessment_table.h"
#include "core/loss_calculation.h"
#include "core/tuberization_rules.h"
#include "core/value_conventions.h"
#include "entry/dialogs.h"
#include "entry/plot_file.h"
#include "entry/table_transfer.h"
#include "trial/trial_batch.h"
#include "ui/control_adapters.h"
#include "ui/controls.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QRadioButton>

namespace quarven {
namespace {

// A message quoting a file's text shows no control characters, and no more
// of a long field than a reader can take in.
std::string shown(const std::string& text)
{
    constexpr std::size_t kLongest = 400;
    std::string result;
    for (const char c : text.substr(0, kLongest))
        result += static_cast<unsigned char>(c) < 0x20 && c != '\r' ? '?' : c;
    return text.size() > kLongest ? result + "..." : result;
}

} // namespace

char DesktopDecimalMark()
{
    return QLocale().decimalPoint() == QLatin1String(",") ? ',' : '.';
}

DataActions::DataActions(QWidget& window, const Controls& controls, Dialogs& dialogs,
                         std::function<int()> currentYear, std::function<void()> fillDates,
                         std::function<void()> fillLevels)
    : QObject(&window), m_window(window), m_controls(controls), m_dialogs(dialogs),
      m_currentYear(std::move(currentYear)), m_fillDates(std::move(fillDates)),
      m_fillLevels(std::move(fillLevels))
{
    // A null entry is a separator.
    m_menuActions = {
        action(tr("Paste table"), &DataActions::pasteTable, QKeySequence::Paste),
        action(tr("Copy table"), &DataActions::copyTable, QKeySequence::Copy),
        action(tr("Copy results"), &DataActions::copyResults),
        nullptr,
        action(tr("Open..."), &DataActions::open, QKeySequence::Open),
        action(tr("Save..."), &DataActions::save, QKeySequence::Save),
        nullptr,
        action(tr("Clear table"), &DataActions::clearTable),
        action(tr("Fill all dates..."), &DataActions::fillDates),
        action(tr("Fill all levels..."), &DataActions::fillLevels),
    };
    action(QString(), &DataActions::menuFromKeyboard, QKeySequence(Qt::SHIFT | Qt::Key_F10));
    // A group chosen sets the box's days too.
    connect(m_controls.sQ, &QLineEdit::textChanged, this, &DataActions::settingsChanged);
    for (QLineEdit* result : {m_controls.sPotEvro, m_controls.sWEvro})
        result->installEventFilter(this);
}

void DataActions::fillDates()
{
    m_fillDates();
}

void DataActions::fillLevels()
{
    m_fillLevels();
}

QAction* DataActions::action(const QString& text, void (DataActions::*slot)(),
                             const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        m_window.addAction(action);
    }
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void DataActions::addToMenu(QAction* action)
{
    m_menuActions.push_back(action);
    if (m_menu && action)
        m_menu->addAction(action);
    else if (m_menu)
        m_menu->addSeparator();
}

void DataActions::showMenu(QWidget* over, const QPoint& globalPosition)
{
    m_menuList = nullptr;
    for (QWidget* widget = over; widget && widget != &m_window; widget = widget->parentWidget()) {
        if (auto* list = qobject_cast<ListBox*>(widget)) {
            m_menuList = list;
            break;
        }
    }
    // One menu for the window's life, made on first use: a screen reader
    // finds no items in a second menu made over the same actions.
    if (!m_menu) {
        m_menu = new QMenu(&m_window);
        for (QAction* entry : m_menuActions) {
            if (entry)
                m_menu->addAction(entry);
            else
                m_menu->addSeparator();
        }
    }
    m_menu->exec(globalPosition);
    m_menuList = nullptr;
}

// Sent to the focused control, so that each control answers as it does to
// the Menu key: the number boxes open nothing, the others the window's menu.
void DataActions::menuFromKeyboard()
{
    QWidget* focused = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
    QPoint at = focused->rect().center();
    if (auto* list = qobject_cast<ListBox*>(focused)) {
        const QRect row = list->visualItemRect(list->currentItem());
        if (row.isValid())
            at = list->viewport()->mapTo(list, row.center());
    }
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, focused->mapToGlobal(at));
    QCoreApplication::sendEvent(focused, &event);
}

// The result boxes are read-only: Ctrl+C copies the text selected in them,
// else both results; Ctrl+V pastes the table, as elsewhere in the window.
bool DataActions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool copy =
        key->matches(QKeySequence::Copy) && !static_cast<QLineEdit*>(watched)->hasSelectedText();
    const bool paste = key->matches(QKeySequence::Paste);
    if (!copy && !paste)
        return false;
    // Claimed first, so that the window's own Ctrl+C does not copy the table.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    copy ? copyResults() : pasteTable();
    return true;
}

ListBox* DataActions::pointedList() const
{
    if (m_menuList)
        return m_menuList;
    for (ListBox* list : {m_controls.sNuch, m_controls.sTx, m_controls.sX}) {
        if (list->hasFocus())
            return list;
    }
    return nullptr;
}

void DataActions::pasteTable()
{
    ListBox* list = pointedList();
    const int selected = list ? list->selectedRow() : -1;
    const PasteColumn single = list == m_controls.sX ? PasteColumn::Levels : PasteColumn::Dates;
    const PastePlan plan = PlanPaste(QGuiApplication::clipboard()->text().toStdString(),
                                     std::max(selected, 0), single, m_currentYear());
    if (!plan.message.empty()) {
        m_dialogs.message(plan.message);
        return;
    }
    if (plan.rowsNeeded() > m_controls.sTx->count())
        grow(plan.rowsNeeded());
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const int row = plan.firstRow + static_cast<int>(i);
        if (plan.rows[i].date)
            SetItemText(m_controls.sTx, row, *plan.rows[i].date);
        if (plan.rows[i].level)
            SetItemText(m_controls.sX, row, *plan.rows[i].level);
    }
    blankResults();
}

// The count box keeps the rows filled so far.
void DataActions::grow(int rows)
{
    m_controls.sNx->setText(QString::fromStdString(PlainText(rows)));
}

// Results of an earlier table must not be taken for this one's.
void DataActions::blankResults()
{
    m_controls.sPotEvro->clear();
    m_controls.sWEvro->clear();
}

QString DataActions::periodText() const
{
    return m_controls.sQ->text();
}

int DataActions::plotYear() const
{
    return m_opened && m_opened->year ? *m_opened->year : m_currentYear();
}

CurveLabel DataActions::curveLabel() const
{
    return m_opened ? m_label : CurveLabel();
}

void DataActions::copyTable()
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(
        CopiedTable(ItemTexts(m_controls.sTx), ItemTexts(m_controls.sX), periodText().toStdString(),
                    plotYear(), DesktopDecimalMark())));
}

void DataActions::copyResults()
{
    QGuiApplication::clipboard()->setText(QString::fromStdString(CopiedResults(
        m_controls.sPotEvro->text().toStdString(), m_controls.sWEvro->text().toStdString(),
        periodText().toStdString(), DesktopDecimalMark())));
}

void DataActions::clearTable()
{
    if (!m_dialogs.confirm("Clear every date and level of the table? The number of assessments "
                           "stays."))
        return;
    for (QListWidget* list :
         {static_cast<QListWidget*>(m_controls.sTx), static_cast<QListWidget*>(m_controls.sX)}) {
        for (int row = 0; row < list->count(); ++row)
            list->item(row)->setText(QString::fromLatin1(kBlankCell.data(), 1));
    }
    blankResults();
}

void DataActions::open()
{
    const TrialFileName chosen = m_dialogs.openTrialName("Open a plot");
    if (!chosen.path.empty())
        openFile(QString::fromStdString(chosen.path),
                 chosen.monthFirst ? DateOrder::MonthFirst : DateOrder::DayFirst);
}

void DataActions::save()
{
    const std::string suggested =
        m_opened ? QDir(m_folder)
                       .filePath(QString::fromStdString(PlotFileName(m_opened->name)))
                       .toStdString()
                 : std::string("plot.csv");
    const std::string path = m_dialogs.saveFileName("Save the plot", suggested);
    if (path.empty())
        return;
    const QString file = QString::fromStdString(path);
    PlotOrigin origin;
    if (m_opened) {
        origin = *m_opened;
    } else {
        origin.name = QFileInfo(file).completeBaseName().toStdString();
        if (origin.name.empty())
            origin.name = "plot";
    }
    // A typed period leaves the option as it was: the option counts only
    // while the period box still holds its days.
    std::optional<std::size_t> option;
    for (std::size_t i = 0; i < m_controls.options.size(); ++i) {
        if (m_controls.options[i]->isChecked() &&
            periodText() == QString::number(kPeriodOptions[i].days))
            option = i;
    }
    const std::string text =
        PlotFileText(origin, ItemTexts(m_controls.sTx), ItemTexts(m_controls.sX), option,
                     periodText().toStdString());
    // Written whole or not at all: an earlier file under the name survives a
    // failed save.
    std::string why;
    if (!WriteWholeFile(file, text, why))
        m_dialogs.message("The plot was not saved: " + path + ": " + why);
}

void DataActions::openFile(const QString& path, DateOrder dates)
{
    const std::string where = path.toStdString();
    const std::optional<FileReading> how = askHowToRead(path, dates);
    if (!how)
        return;
    // What the plain reader of one plot cannot read goes to the Trial window.
    const TrialReading plain;
    if (how->workbook || how->reading.dates != plain.dates || !how->reading.dayPrefix.empty() ||
        !how->reading.trait.empty()) {
        emit trialOpened(path);
        return;
    }
    std::string why;
    // A trial is read in the Trial window, where the user picks a plot: it is
    // sent there once a second plot shows, without holding the whole file.
    PlotCounter counter;
    TrialReader reader(counter);
    const bool read = ReadTrialFile(
        path, [&](std::string_view piece) { return !reader.read(piece) && !counter.several(); },
        why);
    if (read && counter.several()) {
        emit trialOpened(path);
        return;
    }
    const std::optional<QByteArray> bytes = read ? ReadTrialBytes(path, why) : std::nullopt;
    if (!bytes) {
        m_dialogs.message("The file cannot be read: " + where + ": " + why);
        return;
    }
    const BatchSettings settings = batchSettings();
    const OpenedTrial opened =
        ReadPlot(std::string_view(bytes->constData(), std::size_t(bytes->size())), 0, settings.year,
                 settings.defaultPeriod);
    if (opened.error) {
        m_dialogs.message("The file cannot be read: " + where + ", line " +
                          std::to_string(opened.error->line) + ": " + shown(opened.error->message));
        return;
    }
    if (!opened.plot) {
        m_dialogs.message("The file cannot be read: " + where + ": it holds no plot");
        return;
    }
    if (opened.plotCount > 1) {
        emit trialOpened(path);
        return;
    }
    showPlot(opened, path);
}

// Plots that give no period are computed with the window's.
BatchSettings DataActions::batchSettings() const
{
    const std::optional<std::int16_t> days = ReadInt16(periodText().toStdString());
    return {m_currentYear(), days && PeriodInRange(*days) ? *days : kDefaultPeriod};
}

std::optional<FileReading> DataActions::askHowToRead(const QString& path, DateOrder dates)
{
    std::optional<FileReading> how = AskHowToRead(path, dates, m_currentYear(), m_dialogs);
    if (how)
        m_readings[QFileInfo(path).absoluteFilePath()] = *how;
    return how;
}

FileReading DataActions::readingOf(const QString& path) const
{
    const auto found = m_readings.find(QFileInfo(path).absoluteFilePath());
    return found == m_readings.end() ? FileReading{} : found->second;
}

std::optional<std::string> DataActions::shownPlot(const QString& path) const
{
    if (!m_opened || m_openedPath != QFileInfo(path).absoluteFilePath() ||
        ItemTexts(m_controls.sTx) != m_shownDates || ItemTexts(m_controls.sX) != m_shownLevels)
        return std::nullopt;
    return m_opened->name;
}

void DataActions::showPlot(const OpenedTrial& opened, const QString& path, const CurveLabel& place,
                           bool withResults)
{
    if (!opened.plot)
        return;
    const WindowPlot& plot = *opened.plot;
    m_opened = OriginOf(opened, plot);
    m_folder = QFileInfo(path).absolutePath();
    m_label = place;
    m_label.trial = QFileInfo(path).fileName();
    m_label.folder = m_folder;
    if (m_label.site.isEmpty())
        m_label.site = QFileInfo(path).completeBaseName();
    m_label.plot = QString::fromStdString(plot.summary.name);
    show(plot);
    // As Calculate would show them, its messages left to Calculate itself.
    if (withResults) {
        CalculationInput input;
        input.dates = ItemTexts(m_controls.sTx);
        input.levels = ItemTexts(m_controls.sX);
        input.countText = m_controls.sNx->text().toStdString();
        input.periodText = periodText().toStdString();
        input.currentYear = m_currentYear();
        const CalculationOutcome outcome = Calculate(input);
        if (outcome.kind == CalculationOutcome::Kind::Results) {
            m_controls.sPotEvro->setText(QString::fromStdString(outcome.losses));
            m_controls.sWEvro->setText(QString::fromStdString(outcome.audpc));
        }
    }
    m_openedPath = QFileInfo(path).absoluteFilePath();
    m_shownDates = ItemTexts(m_controls.sTx);
    m_shownLevels = ItemTexts(m_controls.sX);
    emit plotOpened();
    if (!plot.summary.refusal.empty())
        m_dialogs.message(shown(plot.summary.refusal));
}

// The count follows the plot, then every row is written, so nothing of the
// table before stays; the period goes through the period box's own rules.
void DataActions::show(const WindowPlot& plot)
{
    blankResults();
    const int rows = std::max(3, static_cast<int>(plot.dates.size()));
    m_controls.sNx->setText(QString::fromStdString(PlainText(rows)));
    for (int row = 0; row < rows; ++row) {
        const auto at = static_cast<std::size_t>(row);
        const bool given = at < plot.dates.size();
        SetItemText(m_controls.sTx, row, given ? plot.dates[at] : std::string(kBlankCell));
        SetItemText(m_controls.sX, row, given ? plot.levels[at] : std::string(kBlankCell));
    }
    if (plot.option && *plot.option < m_controls.options.size())
        m_controls.options[*plot.option]->setChecked(true);
    if (!plot.period.empty())
        m_controls.sQ->setText(QString::fromStdString(plot.period));
}

} // namespace quarven
