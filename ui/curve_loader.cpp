#include "curve_loader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace quarven {
namespace {

CurveFactory g_factory = nullptr;
SummaryChartFactory g_chartFactory = nullptr;

// Beside the program in a build folder; in the library folder of the tree
// the program was installed in.
QStringList moduleCandidates()
{
    const QString programs = QCoreApplication::applicationDirPath();
    return {programs + QStringLiteral("/quarven-curve"),
            programs + QStringLiteral("/" QUARVEN_MODULE_DIR "/quarven-curve")};
}

// The module's entry named symbol, or why it cannot be found.
template <typename Factory> Factory resolve(const char* symbol, std::string& error)
{
    QStringList failures;
    for (const QString& candidate : moduleCandidates()) {
        QLibrary module(candidate);
        using Entry = Factory (*)();
        if (auto entry = reinterpret_cast<Entry>(module.resolve(symbol)))
            return entry();
        failures.append(module.errorString());
    }
    error = failures.join(QStringLiteral("; ")).toStdString();
    return nullptr;
}

} // namespace

void RegisterSummaryChartFactory(SummaryChartFactory factory)
{
    g_chartFactory = factory;
}

QWidget* CreateSummaryChart(QWidget* parent, std::string& error)
{
    if (!g_chartFactory)
        g_chartFactory = resolve<SummaryChartFactory>(kSummaryChartSymbol, error);
    return g_chartFactory ? g_chartFactory(parent) : nullptr;
}

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
