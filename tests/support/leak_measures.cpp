#include "support/leak_measures.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstddef>
#include <cstdio>
#include <vector>

#include "base/handles.h"

namespace {

// Kernel handle values are multiples of 4, given out lowest first. The system's handle table
// (NtQuerySystemInformation) is not read: Wine 8's server walks every process's table to answer
// it and now and then reads past the end of one and crashes, taking every Wine program with it.
// This process's own values are asked one by one instead, up to a long stretch of free ones.
constexpr UINT_PTR kHandleStep = 4;
constexpr UINT_PTR kFreeStretch = 4096;  // handle values
constexpr UINT_PTR kHighestHandle = 0xFFFC;

// USER handles: slot n is the value 0x20 + 2n in the low half; the upper half 0 matches any
// generation of the object in that slot.
constexpr UINT_PTR kFirstUserHandle = 0x20;
constexpr UINT_PTR kLastUserHandle = 0xFFFE;
// GDI handles: the slot number is the low half; again 0 in the upper half matches any object.
constexpr UINT_PTR kGdiSlots = 0x10000;

struct SnapshotTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};

bool OfThisProcess(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

// The window and all its descendants (EnumChildWindows walks the whole tree).
long WindowAndChildren(HWND window) {
    long count = 1;
    EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&count));
    return count;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
    if (OfThisProcess(window)) *reinterpret_cast<long*>(count) += WindowAndChildren(window);
    return TRUE;
}

bool Overlaps(const char* base, size_t size, const std::pair<const void*, size_t>& stretch) {
    const char* start = static_cast<const char*>(stretch.first);
    return base < start + stretch.second && start < base + size;
}

}  // namespace

const char* CounterName(Counter counter) {
    switch (counter) {
    case kKernelHandles: return "kernel handles";
    case kGdiObjects: return "GDI objects";
    case kMenus: return "menus";
    case kUserObjects: return "USER objects";
    case kThreads: return "threads";
    case kPrivateKiB: return "private KiB";
    case kCounterCount: break;
    }
    return "?";
}

namespace {

// The kind of object a handle of this process refers to, from NtQueryObject (class 2: its type).
typedef LONG(WINAPI* QueryObject)(HANDLE, ULONG, void*, ULONG, ULONG*);
std::string HandleKind(QueryObject query, USHORT value) {
    struct TypeName {
        USHORT length;
        USHORT maximum;
        const wchar_t* text;
    };
    alignas(8) char buffer[512] = {};
    ULONG needed = 0;
    if (query(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(value)), 2, buffer, sizeof buffer,
                                  &needed) != 0)
        return "";
    const auto* name = reinterpret_cast<const TypeName*>(buffer);
    std::string kind;
    for (USHORT i = 0; i < name->length / sizeof(wchar_t); ++i) kind += static_cast<char>(name->text[i]);
    return kind;
}

// The values of this process's open kernel handles, each with its kind.
std::vector<std::pair<USHORT, std::string>> ReadHandleTable() {
    std::vector<std::pair<USHORT, std::string>> ours;
    auto query = reinterpret_cast<QueryObject>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject"));
    if (query == nullptr) return ours;
    UINT_PTR lastFound = 0;
    for (UINT_PTR value = kHandleStep; value <= kHighestHandle && value - lastFound <= kFreeStretch;
         value += kHandleStep) {
        // The flags are a far quicker question than the kind, and most values are free.
        DWORD flags = 0;
        if (!GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
        std::string kind = HandleKind(query, static_cast<USHORT>(value));
        if (kind.empty()) continue;
        ours.emplace_back(static_cast<USHORT>(value), std::move(kind));
        lastFound = value;
    }
    return ours;
}

}  // namespace

long CountKernelHandles() {
    const UniqueEvent probe(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!probe) return 0;
    return static_cast<long>(ReadHandleTable().size());
}

std::set<KernelHandle> ListKernelHandles() {
    std::set<KernelHandle> handles;
    for (auto& handle : ReadHandleTable()) handles.insert(KernelHandle{handle.first, std::move(handle.second)});
    return handles;
}

long CountGdiObjects() {
    const UniqueHandle<GdiObjectTraits<HBRUSH>> probe(CreateSolidBrush(RGB(1, 2, 3)));
    if (!probe) return 0;
    long count = 0;
    for (UINT_PTR slot = 1; slot < kGdiSlots; ++slot) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++count;
    }
    return count;
}

long CountMenus() {
    const UniqueMenu probe(CreatePopupMenu());
    if (!probe) return 0;
    long count = 0;
    for (UINT_PTR value = kFirstUserHandle; value <= kLastUserHandle; value += 2) {
        if (IsMenu(reinterpret_cast<HMENU>(value))) ++count;
    }
    return count;
}

long CountWindows() {
    long count = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND window = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (OfThisProcess(window)) count += WindowAndChildren(window);
    }
    return count;
}

std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> threads;
    UniqueHandle<SnapshotTraits> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return threads;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.insert(entry.th32ThreadID);
    }
    return threads;
}

long CommittedPrivateKiB(const std::vector<std::pair<const void*, size_t>>& leftOut) {
    unsigned long long bytes = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        const char* base = static_cast<const char*>(region.BaseAddress);
        bool counted = region.State == MEM_COMMIT && region.Type == MEM_PRIVATE;
        for (const auto& stretch : leftOut) counted = counted && !Overlaps(base, region.RegionSize, stretch);
        if (counted) bytes += region.RegionSize;
        const char* next = base + region.RegionSize;
        if (next <= address) break;  // wrapped round the top of the address space
        address = next;
    }
    return static_cast<long>(bytes / 1024);
}

Counts ReadCounts(const std::vector<std::pair<const void*, size_t>>& leftOutMemory) {
    Counts counts;
    counts.value[kKernelHandles] = CountKernelHandles();
    counts.value[kGdiObjects] = CountGdiObjects();
    counts.value[kMenus] = CountMenus();
    counts.value[kUserObjects] = counts.value[kMenus] + CountWindows();
    counts.value[kThreads] = static_cast<long>(ThreadsOfThisProcess().size());
    counts.value[kPrivateKiB] = CommittedPrivateKiB(leftOutMemory);
    return counts;
}

std::string CheckFlat(const Counts& before, const Counts& after, const Bounds& bounds) {
    std::string faults;
    char line[160];
    for (int i = 0; i < kCounterCount; ++i) {
        const Counter counter = static_cast<Counter>(i);
        if (before.value[i] <= 0 || after.value[i] <= 0) {
            std::snprintf(line, sizeof line, "%s read %ld then %ld: the measure does not work here\n",
                          CounterName(counter), before.value[i], after.value[i]);
            faults += line;
        } else if (after.value[i] - before.value[i] > bounds.most[i]) {
            std::snprintf(line, sizeof line, "%s grew from %ld to %ld, more than %ld\n", CounterName(counter),
                          before.value[i], after.value[i], bounds.most[i]);
            faults += line;
        }
    }
    return faults;
}

Counts Highest(const Counts& a, const Counts& b) {
    Counts highest;
    for (int i = 0; i < kCounterCount; ++i) highest.value[i] = a.value[i] > b.value[i] ? a.value[i] : b.value[i];
    return highest;
}

std::string DescribeGrowth(const Counts& before, const Counts& after) {
    std::string text;
    char part[96];
    for (int i = 0; i < kCounterCount; ++i) {
        std::snprintf(part, sizeof part, "%s%s %ld -> %ld (%+ld)", i == 0 ? "" : ", ",
                      CounterName(static_cast<Counter>(i)), before.value[i], after.value[i],
                      after.value[i] - before.value[i]);
        text += part;
    }
    return text;
}
