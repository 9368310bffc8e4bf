// The main window: the assessment table, the row count, the tuberization
// period, Calculate and the two results. It holds all the program's state in
// its controls; each handler reads them, hands the texts to the entry rules
// or the core, and writes back what comes out.
#pragma once

#include "entry/count_field.h"
#include "entry/entry_prompts.h"
#include "ui/control_adapters.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quarven {

class AboutLossesE;
class ClickLabel;
class Dialogs;
class DigitsOnlyFilter;
class ListBox;

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
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

    Dialogs& m_dialogs;
    std::function<int()> m_currentYear;

public:
    // Controls keep their given names, which are also their objectNames.
    QLabel* Label1 = nullptr;
    ListBox* sNuch = nullptr;
    ListBox* sTx = nullptr;
    ListBox* sX = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* NNabl = nullptr;
    ClickLabel* AllsX = nullptr;
    ClickLabel* Alluch = nullptr;
    ClickLabel* Picture2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 7> Spel{};
    QLineEdit* sQ = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* sNx = nullptr;
    QPushButton* Command1 = nullptr;
    QLineEdit* sPotEvro = nullptr;
    QLineEdit* sWEvro = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;

private:
    DigitsOnlyFilter* m_digitsOnly = nullptr;
    ListCells m_cells{nullptr, nullptr};
    LineEditBox m_countBox{nullptr};
    LineEditBox m_periodBox{nullptr};
    EntryPrompts m_prompts;
    std::unique_ptr<CountField> m_countField;
    QPointer<AboutLossesE> m_about;
};

} // namespace quarven
