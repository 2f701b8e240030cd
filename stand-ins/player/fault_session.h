#pragma once
// A player run with the fault injector: the options that ask for it, and what the run checks on
// the way and after the plug-in has been unloaded. Each step (an action, or a span named by the
// `step` action) is watched: a step that does not end within twice the patience is a hang, the
// process reports it and ends. After each step the player waits until the plug-in's threads are
// back in a wait. A crash or an abort is reported with the thread and the step, then the process
// ends. After unload: the plug-in's threads gone, no handle the module opened still open, the GDI
// and USER counts since before the load printed (the sweep holds them to a session without a
// failure), the engine's ledger clean, the player window's procedure its own again (or the module
// still in the process).
//
// Every line of the run's verdict starts with "fault", "check" or "end:", for scripts/soak faults.

#include <windows.h>

#include <memory>
#include <set>
#include <string>

#include "fault_injector.h"
#include "support/leak_measures.h"
#include "standin_host.h"

namespace standin {

struct FaultOptions {
    bool active = false;
    bool counting = false;
    FaultPlan plan;
    DWORD patience = 15000;
};

// Takes --fail-call [THREAD:]N, --fail-only F[,F...], --count-calls (its value is ignored: give
// "all") and --patience MS; false when `option` is none of them. `error` tells a bad value.
bool ParseFaultOption(const std::string& option, const std::string& value, FaultOptions& options, std::string& error);

class FaultSession {
public:
    // Before the plug-in is loaded: crash and abort reports, the step watchdog, the first reading
    // of the counters.
    explicit FaultSession(const FaultOptions& options);
    ~FaultSession();
    FaultSession(const FaultSession&) = delete;
    FaultSession& operator=(const FaultSession&) = delete;

    // Right after LoadLibrary; false with the reason printed.
    bool Install(HMODULE plugin);
    void BeginStep(const std::string& name);
    // Waits, as failure detection only, until the plug-in's threads are back in a wait.
    void EndStep(Host& host);
    // After unload: the checks; returns 0 when all hold, else 6.
    int Finish(Host& host, bool unloaded);

private:
    struct Watchdog;
    FaultOptions options_;
    std::unique_ptr<Watchdog> watchdog_;
    Counts before_;
    std::set<KernelHandle> handlesBefore_;
};

}  // namespace standin
