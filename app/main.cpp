// Start-up: the calculator window, or with arguments of its own the command
// line, which never makes a window and needs no display.
#include "app/command_line.h"
#include "ui/appearance.h"
#include "ui/loss_eng.h"
#include "ui/qt_dialogs.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (!quarven::WantsWindow(argc, argv))
        return quarven::RunCommandLine(argc, argv);

    QApplication application(argc, argv);
    quarven::NameApplication();
    quarven::setUpApplicationAppearance();

    quarven::QtDialogs dialogs;
    auto* window = new quarven::LossEng(dialogs);
    // The main window goes when closed; the About window may outlive it.
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return application.exec();
}
