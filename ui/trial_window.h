// The Trial window: every plot of a trial file with the batch's results, to
// sort, filter, group by a copied column with the summary and its chart,
// export and copy; a chosen plot goes to the calculator. The window follows
// the file on disk and keeps its sort, filter, grouping and standards when
// the file is read again.
#pragma once

#include "ui/curve_loader.h"
#include "ui/trial_model.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QSortFilterProxyModel;
class QTableView;

namespace quarven {

class DataActions;
class Dialogs;

class TrialWindow : public QWidget {
    Q_OBJECT
public:
    // A chosen plot goes to the calculator through data, which also gives
    // the year and period the trial is read with.
    TrialWindow(Dialogs& dialogs, DataActions& dataActions, QWidget* parent = nullptr);
    ~TrialWindow() override;

    // Reads the file into the window; false, with the message told, when it
    // cannot be read (the window keeps what it showed).
    bool load(const QString& path);
    [[nodiscard]] const QString& path() const { return m_path; }

    void goToPlot();
    void copyRows();
    void exportPlots();
    void exportSummary();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Enter on a plot goes to it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool read(const QString& path, bool quiet);
    void regroup();
    // Written whole or not at all, or the failure told after `failed`.
    void exportText(const std::string& title, const char* ending, const std::string& failed,
                    const std::string& text);
    void fileChanged();
    QAction* action(const QString& text, const QKeySequence& key, void (TrialWindow::*slot)());

    Dialogs& m_dialogs;
    DataActions& m_data;
    QString m_path;
    std::unique_ptr<TrialTable> m_table;
    TrialPlotsModel* m_plotsModel;
    TrialSummaryModel* m_summaryModel;
    QSortFilterProxyModel* m_summaryProxy;
    QLineEdit* m_filter;
    QComboBox* m_groupBy;
    QTableView* m_plots;
    QTableView* m_summary;
    QLabel* m_status;
    ModuleWidget<GroupChart> m_chart;
    QFileSystemWatcher* m_watcher;
    QMenu* m_menu;
};

} // namespace quarven
