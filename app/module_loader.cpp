#include "module_loader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace quarven {
namespace {

QString programFolder(const char* argv0)
{
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    if (self.exists())
        return QFileInfo(self.canonicalFilePath()).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::decodeName(argv0 ? argv0 : "")).absolutePath();
}

} // namespace

QFunctionPointer ModuleSymbol(const char* module, const char* symbol, std::string& why,
                              const char* argv0)
{
    const QString programs = programFolder(argv0);
    const QString name = QString::fromLatin1(module);
    const QStringList candidates = {programs + QLatin1Char('/') + name,
                                    programs + QStringLiteral("/" QUARVEN_MODULE_DIR "/") + name};
    QStringList failures;
    for (const QString& candidate : candidates) {
        QLibrary library(candidate);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        if (const QFunctionPointer found = library.resolve(symbol))
            return found;
        failures.append(library.errorString());
    }
    why = failures.join(QStringLiteral("; ")).toStdString();
    return nullptr;
}

} // namespace quarven
