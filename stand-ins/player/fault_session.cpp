#include "fault_session.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <objbase.h>

#include "base/handles.h"

namespace standin {
namespace {

constexpr UINT kCrashStatus = 5;
constexpr UINT kAbortStatus = 6;
constexpr UINT kHangStatus = 7;
constexpr int kChecksFailed = 8;  // apart from the crash, abort and hang statuses above

// The counters a plug-in must give back by its unload. Its kernel handles are followed one by one
// instead (HandlesLeftOpen): the process's count moves with Wine's and the player's own, which
// make and close some at moments of their own (a lock's event made the first time it is contended).
constexpr Counter kChecked[] = {kGdiObjects, kMenus, kUserObjects};

// "Key 2, Semaphore 2": the handles of `after` that `before` did not have, by kind.
std::string NewHandles(const std::set<KernelHandle>& before, const std::set<KernelHandle>& after) {
    std::map<std::string, int> kinds;
    for (const KernelHandle& handle : after) {
        const auto old = before.find(handle);
        if (old == before.end() || old->kind != handle.kind) ++kinds[handle.kind];
    }
    std::string text;
    for (const auto& kind : kinds) text += (text.empty() ? "" : ", ") + kind.first + " " + std::to_string(kind.second);
    return text.empty() ? "none" : text;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string ModuleOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return "no module";
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* name = std::strrchr(path, '\\');
    char text[MAX_PATH + 32];
    std::snprintf(text, sizeof text, "%s+0x%lx", name != nullptr ? name + 1 : path,
                  static_cast<unsigned long>(static_cast<const char*>(address) - reinterpret_cast<const char*>(module)));
    return text;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception) {
    char text[512];
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    std::snprintf(text, sizeof text, "fault-end: crash, exception 0x%08lx at %s on %s during \"%s\"",
                  static_cast<unsigned long>(record->ExceptionCode), ModuleOf(record->ExceptionAddress).c_str(),
                  CurrentFaultThread().c_str(), CurrentFaultStep().c_str());
    Say(text);
    TerminateProcess(GetCurrentProcess(), kCrashStatus);
    return EXCEPTION_EXECUTE_HANDLER;
}

void ReportAbort(int) {
    Say("fault-end: abort on " + CurrentFaultThread() + " during \"" + CurrentFaultStep() + "\"");
    TerminateProcess(GetCurrentProcess(), kAbortStatus);
}

// Lines of the stand-in engine's log that report a block or device not given back, or given
// back wrongly (written when the engine library is unloaded).
std::vector<std::string> LedgerReports() {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TOLVANE_ENGINE_LOG", path, MAX_PATH) == 0) return {};
    std::ifstream log(path, std::ios::binary);
    std::vector<std::string> reports;
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 6, "LEDGER") == 0) reports.push_back(line);
    }
    return reports;
}

}  // namespace

// Ends the process when a step outlasts its bound: the player's UI thread may be the one stuck.
struct FaultSession::Watchdog {
    explicit Watchdog(DWORD bound) : bound(bound), thread([this] { Run(); }) {}
    ~Watchdog() {
        stop = true;
        changed.Set();
        thread.join();
    }
    void Run() {
        while (!stop) {
            if (WaitForSingleObject(changed.get(), bound) == WAIT_OBJECT_0) continue;
            char text[160];
            std::snprintf(text, sizeof text, "fault-end: hang, the step \"%s\" had not ended after %lu s",
                          CurrentFaultStep().c_str(), static_cast<unsigned long>(bound / 1000));
            Say(text);
            TerminateProcess(GetCurrentProcess(), kHangStatus);
        }
    }
    DWORD bound;
    std::atomic<bool> stop{false};
    UniqueEvent changed = UniqueEvent::NewAutoReset();
    std::thread thread;
};

bool ParseFaultOption(const std::string& option, const std::string& value, FaultOptions& options, std::string& error) {
    if (option == "--fail-call") {
        if (!ParseFailCall(value, options.plan)) error = "--fail-call takes N or THREAD:N (player, worker, burn, plugin, other)";
    } else if (option == "--fail-only") {
        std::istringstream names(value);
        for (std::string name; std::getline(names, name, ',');) options.plan.only.push_back(name);
    } else if (option == "--count-calls") {
        options.counting = true;
    } else if (option == "--patience") {
        options.patience = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        if (options.patience == 0) error = "--patience takes milliseconds";
    } else {
        return false;
    }
    options.active = true;
    return true;
}

FaultSession::FaultSession(const FaultOptions& options) : options_(options) {
    SetUnhandledExceptionFilter(ReportCrash);
    std::signal(SIGABRT, ReportAbort);
    watchdog_ = std::make_unique<Watchdog>(2 * options.patience);
    // Under Wine a thread's first message box makes the thread a COM apartment, whose window
    // lives as long as the thread; a player has one long before a plug-in shows a box there.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    before_ = ReadCounts();
    handlesBefore_ = ListKernelHandles();
}

FaultSession::~FaultSession() = default;

bool FaultSession::Install(HMODULE plugin) {
    std::string error;
    if (InstallFaultInjector(plugin, options_.plan, error)) return true;
    Say("fault-setup: " + error);
    return false;
}

void FaultSession::BeginStep(const std::string& name) {
    SetFaultStep(name);
    watchdog_->changed.Set();
}

void FaultSession::EndStep(Host& host) {
    if (!host.PumpUntil(PluginThreadsQuiet, options_.patience))
        Say("check: the plug-in's threads were still busy " + std::to_string(options_.patience / 1000) +
            " s after \"" + CurrentFaultStep() + "\"");
}

int FaultSession::Finish(Host& host, bool unloaded) {
    BeginStep("after unload");
    bool sound = true;
    auto fail = [&](const std::string& what) {
        Say("check-fail: " + what);
        sound = false;
    };
    for (const std::string& thread : LivePluginThreads()) fail(thread + " still runs after unload");
    const Counts after = ReadCounts();
    std::string growth;
    for (Counter counter : kChecked) {
        const long grew = after.value[counter] - before_.value[counter];
        growth += std::string(growth.empty() ? "" : ", ") + CounterName(counter) + " " + (grew >= 0 ? "+" : "") +
                  std::to_string(grew);
    }
    Say("check: growth since before the load: " + growth);
    Say("check: new kernel handles since before the load: " + NewHandles(handlesBefore_, ListKernelHandles()));
    std::map<std::string, int> leftOpen;
    for (const std::string& handle : HandlesLeftOpen()) ++leftOpen[handle];
    for (const auto& handle : leftOpen)
        fail(std::to_string(handle.second) + " handle(s) left open after unload: " + handle.first);
    for (const std::string& report : LedgerReports()) fail("engine " + report);
    if (unloaded && host.CurrentWindowProc() != Host::OwnWindowProc())
        fail("the player window's procedure is not its own after unload");
    if (!unloaded) Say("check: the module is still in the process");
    if (options_.counting) PrintFaultCounts();
    Say(std::string("fault: ") + DescribeInjectedFault());
    return sound ? 0 : kChecksFailed;
}

}  // namespace standin
