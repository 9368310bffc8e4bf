#include "application_name.h"

#include "app_info.h"

#include <QCoreApplication>
#include <QString>

namespace quarven {

void NameApplication()
{
    QCoreApplication::setApplicationName(QString::fromUtf8(app::kTitle));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(app::kVersion));
}

} // namespace quarven
