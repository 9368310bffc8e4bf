#include "window_start.h"

#include "app/batch_run.h"
#include "app/module_loader.h"

#include <cstdio>

namespace quarven {

int RunWindow(int& argc, char** argv, const std::vector<const char*>& trials)
{
    std::string why;
    if (const auto entry = ModuleEntry<WindowEntry>("quarven-window", kWindowEntrySymbol, why,
                                                    argc > 0 ? argv[0] : nullptr))
        return entry(argc, argv, trials.data(), static_cast<int>(trials.size()));
    std::fprintf(stderr, "quarven: the window cannot be started: %s\n", why.c_str());
    return kExitFailed;
}

} // namespace quarven
