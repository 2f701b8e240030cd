// A general plug-in that only throws and catches an exception inside itself when the player
// calls QGeneralModule, and returns 1 when it caught it. Built like the plug-in (runtime linked
// in whole) with base/module_runtime at its entry, and once without (THROW_PROBE_UNADOPTED), to
// show that a foreign libgcc_s_dw2-1.dll in the player ends the process without it.
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "base/module_runtime.h"
#include "plugin/host_api.h"

namespace {

// Out of line, so the throw really unwinds a frame.
__declspec(noinline) void Fail() {
    throw std::runtime_error("probe");
}

}  // namespace

extern "C" __declspec(dllexport) int __cdecl QGeneralModule(HostRecord* host, ModuleInfo* info) {
    host->interfaceVersion = kHostInterfaceVersion;
    info->description = "throw probe";
    std::printf("probe: throwing\n");
    std::fflush(stdout);
    try {
        Fail();
    } catch (const std::runtime_error&) {
        return 1;
    }
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
#ifndef THROW_PROBE_UNADOPTED
    if (reason == DLL_PROCESS_ATTACH) AdoptUnwindTables(instance);
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) ReleaseUnwindTables();
#else
    (void)instance;
    (void)reason;
#endif
    (void)reserved;
    return TRUE;
}
