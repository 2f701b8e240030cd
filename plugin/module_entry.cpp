// The module's entry: remembers its own instance handle; everything else starts in
// QGeneralModule.
#include <windows.h>

#include "base/module_runtime.h"
#include "base/plugin_state.h"
#include "base/thread_runtime.h"

#if defined(__GLIBCXX__)
// The C++ runtime's own release of what it keeps for its whole life (declared by no header).
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

namespace {

// The runtime linked into this module may keep data for every thread that ran its code and
// give it back when that thread ends, through the module's TLS callbacks (the module's own
// per-thread block goes through DllMain, below). The player's thread that unloads the
// module outlives it and never gets that notice, so each load and unload would leave its data
// behind in the player's process. It gets the notice here, as its last call into the module.
void DetachUnloadingThread(HINSTANCE module) {
    const char* base = reinterpret_cast<const char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS];
    if (directory.VirtualAddress == 0) return;
    const auto* tls = reinterpret_cast<const IMAGE_TLS_DIRECTORY*>(base + directory.VirtualAddress);
    // An address, not an offset: the loader has already relocated it.
    auto* callback = reinterpret_cast<PIMAGE_TLS_CALLBACK*>(tls->AddressOfCallBacks);
    for (; callback != nullptr && *callback != nullptr; ++callback) (*callback)(module, DLL_THREAD_DETACH, nullptr);
}

// The C++ runtime linked into this module sets memory aside at load for exceptions thrown when
// memory runs out, and never gives it back: each load and unload would leave it behind in the
// player's process. Nothing of the module runs any more once it unloads.
void ReleaseRuntimeReserve() {
#if defined(__GLIBCXX__)
    __gnu_cxx::__freeres();
#endif
}

}  // namespace

#if defined(__MINGW32__)
// The posix threads library's run-once, in place of its own, in the module alone (programs that
// link the plug-in's code start threads through that library and keep its own): that one makes
// the calling thread a record of the library's (see base/thread_runtime.h) and may end the
// process doing so. The unwinder runs its set-up through it at the first exception in the
// process, on whatever thread that is. 0: not run; 2: running on some thread; 1: done.
extern "C" int __cdecl pthread_once(long* once, void(__cdecl* routine)(void)) {
    if (InterlockedCompareExchange(once, 2, 0) == 0) {
        routine();
        InterlockedExchange(once, 1);
        return 0;
    }
    while (InterlockedCompareExchange(once, 1, 1) != 1) Sleep(1);
    return 0;
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        AdoptUnwindTables(instance);
        moduleInstance = instance;
    }
    if (reason == DLL_THREAD_DETACH) ReleaseThreadRuntime();
    // Only when unloaded: at process end every thread's data goes with the process.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        DetachUnloadingThread(instance);
        ReleaseThreadRuntime();
        ReleaseThreadRuntimeSlot();
        ReleaseRuntimeReserve();
        ReleaseUnwindTables();
    }
    return TRUE;
}
