#include "curve_loader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace quarven {
namespace {

CurveFactory g_factory = nullptr;

// Beside the program in a build folder; in the library folder of the tree
// the program was installed in.
QStringList moduleCandidates()
{
    const QString programs = QCoreApplication::applicationDirPath();
    return {programs + QStringLiteral("/quarven-curve"),
            programs + QStringLiteral("/" QUARVEN_MODULE_DIR "/quarven-curve")};
}

} // namespace

void RegisterCurveFactory(CurveFactory factory)
{
    g_factory = factory;
}

QWidget* CreateCurveWindow(const CurveSources& sources, Dialogs& dialogs, QWidget* owner,
                           std::string& error)
{
    if (!g_factory) {
        QStringList failures;
        for (const QString& candidate : moduleCandidates()) {
            QLibrary module(candidate);
            using Entry = CurveFactory (*)();
            if (auto entry = reinterpret_cast<Entry>(module.resolve(kCurveFactorySymbol))) {
                g_factory = entry();
                break;
            }
            failures.append(module.errorString());
        }
        if (!g_factory) {
            error = failures.join(QStringLiteral("; ")).toStdString();
            return nullptr;
        }
    }
    return g_factory(sources, dialogs, owner);
}

} // namespace quarven
