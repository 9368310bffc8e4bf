// Start-up: the application, its appearance and the main window. Everything
// else hangs off the main window's handlers.
#include "app_info.h"
#include "ui/appearance.h"
#include "ui/loss_eng.h"
#include "ui/qt_dialogs.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(quarven::app::kTitle));
    QApplication::setApplicationVersion(QString::fromUtf8(quarven::app::kVersion));
    quarven::setUpApplicationAppearance();

    quarven::QtDialogs dialogs;
    auto* window = new quarven::LossEng(dialogs);
    // The main window goes when closed; the About window may outlive it.
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return application.exec();
}
