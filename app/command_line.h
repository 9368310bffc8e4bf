// The command line. main() asks WantsWindow before any Qt application object
// exists: a QApplication aborts where there is no display, so the batch must
// be told apart from a window start by the arguments alone.
#pragma once

#include <vector>

namespace quarven {

// No arguments, or only Qt's own window options (-platform X, -style X,
// -display X, -name X, -reverse…) and trial files to open (after --, any
// argument is a file): the calculator window.
[[nodiscard]] bool WantsWindow(int argc, const char* const* argv);
// The trial files that such a command line gives to open, in order: told
// before the window's start, since Qt takes its own options out of argv. One
// opens as Open does; several open as the sites of one evaluation.
[[nodiscard]] std::vector<const char*> WindowTrials(int argc, const char* const* argv);

// quarven --batch TRIAL [--output RESULTS] [--period DAYS | --group NAME]
// [--year YYYY] [--sheet NAME] [--dates ORDER] [--days-after DATE
// --day-columns PREFIX] [--trait NAME] [--by COLUMN [--standard NAME=VALUE]...
// [--summary FILE]],
// --help, --version, under a QCoreApplication. Returns the exit
// status: 0 every plot computed, 1 some refused, 2 a usage error or a file
// that cannot be read or written.
[[nodiscard]] int RunCommandLine(int argc, char* argv[]);

} // namespace quarven
