#include "window_start.h"

#include "app/batch_run.h"
#include "app/module_loader.h"

#include <cstdio>

namespace quarven {

int RunWindow(int& argc, char** argv, const char* trial)
{
    std::string why;
    if (const auto entry = ModuleEntry<WindowEntry>("quarven-window", kWindowEntrySymbol, why,
                                                    argc > 0 ? argv[0] : nullptr))
        return entry(argc, argv, trial);
    std::fprintf(stderr, "quarven: the window cannot be started: %s\n", why.c_str());
    return kExitFailed;
}

} // namespace quarven
