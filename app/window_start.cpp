#include "window_start.h"

#include "app/batch_run.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace quarven {
namespace {

// No application object exists yet to say where the program lies.
QString programFolder(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists())
        return QFileInfo(self.canonicalFilePath()).absolutePath();
    return QFileInfo(QFile::decodeName(argv0)).absolutePath();
}

} // namespace

int RunWindow(int& argc, char** argv, const char* trial)
{
    // Beside the program in a build folder; in the library folder of the tree
    // the program was installed in.
    const QString programs = programFolder(argv[0]);
    const QStringList candidates = {programs + QStringLiteral("/quarven-window"),
                                    programs +
                                        QStringLiteral("/" QUARVEN_MODULE_DIR "/quarven-window")};
    QStringList failures;
    for (const QString& candidate : candidates) {
        QLibrary module(candidate);
        // Qt keeps pointers into the module until the very end of the process.
        module.setLoadHints(QLibrary::PreventUnloadHint);
        if (auto entry = reinterpret_cast<WindowEntry>(module.resolve(kWindowEntrySymbol)))
            return entry(argc, argv, trial);
        failures.append(module.errorString());
    }
    std::fprintf(stderr, "quarven: the window cannot be started: %s\n",
                 qPrintable(failures.join(QStringLiteral("; "))));
    return kExitFailed;
}

} // namespace quarven
