#pragma once
// Counts of what a plug-in can leak, read in ways that work under Wine 8. There the obvious
// counters (GetProcessHandleCount, GetGuiResources, the private usage of GetProcessMemoryInfo)
// read 0, so each count here comes from the table or the walk behind it instead. The handle
// counts include a probe object of their kind that they create while counting, so a measure
// that works never reads 0: a 0 means the measure itself failed, and every check below treats
// it as a failure.

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

enum Counter { kKernelHandles, kGdiObjects, kMenus, kUserObjects, kThreads, kPrivateKiB, kCounterCount };

// "kernel handles", "GDI objects", ...
const char* CounterName(Counter counter);

// Kernel handles of this process, each of its handle values asked (probe: an event).
long CountKernelHandles();
// The same handles one by one: value and kind of object ("Event", "Key", "Semaphore", ...), those
// closed while they are read left out.
struct KernelHandle {
    USHORT value;
    std::string kind;
    bool operator<(const KernelHandle& other) const { return value < other.value; }
};
std::set<KernelHandle> ListKernelHandles();
// GDI objects of this process: every slot of its GDI handle table asked for the object's type
// (probe: a brush).
long CountGdiObjects();
// Menus of this process: every slot of the USER handle table asked whether it holds a menu
// (probe: a pop-up menu).
long CountMenus();
// Windows of this process: top-level, message-only and all their children.
long CountWindows();
// Threads of this process, from a Toolhelp snapshot.
std::set<DWORD> ThreadsOfThisProcess();
// Committed private memory in KiB, summed with VirtualQuery over the whole address space,
// leaving out the given stretches (base, size) such as a stand-in's own bookkeeping.
long CommittedPrivateKiB(const std::vector<std::pair<const void*, size_t>>& leftOut = {});

struct Counts {
    long value[kCounterCount] = {};
};
// Every counter at once; USER objects are menus plus windows.
Counts ReadCounts(const std::vector<std::pair<const void*, size_t>>& leftOutMemory = {});

// The most each counter may grow between two readings.
struct Bounds {
    long most[kCounterCount] = {};
};

// Empty when every counter read above 0 both times and grew no more than its bound; otherwise
// one line per counter at fault.
std::string CheckFlat(const Counts& before, const Counts& after, const Bounds& bounds);
// The per-counter maximum of two readings.
Counts Highest(const Counts& a, const Counts& b);
// "kernel handles 120 -> 121 (+1), ..." for reports.
std::string DescribeGrowth(const Counts& before, const Counts& after);
