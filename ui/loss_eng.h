// The main window: the assessment table, the row count, the tuberization
// period, Calculate and the two results. It holds all the program's state in
// its controls; each handler reads them, hands the texts to the entry rules
// or the core, and writes back what comes out.
#pragma once

#include "entry/count_field.h"
#include "entry/entry_prompts.h"
#include "entry/tuberization_period.h"
#include "ui/control_adapters.h"
#include "ui/curve_loader.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quarven {

class AboutLossesE;
class ClickLabel;
class DataActions;
class Dialogs;
class DigitsOnlyFilter;
class ListBox;
class TrialWindow;

class LossEng : public QWidget {
    Q_OBJECT
public:
    // currentYear gives the year that dates without one fall in; by default
    // the clock's.
    explicit LossEng(Dialogs& dialogs, std::function<int()> currentYear = {},
                     QWidget* parent = nullptr);
    ~LossEng() override;

    // The About window while it is open.
    [[nodiscard]] AboutLossesE* aboutWindow() const;
    // The disease progress curve while it is open.
    [[nodiscard]] QWidget* curveWindow() const;
    void showCurve();
    // A trial file as Open reads it.
    void openFile(const QString& path);
    // Trial files as the sites of one evaluation in the Trial window.
    void openSites(const QStringList& paths);
    // The Trial window of the trial opened last, while it is open.
    [[nodiscard]] TrialWindow* trialWindow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The controls the handlers use, each named as its objectName; the
    // captions are made by the layout table and never touched again.
    struct Controls {
        ListBox* sNuch;
        ListBox* sTx;
        ListBox* sX;
        ClickLabel* AllsX;
        ClickLabel* Alluch;
        ClickLabel* Picture2;
        // Spel1 to Spel7, in the order of kPeriodOptions.
        std::array<QRadioButton*, kPeriodOptions.size()> options;
        QLineEdit* sQ;
        QLineEdit* sNx;
        QPushButton* Command1;
        QLineEdit* sPotEvro;
        QLineEdit* sWEvro;
    };
    [[nodiscard]] static Controls createControls(QWidget& window);
    void connectHandlers();

    void Load();
    void BuildTable();
    void Command1_Click();
    void sNuch_Click();
    void sTx_Click();
    void sX_Click();
    void Alluch_Click();
    void AllsX_Click();
    void sNx_Change();
    void sQ_Change();
    void Spel_Click(int days);
    void Spel7_Click();
    void Picture2_Click();
    // Tab visits only the selected option of the frame.
    void keepTabOnSelectedOption();
    void openTrial(const QString& path);
    // The Trial window, made on first use.
    [[nodiscard]] TrialWindow* makeTrialWindow();
    void showTrialWindow();

    Dialogs& m_dialogs;
    std::function<int()> m_currentYear;
    const Controls m_ui;
    ListCells m_cells;
    LineEditBox m_countBox;
    LineEditBox m_periodBox;
    EntryPrompts m_prompts;
    CountField m_countField;
    DigitsOnlyFilter* m_digitsOnly;
    DataActions* m_data;
    QPointer<AboutLossesE> m_about;
    ModuleWidget<CurveView> m_curve;
    QPointer<TrialWindow> m_trial;
};

} // namespace quarven
