#pragma once
// A loaded module's import table, slot by slot, for the player's instruments that stand between a
// plug-in and the functions it calls (the fault injector, the soak program's stamps).

#include <windows.h>

#include <functional>

namespace standin {

// Offers every import by name to `replace` (library as the table names it, function name, what
// the slot points at now); a non-null answer is written into the slot. Returns the slots written.
int ReplaceImports(HMODULE module, const std::function<void*(const char* library, const char* function, void* current)>& replace);

}  // namespace standin
