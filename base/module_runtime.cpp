#include "base/module_runtime.h"

#include <atomic>
#include <cstdint>

// 32-bit mingw-w64 unwinds with DWARF-2 tables (not SEH, not setjmp/longjmp); GCC and clang alike.
#if defined(__MINGW32__) && defined(__i386__) && !defined(__SEH__) && !defined(__USING_SJLJ_EXCEPTIONS__)
#define TOLVANE_DWARF2_UNWIND
#endif

#ifdef TOLVANE_DWARF2_UNWIND

// The unwinder of the runtime linked into this module (libgcc's; no installed header declares it).
extern "C" {
void __register_frame_info(const void* begin, void* object);
void* __deregister_frame_info(const void* begin);
}

namespace {

// The shared runtime that modules built by mingw without a static runtime bring along.
const char kSharedRuntime[] = "libgcc_s_dw2-1.dll";

struct UnwindBases {
    void* text;
    void* data;
    void* function;
};
using FindFrameDescription = const void*(__cdecl*)(void* pc, UnwindBases* bases);

// The unwinder's record of a registered table: six words in GCC 12; room to spare.
alignas(void*) unsigned char registration[16 * sizeof(void*)];
const void* registeredTables = nullptr;

// The start of the image section that holds `address`; null when no section does.
const char* SectionHolding(HINSTANCE module, const void* address) {
    const char* base = reinterpret_cast<const char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto* section = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const char*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
    const char* at = static_cast<const char*>(address);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const char* start = base + section->VirtualAddress;
        if (at >= start && at < start + section->Misc.VirtualSize) return start;
    }
    return nullptr;
}

}  // namespace

// mingw's start-up code (crtbegin's __gcc_register_frame) hands the module's unwind tables to
// libgcc_s_dw2-1.dll when the process already holds it (any plug-in or codec built with mingw's
// shared runtime), instead of to the runtime linked into this module. That runtime then knows
// none of our frames, and the first exception thrown here ends the process. So, when that DLL is
// there (looked up under the same loader lock as the start-up code did), the tables go to our
// runtime as well. The image does not name their start (the section's long name lives in the
// file's string table, which is not mapped), so the foreign copy, which holds them, says where
// our frame description lies, and the section holding it is the whole table.
void AdoptUnwindTables(HINSTANCE module) {
    if (registeredTables != nullptr) return;
    HMODULE shared = GetModuleHandleA(kSharedRuntime);
    if (shared == nullptr) return;
    auto find = reinterpret_cast<FindFrameDescription>(GetProcAddress(shared, "_Unwind_Find_FDE"));
    if (find == nullptr) return;
    UnwindBases bases = {};
    const void* description = find(reinterpret_cast<void*>(&AdoptUnwindTables), &bases);
    if (description == nullptr) return;
    const char* tables = SectionHolding(module, description);
    if (tables == nullptr) return;
    __register_frame_info(tables, registration);
    registeredTables = tables;
}

void ReleaseUnwindTables() {
    if (registeredTables == nullptr) return;
    __deregister_frame_info(registeredTables);
    registeredTables = nullptr;
}

#else

// Other toolchains register nothing at start-up that could go astray.
void AdoptUnwindTables(HINSTANCE) {}
void ReleaseUnwindTables() {}

#endif

#if defined(__MINGW32__) && defined(__i386__)

// The threads library under mingw's C++ runtime (reached through its guard of static
// initialisation) calls GetTickCount64, which Windows XP lacks: imported, it would keep the
// module from loading there. The import's pointer is defined here instead, so the linker takes
// no import from kernel32 for it; the call reaches kernel32's own function where Windows has one.
namespace {

using TickCount64 = ULONGLONG(WINAPI*)();

std::atomic<uint64_t> widenedTicks{0};

// GetTickCount widened to 64 bits by the wraps seen since the first call; never goes back.
ULONGLONG WINAPI WidenedTickCount() {
    uint64_t last = widenedTicks.load();
    for (;;) {
        uint64_t next = (last & ~uint64_t{0xFFFFFFFF}) | GetTickCount();
        if (next < last) next += uint64_t{1} << 32;
        if (widenedTicks.compare_exchange_weak(last, next)) return next;
    }
}

// No function-local static: its guard may itself come here.
std::atomic<TickCount64> tickSource{nullptr};

ULONGLONG WINAPI TickCount() {
    TickCount64 source = tickSource.load(std::memory_order_acquire);
    if (source == nullptr) {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (kernel != nullptr) source = reinterpret_cast<TickCount64>(GetProcAddress(kernel, "GetTickCount64"));
        if (source == nullptr) source = WidenedTickCount;
        tickSource.store(source, std::memory_order_release);
    }
    return source();
}

}  // namespace

extern const TickCount64 tickCountImport __asm__("__imp__GetTickCount64@0");
const TickCount64 tickCountImport = TickCount;

#endif
