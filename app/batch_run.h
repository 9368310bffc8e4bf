// One batch run over files: each trial read in pieces from a file or standard
// input (a workbook, told by its first bytes, from its file, or from memory
// when it comes through a pipe), the results and the summary of their groups
// made in the same pass; over several sites, the standards' fit, the combined
// table and the printed report too. Every output is written whole or not at
// all, and only once every trial has been read; errors are one line on
// standard error naming the file and the line, warnings one line each.
#pragma once

#include "trial/trial_batch.h"
#include "trial/trial_summary.h"

#include <QString>
#include <QStringList>

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
    QStringList trials; // paths, or "-" for standard input
    QString sheet;      // of a workbook; empty for its first
    QString results;    // a path, "-" for standard output, or empty for none
    BatchSettings settings;
    // The copied column to group the plots by, for the summary.
    std::optional<std::string> groupBy;
    // The copied column each plot's site is taken from; none: each trial
    // file is a site (see TrialSite).
    std::optional<std::string> siteBy;
    std::vector<Standard> standards;
    // Each a path, "-" for standard output, or empty for none.
    QString summary;
    QString fit;
    QString combined;
    QString report; // a PDF
    // Why the report module gave no application, when it did not.
    QString reportWhy;
    ClosedStreams closed;
};

// The site a trial file is when each file is one: its name without folder
// and extension; "standard input" for "-".
[[nodiscard]] QString TrialSite(const QString& trial);

// The exit status.
[[nodiscard]] int RunBatch(const BatchOptions& options);

} // namespace quarven
