// One batch run over files: the trial read in pieces from a file or standard
// input (a workbook, told by its first bytes, from its file, or from memory
// when it comes through a pipe), the results and the summary of their groups
// made in the same pass,
// each written whole or not at all, errors as one line on standard error
// naming the file and the line.
#pragma once

#include "trial/trial_batch.h"
#include "trial/trial_summary.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace quarven {

inline constexpr int kExitComputed = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitFailed = 2;

// Standard streams that were closed when the program started.
struct ClosedStreams {
    bool input = false;
    bool output = false;
};
// Opens each closed standard stream on /dev/null, so that no file opened
// later takes its number and gets what was meant for it. Called before
// anything opens a file.
[[nodiscard]] ClosedStreams HoldStandardStreams();

struct BatchOptions {
    QString trial;   // a path, or "-" for standard input
    QString sheet;   // of a workbook; empty for its first
    QString results; // a path, "-" for standard output, or empty for none
    BatchSettings settings;
    // The copied column to group the plots by, for the summary.
    std::optional<std::string> groupBy;
    std::vector<Standard> standards;
    QString summary; // a path, "-" for standard output, or empty for none
    ClosedStreams closed;
};

// The exit status.
[[nodiscard]] int RunBatch(const BatchOptions& options);

} // namespace quarven
