// The module's entry: remembers its own instance handle; everything else starts in
// QGeneralModule.
#include <windows.h>

#include "base/plugin_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) moduleInstance = instance;
    return TRUE;
}
