// The Trial window: every plot of a trial file with the batch's results, to
// sort, filter, group by a copied column with the summary and its chart,
// export and copy; a chosen plot goes to the calculator. The window follows
// the file on disk (also when it is removed and written again) and the
// calculator's period, reads the file again off its thread, and keeps its
// sort, filter, grouping, standards and selection when the new table comes.
#pragma once

#include "ui/curve_loader.h"
#include "ui/trial_loader.h"
#include "ui/trial_model.h"

#include <QWidget>

#include <memory>
#include <string>

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace quarven {

class DataActions;
class Dialogs;

class TrialWindow : public QWidget {
    Q_OBJECT
    friend class TrialReports;

public:
    // A chosen plot goes to the calculator through data, which also gives
    // the year and period the trial is read with.
    TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent = nullptr);
    ~TrialWindow() override;

    // Reads the file into the window, off its thread. One that cannot be
    // read is told, and the window keeps what it showed, or closes when it
    // showed nothing.
    void load(const QString& path);
    [[nodiscard]] const QString& path() const { return m_path; }
    // A read is under way; the table it gives will replace the one shown.
    [[nodiscard]] bool reading() const { return m_loader->busy(); }

    void goToPlot();
    void copyRows();
    void exportPlots();
    void exportSummary();

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

    // The constructor's parts, in the order the controls are made, which is
    // the order the focus takes where the tab order is not set.
    void nameControls();
    void makeViews();
    [[nodiscard]] QLayout* filterRow();
    [[nodiscard]] QWidget* plotsBesideSummary();
    // The window's actions, with the menu and the row of buttons that offer
    // them.
    [[nodiscard]] QLayout* makeActions();
    void connectControls();
    void followWrites();

    void startLoad(const QString& path, Purpose purpose, bool settle);
    void readAgain(bool settle);
    void loaded(TrialLoaded result);
    void showTable(std::shared_ptr<const TrialTable> table);
    void follow(const QString& path);
    void fileChanged();
    void settingsChanged();
    // The plots selected, and the current one at column `column`, shown
    // again where the model now shows them.
    void reselect(const std::vector<std::uint32_t>& selected,
                  const std::vector<std::uint32_t>& current, int column);
    // The table's copied columns, the one grouped by chosen again.
    void fillGroupBy(const TrialTable& table);
    void chooseGrouping(int at);
    void regroup();
    void drawChart(const Summary& summary);
    void updateStatus();
    void showProgress();
    void findPlots();
    void menuFromKeyboard();
    // A file to export to, proposed beside the trial; empty when cancelled.
    [[nodiscard]] std::string exportPath(const std::string& title, const char* ending);
    // Written whole or not at all, or the failure told after `failed`.
    void writeExport(const std::string& path, const std::string& text, const std::string& failed);

    Dialogs& m_dialogs;
    DataActions& m_data;
    QString m_path;
    TrialPlotsModel* m_plotsModel;
    TrialSummaryModel* m_summaryModel;
    QSortFilterProxyModel* m_summaryProxy;
    QLineEdit* m_filter;
    QComboBox* m_groupBy;
    QTableView* m_plots;
    QTableView* m_summary;
    QLabel* m_status;
    ModuleWidget<GroupChart> m_chart;
    ModuleWidget<GroupCurvesView> m_curves;
    QFileSystemWatcher* m_watcher;
    QTimer* m_settle;
    QTimer* m_progress;
    QMenu* m_menu;
    std::vector<QAction*> m_actions;
    TrialLoader* m_loader;
    // The column grouped by: its name and which of the columns of that name.
    std::string m_groupName;
    int m_groupOccurrence = 0;
    // The summary's running sums of the table shown, by column m_runningColumn.
    std::shared_ptr<TrialSummary> m_running;
    int m_runningColumn = -1;
    // The status line's notes under the count of plots.
    QString m_readNote;
    QString m_standardsNote;
    // The file changed while another was being opened.
    bool m_missedChange = false;
};

} // namespace quarven
