#include "loss_eng.h"

#include "core/assessment_table.h"
#include "core/loss_calculation.h"
#include "core/value_conventions.h"
#include "entry/table_editing.h"
#include "entry/tuberization_period.h"
#include "ui/about_losses_e.h"
#include "ui/appearance.h"
#include "ui/controls.h"
#include "ui/twips.h"

#include <QAccessible>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>

namespace quarven {
namespace {

void fill(QListWidget* list, const std::vector<std::string>& texts)
{
    QStringList items;
    items.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts)
        items.append(QString::fromStdString(text));
    list->clear();
    list->addItems(items);
}

std::vector<std::string> texts(const QListWidget* list)
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(list->count()));
    for (int row = 0; row < list->count(); ++row)
        result.push_back(list->item(row)->text().toStdString());
    return result;
}

int clockYear()
{
    return QDate::currentDate().year();
}

} // namespace

LossEng::LossEng(Dialogs& dialogs, std::function<int()> currentYear, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs),
      m_currentYear(currentYear ? std::move(currentYear) : std::function<int()>(clockYear)),
      m_prompts(dialogs, m_cells, m_currentYear)
{
    setObjectName(QStringLiteral("LossEng"));
    createControls();
    m_cells = ListCells(sTx, sX);
    m_countBox = LineEditBox(sNx);
    m_periodBox = LineEditBox(sQ);
    m_countField = std::make_unique<CountField>(m_countBox, dialogs, [this] { BuildTable(); });
    connectHandlers();
    Load();
    trimToWholeRows(sX);
}

LossEng::~LossEng() = default;

AboutLossesE* LossEng::aboutWindow() const
{
    return m_about;
}

void LossEng::createControls()
{
    setWindowTitle(QStringLiteral("Calculation of Quarven "));
    setWindowIcon(applicationIcon());
    setFont(windowFont());
    resize(twipsToPixelsX(6732), twipsToPixelsY(7548));

    Label1 = place<QLabel>(this, "Label1", 840, 120, 5772, 732);
    caption(Label1, "Calculation of Quarven caused by the early and late blight", Qt::AlignHCenter);
    Label1->setFont(controlFont(FontVariant::TitleBold));
    Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    paintBackground(Label1, QColor(0, 128, 0));
    setTextColour(Label1, systemColour(QPalette::Light));
    Label1->setToolTip(QStringLiteral("Developed and programmed by plant pathologists of a potato "
                                      "research institute"));

    sNuch = place<ListBox>(this, "sNuch", 240, 4680, 495, 2712);
    sNuch->setToolTip(QStringLiteral("You should indicate a number of the assessment"));
    sTx = place<ListBox>(this, "sTx", 1560, 4680, 735, 2712);
    sTx->setToolTip(QStringLiteral("July 12 should be recorded as 12/7 "));
    sX = place<ListBox>(this, "sX", 3480, 4680, 495, 2736);
    sX->setToolTip(QStringLiteral("Example: 1.2 "));

    Label2 = caption(place<QLabel>(this, "Label2", 4440, 1200, 1452, 732),
                     "Insert the number of foliar blight assessments");
    Label7 = caption(place<QLabel>(this, "Label7", 1080, 3480, 2772, 372), "Assessment data",
                     Qt::AlignHCenter);
    Label7->setFont(controlFont(FontVariant::TitleBold));
    paintBackground(Label7, systemScrollBarColour());
    NNabl = caption(place<QLabel>(this, "NNabl", 0, 4080, 972, 492), "Number of assessment",
                    Qt::AlignHCenter);
    NNabl->setFont(controlFont(FontVariant::HeaderBold));
    NNabl->setToolTip(QStringLiteral("You should indicate the number of an assessment"));
    AllsX = place<ClickLabel>(this, "AllsX", 3000, 4080, 1332, 492);
    caption(AllsX, "Insert the level of infection, %", Qt::AlignHCenter);
    AllsX->setFont(controlFont(FontVariant::HeaderBold));
    paintBackground(AllsX, QColor(255, 255, 0));
    AllsX->setToolTip(QStringLiteral("You should insert all data on the level of infection"));
    Alluch = place<ClickLabel>(this, "Alluch", 1080, 3960, 1452, 612);
    caption(Alluch, "Insert assessment dates (dd/mm)", Qt::AlignHCenter);
    Alluch->setFont(controlFont(FontVariant::HeaderBold));
    paintBackground(Alluch, QColor(128, 255, 128));
    Alluch->setToolTip(QStringLiteral("You should insert all dates of assessments"));

    Picture2 = place<ClickLabel>(this, "Picture2", 120, 240, 492, 552);
    Picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture2->setLineWidth(1);
    Picture2->setPixmap(emblemPicture());
    Picture2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture2->setFocusPolicy(Qt::StrongFocus);
    Picture2->setToolTip(QStringLiteral("About the program"));

    Frame1 = place<QGroupBox>(this, "Frame1", 240, 1080, 3612, 2172);
    Frame1->setTitle(QStringLiteral("Define the period of tuberization"));
    setTextColour(Frame1, QColor(0, 64, 0));
    const std::array<int, 7> optionTops = {240, 480, 720, 960, 1200, 1440, 1680};
    const std::array<int, 7> optionWidths = {1575, 1335, 1455, 1575, 1575, 1455, 3372};
    for (std::size_t i = 0; i < Spel.size(); ++i) {
        const bool computed = i == 6;
        const QString name = QStringLiteral("Spel%1").arg(i + 1);
        Spel[i] = place<OptionButton>(Frame1, name.toLatin1().constData(), 120, optionTops[i],
                                      optionWidths[i], computed ? 375 : 255);
        Spel[i]->setText(QString::fromLatin1(computed ? "in the case of a premature dessiccation "
                                                      : kMaturityGroups[i].caption));
        Spel[i]->setToolTip(QString::fromLatin1(
            computed ? "the period between the budding stage and the dessiccation"
                     : kMaturityGroups[i].tooltip));
        setTextColour(Spel[i], i == 0 ? QColor(0, 0, 0) : systemColour(QPalette::WindowText));
    }
    Spel[2]->setChecked(true);

    sQ = place<QLineEdit>(Frame1, "sQ", 2160, 840, 735, 375);
    sQ->setText(QStringLiteral("52"));
    sQ->setFont(controlFont(FontVariant::BoxRegular));
    sQ->setAlignment(Qt::AlignCenter);
    setTextColour(sQ, QColor(0, 64, 0));
    sQ->setToolTip(QStringLiteral("You can insert your values"));
    Label3 = caption(place<QLabel>(Frame1, "Label3", 1800, 480, 1452, 852), "Tuberization, days");
    Label3->setFrameStyle(QFrame::Box | QFrame::Plain);
    setTextColour(Label3, QColor(0, 64, 0));
    // The box lies over the label that frames it and must stay clickable.
    sQ->raise();

    sNx = place<QLineEdit>(this, "sNx", 6000, 1320, 615, 420);
    sNx->setText(QStringLiteral("3"));
    sNx->setFont(controlFont(FontVariant::BoxRegular));
    sNx->setAlignment(Qt::AlignCenter);
    sNx->setToolTip(QStringLiteral("the number of assessments should be 2 or more"));

    Command1 = place<CommandButton>(this, "Command1", 4560, 2160, 2055, 975);
    Command1->setText(QStringLiteral("Calculate"));
    Command1->setFont(controlFont(FontVariant::TitleBold));
    Command1->setAutoDefault(false);
    Command1->setToolTip(QStringLiteral("You should insert assessment data"));

    sPotEvro = place<QLineEdit>(this, "sPotEvro", 5760, 5280, 852, 372);
    sWEvro = place<QLineEdit>(this, "sWEvro", 5880, 4200, 732, 372);
    for (QLineEdit* result : {sPotEvro, sWEvro}) {
        result->setFont(controlFont(FontVariant::ResultRegular));
        result->setAlignment(Qt::AlignCenter);
        // Only Calculate writes the results; they can still be selected and copied.
        result->setReadOnly(true);
    }

    Label9 = caption(place<QLabel>(this, "Label9", 120, 0, 732, 252), "Orvask");
    Label14 = caption(place<QLabel>(this, "Label14", 4680, 5280, 1092, 612), "Yield losses, %");
    Label14->setFont(controlFont(FontVariant::ResultRegular));
    Label15 = caption(place<QLabel>(this, "Label15", 4800, 4320, 852, 252), "AUDPC");
    Label15->setFont(controlFont(FontVariant::ResultRegular));

    for (ListBox* list : {sNuch, sTx, sX}) {
        list->setUniformItemSizes(true);
        // The vertical bar leaves too little width for the texts; clip them.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setTextElideMode(Qt::ElideNone);
    }

    const std::array<QWidget*, 16> tabOrder = {
        sNuch,   sTx,     sX,      Picture2, Spel[0], Spel[1],  Spel[2],  Spel[3],
        Spel[4], Spel[5], Spel[6], sQ,       sNx,     Command1, sPotEvro, sWEvro};
    for (std::size_t i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    keepTabOnSelectedOption();

    setAccessibleNames({{sNuch, "Number of assessment"},
                        {sTx, "Assessment dates (dd/mm)"},
                        {sX, "Level of infection, %"},
                        {sNx, "Number of foliar blight assessments"},
                        {sQ, "Tuberization, days"},
                        {sWEvro, "AUDPC"},
                        {sPotEvro, "Yield losses, %"},
                        {Picture2, "About the program"}});
    sNuch->setFocus();
}

void LossEng::connectHandlers()
{
    m_digitsOnly = new DigitsOnlyFilter(m_dialogs, this);
    m_digitsOnly->guard(sNx);
    m_digitsOnly->guard(sQ);

    // The three lists are one table: a row's number, date and level stay side
    // by side however one of them is scrolled. Setting the same value raises
    // nothing, so the three connections cannot loop.
    const std::array<ListBox*, 3> columns = {sNuch, sTx, sX};
    for (ListBox* list : columns) {
        for (ListBox* other : columns) {
            if (other != list)
                connect(list->verticalScrollBar(), &QScrollBar::valueChanged,
                        other->verticalScrollBar(), &QScrollBar::setValue);
        }
    }

    connect(Command1, &QPushButton::clicked, this, &LossEng::Command1_Click);
    connect(sNuch, &ListBox::clicked, this, &LossEng::sNuch_Click);
    connect(sTx, &ListBox::clicked, this, &LossEng::sTx_Click);
    connect(sX, &ListBox::clicked, this, &LossEng::sX_Click);
    connect(Alluch, &ClickLabel::clicked, this, &LossEng::Alluch_Click);
    connect(AllsX, &ClickLabel::clicked, this, &LossEng::AllsX_Click);
    connect(Picture2, &ClickLabel::clicked, this, &LossEng::Picture2_Click);
    connect(sNx, &QLineEdit::textChanged, this, &LossEng::sNx_Change);
    connect(sQ, &QLineEdit::textChanged, this, &LossEng::sQ_Change);
    for (std::size_t i = 0; i < 6; ++i) {
        const int days = kMaturityGroups[i].days;
        connect(Spel[i], &QRadioButton::clicked, this, [this, days] { Spel_Click(days); });
    }
    connect(Spel[6], &QRadioButton::clicked, this, &LossEng::Spel7_Click);
    for (QRadioButton* option : Spel)
        connect(option, &QRadioButton::toggled, this, &LossEng::keepTabOnSelectedOption);
}

void LossEng::Load()
{
    BuildTable();
}

void LossEng::BuildTable()
{
    const TableColumns table = quarven::BuildTable(ReadInt16(sNx->text().toStdString()));
    fill(sNuch, table.numbers);
    fill(sTx, table.dates);
    fill(sX, table.levels);
}

void LossEng::Command1_Click()
{
    CalculationInput input;
    input.dates = texts(sTx);
    input.levels = texts(sX);
    input.countText = sNx->text().toStdString();
    input.periodText = sQ->text().toStdString();
    input.currentYear = m_currentYear();
    const CalculationOutcome outcome = Calculate(input);
    switch (outcome.kind) {
    case CalculationOutcome::Kind::Nothing:
        break;
    case CalculationOutcome::Kind::Message:
        m_dialogs.message(outcome.message);
        break;
    case CalculationOutcome::Kind::Results:
        sPotEvro->setText(QString::fromStdString(outcome.losses));
        sWEvro->setText(QString::fromStdString(outcome.audpc));
        break;
    }
}

void LossEng::sNuch_Click()
{
    EditRow(Column::Number, sNuch->selectedRow(), m_prompts, m_cells);
}

void LossEng::sTx_Click()
{
    EditRow(Column::Date, sTx->selectedRow(), m_prompts, m_cells);
}

void LossEng::sX_Click()
{
    EditRow(Column::Level, sX->selectedRow(), m_prompts, m_cells);
}

void LossEng::Alluch_Click()
{
    FillDates(sNx->text().toStdString(), m_prompts, m_cells);
}

void LossEng::AllsX_Click()
{
    FillLevels(sNx->text().toStdString(), m_prompts, m_cells);
}

void LossEng::sNx_Change()
{
    m_countField->Change();
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
    for (QRadioButton* option : Spel)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
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
