#include "about_losses_e.h"

#include "app_info.h"
#include "ui/appearance.h"
#include "ui/form.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace quarven {
namespace {

using form::Kind;

constexpr form::Colour kBlack = form::rgb(0, 0, 0);

// The controls in tab order, in twips.
constexpr std::array<form::Control, 6> kLayout = {{
    {"cmdOK", Kind::Button, nullptr, 4245, 2280, 1260, 345, "OK", nullptr},
    {"picIcon", Kind::Picture, nullptr, 240, 240, 528, 552, nullptr, nullptr},
    {"lblDescription", Kind::Label, nullptr, 120, 1080, 5412, 816,
     "The program was developed at the plant protection department of a potato research "
     "institute. Its three authors are plant pathologists of that department.",
     nullptr, std::nullopt, form::kSystem, kBlack},
    {"lblDisclaimer", Kind::Label, nullptr, 132, 2040, 3996, 1092,
     "This program is delivered free of charge for all potato breeders and plant protection "
     "experts. It allows a user to calculate yield losses basing on the dynamics of the "
     "early/late blight development on the potato foliage.",
     nullptr, std::nullopt, form::kSystem, kBlack},
    {"lblTitle", Kind::Label, nullptr, 1080, 120, 2292, 360, "", nullptr, std::nullopt,
     form::kSystem, kBlack},
    {"lblVersion", Kind::Label, nullptr, 1080, 720, 3888, 228, "Version ", nullptr},
}};

} // namespace

AboutLossesE::AboutLossesE() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("AboutLossesE"));
    createControls();
    Load();
}

void AboutLossesE::createControls()
{
    // A tool window stays out of the taskbar; quit-on-close is set back so the
    // program still ends only when this window, too, has closed.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowTitle(QStringLiteral("Calculation of Quarven "));
    setWindowIcon(applicationIcon());
    useWindowPalette(this);
    setFont(windowFont());
    const QRect client = twipsRect(2340, 1932, 5736, 3120);
    setGeometry(client);
    setFixedSize(client.size());
    form::buildForm(*this, kLayout);

    auto* cmdOK = form::control<QPushButton>(*this, "cmdOK");
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    // Sized to the picture, as a self-sizing picture box is.
    auto* picIcon = form::control<QLabel>(*this, "picIcon");
    const int border = 2 * picIcon->frameWidth();
    picIcon->resize(picIcon->pixmap().size() + QSize(border, border));
    cmdOK->setFocus();
}

void AboutLossesE::Load()
{
    const QString title = QString::fromUtf8(app::kTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    form::control<QLabel>(*this, "lblVersion")
        ->setText(QStringLiteral("Version ") + QString::fromUtf8(app::kVersion));
    form::control<QLabel>(*this, "lblTitle")->setText(title);
}

void AboutLossesE::openCentred()
{
    show();
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const double left = (screen->geometry().width() - frameGeometry().width()) / 2.0;
    move(qRound(left), frameGeometry().top());
    raise();
    activateWindow();
}

void AboutLossesE::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    // An etched separator: a white double line with a grey line over it.
    drawLine(painter, {120, 1920}, {5675, 1920}, QColor(255, 255, 255), 2);
    drawLine(painter, {120, 1920}, {5690, 1920}, QColor(128, 128, 128), 1);
}

} // namespace quarven
