// Files and tables for the tests of the Trial window and its models.
#pragma once

#include "trial/trial_table.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace quarven::test {

// The file's bytes; empty when it cannot be read.
[[nodiscard]] QByteArray contents(const QString& path);
// True when the whole text reached the file.
[[nodiscard]] bool writeFile(const QString& path, const QByteArray& bytes);
// The table the window reads from these bytes, in the common year.
[[nodiscard]] std::shared_ptr<const TrialTable> tableOf(const QByteArray& bytes);

} // namespace quarven::test
