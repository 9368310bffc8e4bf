// The Trial window: every plot of one or more trial files with the batch's
// results, to sort, filter, group by a copied column with the summary and its
// chart, export and copy; a chosen plot goes to the calculator. Each file is
// a site of one evaluation: each site's groups are placed on the scale by its
// own standards, and a combined view compares the sites. The window follows
// each file on disk (also when it is removed and written again) and the
// calculator's period, reads a file again off its thread, and keeps its
// sort, filter, grouping, standards and selection when the new table comes.
#pragma once

#include "ui/curve_loader.h"
#include "ui/trial_loader.h"
#include "ui/trial_model.h"

#include <QRect>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTabWidget;
class QTimer;

namespace quarven {

class DataActions;
class Dialogs;
struct OpenedTrial;

// A window's frame as wanted, made no larger than the screen's free area and
// moved wholly onto it.
[[nodiscard]] QRect PlacedOnScreen(const QRect& wanted, const QRect& available);

class TrialWindow : public QWidget {
    Q_OBJECT
    friend class TrialReports;

public:
    // A chosen plot goes to the calculator through data, which also gives
    // the year and period the trial is read with.
    TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent = nullptr);
    ~TrialWindow() override;

    // Reads the file into the window, off its thread, in place of what it
    // shows once it is read. One that cannot be read is told, and the window
    // keeps what it showed, or closes when it showed nothing.
    void load(const QString& path);
    // The file as another site, named by its file name without folder and
    // extension; a second site of a name already shown is told and not read.
    void addSite(const QString& path);
    // Every file as a site, in place of what the window shows.
    void loadSites(const QStringList& paths);
    // The window shows a trial or is reading one.
    [[nodiscard]] bool holdsTrial() const { return !m_sites.empty(); }
    // A site (shown or being read) reads the file at this path.
    [[nodiscard]] bool holds(const QString& path) const;
    // The names of the sites, shown or being read.
    [[nodiscard]] QStringList siteNames() const;
    // A read is under way; the table it gives will replace the one shown.
    [[nodiscard]] bool reading() const;

    void goToPlot();
    void copyRows();
    void exportPlots();
    void exportSummary();
    void exportFit();
    void exportCombined();
    // The summary, or the combined view in its place.
    void toggleCombined();

signals:
    // A table read was put in the window.
    void tableShown();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Enter on a plot goes to it; the window's keys pass the filter box.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Why a load was asked for: Open tells a failure in a message, a read
    // that follows the file or the period only in the status line.
    enum Purpose { kOpen = 1, kFollow = 2 };
    struct Site {
        QString path;
        std::string name;
        TrialLoader* loader = nullptr;
        std::shared_ptr<const TrialTable> table; // none until read
        // Opened in place of the sites before it, which go once it is read; a
        // site added after it stays.
        bool replacing = false;
        // The site that takes this one's place once read; none.
        Site* replacedBy = nullptr;
        // Written to, and to be read again once the writes settle.
        bool changed = false;
        QString readNote;
        // The running sums of `table` grouped by its copied column `summedColumn`.
        std::shared_ptr<const TrialTable> summed;
        std::size_t summedColumn = 0;
        TrialSummary sums;
    };

    // The constructor's parts, in the order the controls are made, which is
    // the order the focus takes where the tab order is not set.
    void nameControls();
    void makeViews();
    [[nodiscard]] QLayout* filterRow();
    [[nodiscard]] QWidget* plotsBesideSummary();
    [[nodiscard]] QWidget* summaryPage();
    [[nodiscard]] QWidget* combinedPage();
    // The window's actions, with the menu and the row of buttons that offer
    // them.
    [[nodiscard]] QLayout* makeActions();
    void connectControls();
    void followWrites();

    // A site for the file, read at once; replacing: the others go once it is
    // read.
    void open(const QString& path, bool replacing);
    void drop(Site* site);
    [[nodiscard]] Site* siteNamed(const std::string& name) const;
    void startLoad(Site& site, Purpose purpose, bool settle);
    void readAgain(Site& site, bool settle);
    void loaded(Site& site, TrialLoaded result);
    // The sites read so far as the table shown.
    void showSites();
    void follow();
    void fileChanged();
    void settingsChanged();
    // The plots selected, and the current one at column `column`, shown
    // again where the model now shows them.
    void reselect(const std::vector<std::uint32_t>& selected,
                  const std::vector<std::uint32_t>& current, int column);
    // The sites' copied columns, the one grouped by chosen again.
    void fillGroupBy(const TrialSites& sites);
    void chooseGrouping(int at);
    void regroup();
    // The evaluation over the sites grouped by copied column `column` of
    // the whole, with why a site is left out.
    [[nodiscard]] std::shared_ptr<const Evaluation> evaluate(std::size_t column,
                                                             QStringList& notes);
    void showEvaluation(const std::shared_ptr<const Evaluation>& evaluation,
                        const QStringList& notes);
    void filterSummary();
    [[nodiscard]] bool readPlot(const Site& site, std::size_t row, const std::string& name,
                                OpenedTrial& opened, std::string& why) const;
    void followShownPlot(const Site& site);
    void drawChart();
    void updateTitle();
    void updateStatus();
    void showProgress();
    void findPlots();
    void menuFromKeyboard();
    // A file to export to, proposed beside the first trial; empty when
    // cancelled.
    [[nodiscard]] std::string exportPath(const std::string& title, const char* ending);
    // The evaluation's text for the file dialog's answer, when the window
    // still has one by then; an export of `what` is told otherwise.
    void exportEvaluation(const std::string& title, const char* ending, const std::string& what,
                          std::string (*text)(const Evaluation&, char, DecimalMark));
    // Written whole or not at all, never over a site's file, or the failure
    // told after `failed`.
    // A path ending in .xlsx is written as a workbook of one sheet.
    void writeExport(const std::string& path, const std::string& text, const std::string& failed,
                     const std::string& sheet);

    Dialogs& m_dialogs;
    DataActions& m_data;
    std::vector<std::unique_ptr<Site>> m_sites;
    TrialPlotsModel* m_plotsModel;
    TrialSummaryModel* m_summaryModel;
    SiteFilterProxy* m_summaryProxy;
    EvaluationTableModel* m_combinedModel;
    EvaluationTableModel* m_fitModel;
    EvaluationTableModel* m_correlationModel;
    QLineEdit* m_filter;
    QComboBox* m_groupBy;
    QComboBox* m_siteFilter;
    QTableView* m_plots;
    QTableView* m_summary;
    QTableView* m_combined;
    QTableView* m_fit;
    QTableView* m_correlations;
    QListWidget* m_messages;
    QLabel* m_messagesLabel = nullptr;
    QLabel* m_siteLabel = nullptr;
    QWidget* m_side;
    QTabWidget* m_tabs;
    QLabel* m_status;
    ModuleWidget<GroupChart> m_chart;
    ModuleWidget<GroupCurvesView> m_curves;
    QFileSystemWatcher* m_watcher;
    QTimer* m_settle;
    QTimer* m_progress;
    QMenu* m_menu;
    std::vector<QAction*> m_actions;
    QAction* m_exportFit = nullptr;
    QAction* m_exportCombined = nullptr;
    QAction* m_toggleCombined = nullptr;
    // The column grouped by: its name and which of the columns of that name.
    std::string m_groupName;
    int m_groupOccurrence = 0;
    // The evaluation shown while grouped.
    std::shared_ptr<const Evaluation> m_evaluation;
    // The standards it was drawn with: none when those typed are refused.
    std::vector<Standard> m_standardsUsed;
    // The status line's notes under the count of plots.
    QString m_progressNote;
    // The plot the calculator shows has left its file.
    QString m_plotNote;
    QString m_standardsNote;
};

} // namespace quarven
