// The program's parts that bring libraries a batch run must not load: the
// window (Qt Widgets and Gui) and the curve (Qt Charts and Qt SVG). Each is a
// module, found beside the program in a build folder or in the library
// folder of the tree the program was installed in, and loaded on first use.
#pragma once

#include <QtGlobal>

#include <string>

namespace quarven {

// The function that module (its name without the ending) exports as symbol,
// or null with why when no module found has it. argv0 stands in for the
// program's own path where the system does not tell it and no application
// object exists yet. The module is never unloaded: widgets it made may live
// until the process ends.
[[nodiscard]] QFunctionPointer ModuleSymbol(const char* module, const char* symbol,
                                            std::string& why, const char* argv0 = nullptr);

// The same, as the function type the caller and the module agree on.
template <typename Entry>
[[nodiscard]] Entry ModuleEntry(const char* module, const char* symbol, std::string& why,
                                const char* argv0 = nullptr)
{
    return reinterpret_cast<Entry>(ModuleSymbol(module, symbol, why, argv0));
}

} // namespace quarven
