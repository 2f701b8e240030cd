#pragma once
// The C++ runtime linked into this module, made safe inside a process that is not ours.

#include <windows.h>

// At the module's load: makes sure the module's own runtime can unwind the module's frames, so
// an exception thrown inside the module finds the module's handlers. Call first thing at
// DLL_PROCESS_ATTACH.
void AdoptUnwindTables(HINSTANCE module);
// At the module's unload: undoes AdoptUnwindTables.
void ReleaseUnwindTables();
