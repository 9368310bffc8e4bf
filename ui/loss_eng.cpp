#include "loss_eng.h"

#include "core/assessment_table.h"
#include "core/loss_calculation.h"
#include "core/value_conventions.h"
#include "entry/table_editing.h"
#include "ui/about_losses_e.h"
#include "ui/appearance.h"
#include "ui/controls.h"
#include "ui/curve_loader.h"
#include "ui/data_actions.h"
#include "ui/form.h"
#include "ui/trial_window.h"
#include "ui/twips.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDate>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

namespace quarven {
namespace {

using form::kBordered;
using form::kCentred;
using form::Kind;
using form::kReadOnly;
using form::kScrollBar;
using form::kSystem;
using form::rgb;
using form::role;

constexpr form::Colour kDarkGreen = rgb(0, 64, 0);

// An option of the period frame, with its caption and tooltip from the
// option's entry in kPeriodOptions.
constexpr form::Control option(std::size_t index, int top, int width, int height)
{
    const PeriodOption& period = kPeriodOptions[index];
    form::Control control{period.name, Kind::Option, "Frame1",       120,           top,
                          width,       height,       period.caption, period.tooltip};
    // Options inherit the frame's dark green unless given their own colour.
    control.text = index == 0 ? rgb(0, 0, 0) : role(QPalette::WindowText);
    return control;
}

// The controls in tab order; places in twips, Frame1's controls relative to
// the frame.
constexpr std::array<form::Control, 27> kLayout = {{
    {"Label1", Kind::Label, nullptr, 840, 120, 5772, 732,
     "Calculation of Quarven caused by the early and late blight",
     "Developed and programmed by plant pathologists of a potato research institute",
     FontVariant::TitleBold, rgb(0, 128, 0), role(QPalette::Light), kBordered | kCentred},
    {"sNuch", Kind::ListBox, nullptr, 240, 4680, 495, 2712, nullptr,
     "You should indicate a number of the assessment", std::nullopt, kSystem, kSystem, 0,
     "Number of assessment"},
    {"sTx", Kind::ListBox, nullptr, 1560, 4680, 735, 2712, nullptr,
     "July 12 should be recorded as 12/7 ", std::nullopt, kSystem, kSystem, 0,
     "Assessment dates (dd/mm)"},
    {"sX", Kind::ListBox, nullptr, 3480, 4680, 495, 2736, nullptr, "Example: 1.2 ", std::nullopt,
     kSystem, kSystem, 0, "Level of infection, %"},
    {"Label2", Kind::Label, nullptr, 4440, 1200, 1452, 732,
     "Insert the number of foliar blight assessments", nullptr},
    {"Label7", Kind::Label, nullptr, 1080, 3480, 2772, 372, "Assessment data", nullptr,
     FontVariant::TitleBold, kScrollBar, kSystem, kCentred},
    {"NNabl", Kind::Label, nullptr, 0, 4080, 972, 492, "Number of assessment",
     "You should indicate the number of an assessment", FontVariant::HeaderBold, kSystem, kSystem,
     kCentred},
    {"AllsX", Kind::ClickLabel, nullptr, 3000, 4080, 1332, 492, "Insert the level of infection, %",
     "You should insert all data on the level of infection", FontVariant::HeaderBold,
     rgb(255, 255, 0), kSystem, kCentred},
    {"Alluch", Kind::ClickLabel, nullptr, 1080, 3960, 1452, 612, "Insert assessment dates (dd/mm)",
     "You should insert all dates of assessments", FontVariant::HeaderBold, rgb(128, 255, 128),
     kSystem, kCentred},
    {"Picture2", Kind::ClickPicture, nullptr, 120, 240, 492, 552, nullptr, "About the program",
     std::nullopt, kSystem, kSystem, 0, "About the program"},
    {"Frame1", Kind::Frame, nullptr, 240, 1080, 3612, 2172, "Define the period of tuberization",
     nullptr, std::nullopt, kSystem, kDarkGreen},
    option(0, 240, 1575, 255),
    option(1, 480, 1335, 255),
    option(2, 720, 1455, 255),
    option(3, 960, 1575, 255),
    option(4, 1200, 1575, 255),
    option(5, 1440, 1455, 255),
    option(6, 1680, 3372, 375),
    {"sQ", Kind::TextBox, "Frame1", 2160, 840, 735, 375, "52", "You can insert your values",
     FontVariant::BoxRegular, kSystem, kDarkGreen, kCentred, "Tuberization, days"},
    {"Label3", Kind::Label, "Frame1", 1800, 480, 1452, 852, "Tuberization, days", nullptr,
     std::nullopt, kSystem, kDarkGreen, kBordered},
    {"sNx", Kind::TextBox, nullptr, 6000, 1320, 615, 420, "3",
     "the number of assessments should be 2 or more", FontVariant::BoxRegular, kSystem, kSystem,
     kCentred, "Number of foliar blight assessments"},
    {"Command1", Kind::CommandButton, nullptr, 4560, 2160, 2055, 975, "Calculate",
     "You should insert assessment data", FontVariant::TitleBold},
    // Only Calculate writes the results; they can still be selected and copied.
    {"sPotEvro", Kind::TextBox, nullptr, 5760, 5280, 852, 372, nullptr, nullptr,
     FontVariant::ResultRegular, kSystem, kSystem, kCentred | kReadOnly, "Yield losses, %"},
    {"sWEvro", Kind::TextBox, nullptr, 5880, 4200, 732, 372, nullptr, nullptr,
     FontVariant::ResultRegular, kSystem, kSystem, kCentred | kReadOnly, "AUDPC"},
    {"Label9", Kind::Label, nullptr, 120, 0, 732, 252, "Orvask", nullptr},
    {"Label14", Kind::Label, nullptr, 4680, 5280, 1092, 612, "Yield losses, %", nullptr,
     FontVariant::ResultRegular},
    {"Label15", Kind::Label, nullptr, 4800, 4320, 852, 252, "AUDPC", nullptr,
     FontVariant::ResultRegular},
}};

void fill(QListWidget* list, const std::vector<std::string>& texts)
{
    QStringList items;
    items.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts)
        items.append(QString::fromStdString(text));
    list->clear();
    list->addItems(items);
}

int clockYear()
{
    return QDate::currentDate().year();
}

} // namespace

LossEng::LossEng(Dialogs& dialogs, std::function<int()> currentYear, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs),
      m_currentYear(currentYear ? std::move(currentYear) : std::function<int()>(clockYear)),
      m_ui(createControls(*this)), m_cells(m_ui.sTx, m_ui.sX), m_countBox(m_ui.sNx),
      m_periodBox(m_ui.sQ), m_prompts(dialogs, m_cells, m_currentYear),
      m_countField(m_countBox, dialogs, [this] { BuildTable(); }),
      m_digitsOnly(new DigitsOnlyFilter(dialogs, this)),
      m_data(new DataActions(
          *this,
          {m_ui.sNuch, m_ui.sTx, m_ui.sX, m_ui.sNx, m_ui.sQ, m_ui.options, m_ui.sPotEvro,
           m_ui.sWEvro},
          dialogs, m_currentYear, [this] { Alluch_Click(); }, [this] { AllsX_Click(); }))
{
    setObjectName(QStringLiteral("LossEng"));
    auto* curve = new QAction(tr("Show curve"), this);
    curve->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    addAction(curve);
    connect(curve, &QAction::triggered, this, &LossEng::showCurve);
    m_data->addToMenu(nullptr);
    m_data->addToMenu(curve);
    connect(m_data, &DataActions::trialOpened, this, &LossEng::openTrial);
    connect(m_data, &DataActions::plotOpened, this, [this] {
        if (m_curve)
            m_curve->redraw();
    });
    connectHandlers();
    Load();
    trimToWholeRows(m_ui.sX);
}

LossEng::~LossEng() = default;

AboutLossesE* LossEng::aboutWindow() const
{
    return m_about;
}

void LossEng::openFile(const QString& path)
{
    m_data->openFile(path);
}

TrialWindow* LossEng::trialWindow() const
{
    return m_trial;
}

// One Trial window, beside this one. A trial opened while it holds another
// is added as another site or takes the place of what it holds, as the user
// chooses; a file it holds already is read again. It shows at once and reads
// the file off this window's thread; one that cannot be read is told, and a
// new window then closes.
void LossEng::openTrial(const QString& path)
{
    if (m_trial && m_trial->holdsTrial() && !m_trial->holds(path)) {
        const std::optional<std::size_t> choice = m_dialogs.choose(
            "Open a trial",
            "The Trial window holds " +
                m_trial->siteNames().join(QStringLiteral(", ")).toStdString() + ". Open " +
                QFileInfo(path).fileName().toStdString() +
                " as another site of the evaluation, or in place of what it holds?",
            {"As another site", "In place of what it holds"});
        if (!choice)
            return;
        if (*choice == 0) {
            m_trial->addSite(path);
            showTrialWindow();
            return;
        }
    }
    if (m_trial && m_trial->holds(path))
        m_trial->addSite(path);
    else
        makeTrialWindow()->load(path);
    showTrialWindow();
}

// Each file is asked about first, as Open asks; one the user cancels is left
// out.
void LossEng::openSites(const QStringList& paths)
{
    QStringList asked;
    for (const QString& path : paths)
        if (m_data->askHowToRead(path))
            asked.append(path);
    if (asked.isEmpty())
        return;
    makeTrialWindow()->loadSites(asked);
    showTrialWindow();
}

TrialWindow* LossEng::makeTrialWindow()
{
    if (!m_trial) {
        m_trial = new TrialWindow(m_dialogs, *m_data, this);
        m_trial->setAttribute(Qt::WA_DeleteOnClose);
        // Its frame is not known before it shows: this window's stands for it.
        const QSize frame = frameGeometry().size() - size();
        const QRect placed = PlacedOnScreen(
            QRect(frameGeometry().topRight() + QPoint(8, 0), m_trial->size() + frame),
            screen()->availableGeometry());
        m_trial->resize(placed.size() - frame);
        m_trial->move(placed.topLeft());
    }
    return m_trial;
}

void LossEng::showTrialWindow()
{
    // A trial that could not be read may have closed it already.
    if (!m_trial)
        return;
    m_trial->show();
    m_trial->raise();
    m_trial->activateWindow();
}

QWidget* LossEng::curveWindow() const
{
    return m_curve.widget();
}

void LossEng::showCurve()
{
    if (!m_curve) {
        std::string error;
        m_curve = CreateCurveWindow({m_ui.sTx, m_ui.sX, m_ui.sNx, m_ui.sQ, m_currentYear,
                                     [this] { return m_data->curveLabel(); }},
                                    m_dialogs, this, error);
        if (!m_curve) {
            m_dialogs.message("The curve cannot be shown: " + error);
            return;
        }
    }
    QWidget* curve = m_curve.widget();
    curve->show();
    curve->raise();
    curve->activateWindow();
}

LossEng::Controls LossEng::createControls(QWidget& window)
{
    window.setWindowTitle(QStringLiteral("Calculation of Quarven "));
    window.setWindowIcon(applicationIcon());
    useWindowPalette(&window);
    window.setFont(windowFont());
    window.resize(twipsToPixelsX(6732), twipsToPixelsY(7548));
    form::buildForm(window, kLayout);

    Controls ui{};
    ui.sNuch = form::control<ListBox>(window, "sNuch");
    ui.sTx = form::control<ListBox>(window, "sTx");
    ui.sX = form::control<ListBox>(window, "sX");
    ui.AllsX = form::control<ClickLabel>(window, "AllsX");
    ui.Alluch = form::control<ClickLabel>(window, "Alluch");
    ui.Picture2 = form::control<ClickLabel>(window, "Picture2");
    for (std::size_t i = 0; i < kPeriodOptions.size(); ++i)
        ui.options[i] = form::control<QRadioButton>(window, kPeriodOptions[i].name);
    ui.sQ = form::control<QLineEdit>(window, "sQ");
    ui.sNx = form::control<QLineEdit>(window, "sNx");
    ui.Command1 = form::control<QPushButton>(window, "Command1");
    ui.sPotEvro = form::control<QLineEdit>(window, "sPotEvro");
    ui.sWEvro = form::control<QLineEdit>(window, "sWEvro");

    form::control<QRadioButton>(window, "Spel3")->setChecked(true);
    // The box lies over the label that frames it and must stay clickable.
    ui.sQ->raise();
    for (ListBox* list : {ui.sNuch, ui.sTx, ui.sX}) {
        list->setUniformItemSizes(true);
        // The vertical bar leaves too little width for the texts; clip them.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setTextElideMode(Qt::ElideNone);
    }
    // The window's own menu stands in for the result boxes' menus.
    for (QLineEdit* result : {ui.sPotEvro, ui.sWEvro})
        result->setContextMenuPolicy(Qt::NoContextMenu);
    // A trial file dropped anywhere on the window opens it.
    window.setAcceptDrops(true);
    ui.sNuch->setFocus();
    return ui;
}

void LossEng::connectHandlers()
{
    m_digitsOnly->guard(m_ui.sNx);
    m_digitsOnly->guard(m_ui.sQ);

    // The three lists are one table: a row's number, date and level stay side
    // by side however one of them is scrolled. Setting the same value raises
    // nothing, so the connections cannot loop.
    const std::array<ListBox*, 3> columns = {m_ui.sNuch, m_ui.sTx, m_ui.sX};
    for (ListBox* list : columns) {
        for (ListBox* other : columns) {
            if (other != list)
                connect(list->verticalScrollBar(), &QScrollBar::valueChanged,
                        other->verticalScrollBar(), &QScrollBar::setValue);
        }
    }

    connect(m_ui.Command1, &QPushButton::clicked, this, &LossEng::Command1_Click);
    connect(m_ui.sNuch, &ListBox::clicked, this, &LossEng::sNuch_Click);
    connect(m_ui.sTx, &ListBox::clicked, this, &LossEng::sTx_Click);
    connect(m_ui.sX, &ListBox::clicked, this, &LossEng::sX_Click);
    connect(m_ui.Alluch, &ClickLabel::clicked, this, &LossEng::Alluch_Click);
    connect(m_ui.AllsX, &ClickLabel::clicked, this, &LossEng::AllsX_Click);
    connect(m_ui.Picture2, &ClickLabel::clicked, this, &LossEng::Picture2_Click);
    connect(m_ui.sNx, &QLineEdit::textChanged, this, &LossEng::sNx_Change);
    connect(m_ui.sQ, &QLineEdit::textChanged, this, &LossEng::sQ_Change);
    for (std::size_t i = 0; i < kPeriodOptions.size(); ++i) {
        const int days = kPeriodOptions[i].days;
        if (days > 0)
            connect(m_ui.options[i], &QRadioButton::clicked, this,
                    [this, days] { Spel_Click(days); });
        else
            connect(m_ui.options[i], &QRadioButton::clicked, this, &LossEng::Spel7_Click);
        connect(m_ui.options[i], &QRadioButton::toggled, this, &LossEng::keepTabOnSelectedOption);
    }
    keepTabOnSelectedOption();
}

void LossEng::Load()
{
    BuildTable();
}

void LossEng::BuildTable()
{
    const std::optional<std::int16_t> count = ReadInt16(m_ui.sNx->text().toStdString());
    // A text that reads as the same count (3 typed as 03) leaves the table,
    // its selection and its scrolling as they are.
    if (count && *count > 0 && *count == m_ui.sNuch->count())
        return;
    TableColumns kept;
    kept.dates = ItemTexts(m_ui.sTx);
    kept.levels = ItemTexts(m_ui.sX);
    const TableColumns table = quarven::BuildTable(count, kept);
    fill(m_ui.sNuch, table.numbers);
    fill(m_ui.sTx, table.dates);
    fill(m_ui.sX, table.levels);
}

void LossEng::Command1_Click()
{
    CalculationInput input;
    input.dates = ItemTexts(m_ui.sTx);
    input.levels = ItemTexts(m_ui.sX);
    input.countText = m_ui.sNx->text().toStdString();
    input.periodText = m_ui.sQ->text().toStdString();
    input.currentYear = m_currentYear();
    const CalculationOutcome outcome = Calculate(input);
    switch (outcome.kind) {
    case CalculationOutcome::Kind::Nothing:
        break;
    case CalculationOutcome::Kind::Message:
        m_dialogs.message(outcome.message);
        break;
    case CalculationOutcome::Kind::Results:
        m_ui.sPotEvro->setText(QString::fromStdString(outcome.losses));
        m_ui.sWEvro->setText(QString::fromStdString(outcome.audpc));
        break;
    }
}

void LossEng::sNuch_Click()
{
    EditRow(Column::Number, m_ui.sNuch->selectedRow(), m_prompts, m_cells);
}

void LossEng::sTx_Click()
{
    EditRow(Column::Date, m_ui.sTx->selectedRow(), m_prompts, m_cells);
}

void LossEng::sX_Click()
{
    EditRow(Column::Level, m_ui.sX->selectedRow(), m_prompts, m_cells);
}

void LossEng::Alluch_Click()
{
    FillDates(m_ui.sNx->text().toStdString(), m_prompts, m_cells);
}

void LossEng::AllsX_Click()
{
    FillLevels(m_ui.sNx->text().toStdString(), m_prompts, m_cells);
}

void LossEng::sNx_Change()
{
    m_countField.Change();
}

void LossEng::sQ_Change()
{
    PeriodChange(m_periodBox, m_dialogs);
}

void LossEng::Spel_Click(int days)
{
    PresetPeriod(m_periodBox, days);
}

void LossEng::Spel7_Click()
{
    PrematureDesiccation(m_periodBox, m_prompts, m_dialogs);
}

void LossEng::Picture2_Click()
{
    if (!m_about)
        m_about = new AboutLossesE();
    m_about->openCentred();
}

void LossEng::keepTabOnSelectedOption()
{
    for (QRadioButton* option : m_ui.options)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// The curve belongs to this window's table and goes with it; the About
// window has no owner and stays.
void LossEng::closeEvent(QCloseEvent* event)
{
    if (m_curve)
        m_curve.widget()->close();
    if (m_trial)
        m_trial->close();
    QWidget::closeEvent(event);
}

void LossEng::contextMenuEvent(QContextMenuEvent* event)
{
    m_data->showMenu(childAt(event->pos()), event->globalPos());
}

void LossEng::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void LossEng::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return;
    event->acceptProposedAction();
    m_data->openFile(urls.front().toLocalFile());
}

void LossEng::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    drawLine(painter, {-2280, 3360}, {4560, 3360}, systemColour(QPalette::WindowText), 1);
    drawLine(painter, {4560, 3360}, {6720, 3360}, systemColour(QPalette::WindowText), 1);
    drawLine(painter, {4560, 3360}, {4560, 7440}, systemColour(QPalette::WindowText), 1);
    drawLine(painter, {0, 0}, {0, 240}, QColor(0, 64, 0), 3);
}

} // namespace quarven
