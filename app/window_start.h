// The calculator window lives in a module of its own (quarven-window), which
// brings Qt Widgets and Gui with it: the command line then loads Qt Core
// alone. main() loads the module only when the window is wanted.
#pragma once

#include <vector>

namespace quarven {

// The module's entry: makes the application object and the main window,
// opens the trial files (count of them; one as Open does, several as the
// sites of one evaluation) in it, and runs them to the end; returns the exit
// status.
using WindowEntry = int (*)(int& argc, char** argv, const char* const* trials, int count);
inline constexpr const char* kWindowEntrySymbol = "quarvenRunWindow";

// Loads the window module and runs its entry. When the module cannot be
// loaded, says why in one line on standard error and returns 2.
[[nodiscard]] int RunWindow(int& argc, char** argv, const std::vector<const char*>& trials);

} // namespace quarven
