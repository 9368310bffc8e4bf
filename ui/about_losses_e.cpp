#include "about_losses_e.h"

#include "app_info.h"
#include "core/value_conventions.h"
#include "ui/appearance.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace quarven {
namespace {

QLabel* label(QWidget* parent, const char* name, QRect twips, const QString& text, bool black)
{
    auto* label = caption(
        place<QLabel>(parent, name, twips.x(), twips.y(), twips.width(), twips.height()), text);
    if (black)
        setTextColour(label, QColor(0, 0, 0));
    return label;
}

} // namespace

AboutLossesE::AboutLossesE() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("AboutLossesE"));
    // A tool window stays out of the taskbar; quit-on-close is set back so the
    // program still ends only when this window, too, has closed.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowTitle(QStringLiteral("Calculation of Quarven "));
    setWindowIcon(applicationIcon());
    setFont(windowFont());
    const QRect client = twipsRect(2340, 1932, 5736, 3120);
    setGeometry(client);
    setFixedSize(client.size());

    cmdOK = place<QPushButton>(this, "cmdOK", 4245, 2280, 1260, 345);
    cmdOK->setText(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    picIcon = place<QLabel>(this, "picIcon", 240, 240, 528, 552);
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(1);
    picIcon->setPixmap(emblemPicture());
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Takes the focus in its turn, as the main window's picture does.
    picIcon->setFocusPolicy(Qt::StrongFocus);
    // Sized to the picture, as a self-sizing picture box is.
    const int border = 2 * picIcon->frameWidth();
    picIcon->resize(picIcon->pixmap().size() + QSize(border, border));

    lblDescription = label(this, "lblDescription", {120, 1080, 5412, 816},
                           QStringLiteral("The program was developed at the plant protection "
                                          "department of a potato research institute. Its three "
                                          "authors are plant pathologists of that department."),
                           true);
    lblDisclaimer = label(
        this, "lblDisclaimer", {132, 2040, 3996, 1092},
        QStringLiteral("This program is delivered free of charge for all potato breeders and plant "
                       "protection experts. It allows a user to calculate yield losses basing on "
                       "the dynamics of the early/late blight development on the potato foliage."),
        true);
    lblTitle = label(this, "lblTitle", {1080, 120, 2292, 360}, QString(), true);
    lblVersion =
        label(this, "lblVersion", {1080, 720, 3888, 228}, QStringLiteral("Version "), false);

    setTabOrder(cmdOK, picIcon);
    cmdOK->setFocus();
    Load();
}

void AboutLossesE::Load()
{
    const QString title = QString::fromUtf8(app::kTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(QStringLiteral("Version ") +
                        QString::fromStdString(PlainText(app::kMajor) + '.' +
                                               PlainText(app::kMinor) + '.' +
                                               PlainText(app::kRevision)));
    lblTitle->setText(title);
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
