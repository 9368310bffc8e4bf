#include "trial_files.h"

#include "support/main_window_fixture.h"

#include <QFile>

namespace quarven::test {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

std::shared_ptr<const TrialTable> tableOf(const QByteArray& bytes)
{
    TrialTableReader reader(BatchSettings{kCommonYear, kDefaultPeriod});
    reader.read(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return reader.finish();
}

} // namespace quarven::test
