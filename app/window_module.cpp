// The entry of the window module: the calculator window's start, which the
// program resolves when no command line, or only trials to open, was given.
#include "app/application_name.h"
#include "app/window_start.h"
#include "ui/appearance.h"
#include "ui/loss_eng.h"
#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include <type_traits>

extern "C" Q_DECL_EXPORT int quarvenRunWindow(int& argc, char** argv, const char* const* trials,
                                              int count)
{
    QApplication application(argc, argv);
    quarven::NameApplication();
    quarven::setUpApplicationAppearance();

    quarven::QtDialogs dialogs;
    auto* window = new quarven::LossEng(dialogs);
    // The main window goes when closed; the About window may outlive it.
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    // Once the window is up, so that a message about the file has it to
    // stand on.
    QStringList paths;
    for (int at = 0; at < count; ++at)
        paths.append(QFile::decodeName(trials[at]));
    if (paths.size() == 1)
        QTimer::singleShot(0, window, [window, paths] { window->openFile(paths.front()); });
    else if (paths.size() > 1)
        QTimer::singleShot(0, window, [window, paths] { window->openSites(paths); });
    return application.exec();
}

static_assert(std::is_same_v<decltype(&quarvenRunWindow), quarven::WindowEntry>);
