// One batch run over files: the trial read in pieces from a file or standard
// input, the results written whole or not at all, errors as one line on
// standard error naming the file and the line.
#pragma once

#include "core/trial_batch.h"

#include <QString>

namespace quarven {

inline constexpr int kExitComputed = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitFailed = 2;

struct BatchOptions {
    QString trial;   // a path, or "-" for standard input
    QString results; // a path, or "-" for standard output
    BatchSettings settings;
};

// The exit status.
[[nodiscard]] int RunBatch(const BatchOptions& options);

} // namespace quarven
