// The main window's ways to move data in and out, on its context menu and on
// the platform's shortcuts: paste and copy the table, copy the results, open
// and save a plot as a trial file, clear the table and fill a whole column.
// None of them changes a control's look or place; the count grows through
// the count box as if the user typed it.
#pragma once

#include "entry/plot_file.h"
#include "entry/tuberization_period.h"
#include "ui/curve_loader.h"
#include "ui/trial_questions.h"

#include <QByteArray>
#include <QKeySequence>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

class QAction;
class QLineEdit;
class QMenu;
class QRadioButton;
class QWidget;

namespace quarven {

struct BatchSettings;
class Dialogs;
class ListBox;

// The desktop's decimal mark, where it is one that a trial cell can hold: what
// numbers copied for a spreadsheet are written with.
[[nodiscard]] char DesktopDecimalMark();

class DataActions : public QObject {
    Q_OBJECT
public:
    // The controls the actions read and write.
    struct Controls {
        ListBox* sNuch;
        ListBox* sTx;
        ListBox* sX;
        QLineEdit* sNx;
        QLineEdit* sQ;
        std::array<QRadioButton*, kPeriodOptions.size()> options;
        QLineEdit* sPotEvro;
        QLineEdit* sWEvro;
    };

    // The shortcuts go on window; fillDates and fillLevels are the two
    // column labels' own actions.
    DataActions(QWidget& window, const Controls& controls, Dialogs& dialogs,
                std::function<int()> currentYear, std::function<void()> fillDates,
                std::function<void()> fillLevels);

    // The context menu for a right click, the Menu key or Shift+F10 over
    // this control (a list, a result box or the window itself).
    void showMenu(QWidget* over, const QPoint& globalPosition);
    // Adds an action to the menu, after the others.
    void addToMenu(QAction* action);

    void pasteTable();
    void copyTable();
    void copyResults();
    void open();
    // Dates read day first unless the user chose otherwise.
    void openFile(const QString& path, DateOrder dates = DateOrder::DayFirst);
    void save();
    void clearTable();
    void fillDates();
    void fillLevels();

    // The plot read from a trial into the table, as Open does; place gives
    // its site and group when a window knows them. withResults: its results
    // shown at once, as Calculate shows them.
    void showPlot(const OpenedTrial& opened, const QString& path, const CurveLabel& place = {},
                  bool withResults = false);
    // The year and default period a trial opened now is read with.
    [[nodiscard]] BatchSettings batchSettings() const;

    // Asks what the trial at path cannot tell its reader, and keeps the
    // answers for readingOf; nothing when a question was cancelled or the
    // file cannot be read (that is told).
    std::optional<FileReading> askHowToRead(const QString& path,
                                            DateOrder dates = DateOrder::DayFirst);
    // The plot the table shows from the trial at path, while the table is
    // as it was shown; nothing once it was edited or another was opened.
    [[nodiscard]] std::optional<std::string> shownPlot(const QString& path) const;

    // How the trial at path is read, as the user answered when it was opened.
    [[nodiscard]] FileReading readingOf(const QString& path) const;

    // The trial, site, group and plot of the plot opened from a file; empty
    // before any.
    [[nodiscard]] CurveLabel curveLabel() const;

signals:
    // Another plot was opened.
    void plotOpened();
    // A file of more than one plot was opened, for the Trial window.
    void trialOpened(const QString& path);
    // What batchSettings() gives may have changed: the period box changed.
    void settingsChanged();

protected:
    // Ctrl+C and Ctrl+V in the result boxes.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shift+F10: the menu of the focused control, as the Menu key gives it.
    void menuFromKeyboard();
    QAction* action(const QString& text, void (DataActions::*slot)(),
                    const QKeySequence& shortcut = {});
    // The list the user points at: the one under the menu, else the focused one.
    [[nodiscard]] ListBox* pointedList() const;
    void grow(int rows);
    void blankResults();
    void show(const WindowPlot& plot);
    [[nodiscard]] QString periodText() const;
    // The year the table's dates fall in: the opened plot's, else this year.
    [[nodiscard]] int plotYear() const;

    QWidget& m_window;
    Controls m_controls;
    Dialogs& m_dialogs;
    std::function<int()> m_currentYear;
    std::function<void()> m_fillDates;
    std::function<void()> m_fillLevels;
    std::vector<QAction*> m_menuActions;
    ListBox* m_menuList = nullptr;
    // The plot opened last, and the folder it came from.
    std::optional<PlotOrigin> m_opened;
    QString m_folder;
    // The file the plot came from, and the table's columns as it was shown.
    QString m_openedPath;
    std::vector<std::string> m_shownDates;
    std::vector<std::string> m_shownLevels;
    std::map<QString, FileReading> m_readings;
    CurveLabel m_label;
    QMenu* m_menu = nullptr;
};

} // namespace quarven
