#pragma once
// The player's fault injector: it points the loaded plug-in's import table at hooks of its own,
// so the N-th call the plug-in's module makes to a fallible function (its statically linked
// runtime included: msvcrt's malloc called from the posix threads library goes through the same
// table) fails as Windows documents it. It counts every such call by function, by thread and by
// scenario step, and tells which call it failed. It also watches the module's blocking calls, so
// the player can wait for the plug-in's threads to be back in a wait at the end of each step.
//
// Threads are named by what they are, from who made them: the player's UI thread (the one that
// installed the injector), the worker (made by the UI thread), a burn thread (made by the
// worker), a plug-in thread (made by another of the plug-in's threads), or another thread (the
// engine's, the player's helpers').

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

enum class FaultThread { kAny = -1, kPlayer, kWorker, kBurn, kPlugin, kOther, kCount };

// "player", "worker", "burn", "plugin", "other": the names --fail-call takes.
const char* FaultThreadName(FaultThread thread);
// "the player's UI thread", "the worker", ...
const char* FaultThreadDescription(FaultThread thread);

struct FaultPlan {
    // Which call fails: the N-th of the chosen functions made on `thread` (any thread: counted
    // over all of them, in the order they happen to come). 0 fails none: the counting mode.
    long call = 0;
    FaultThread thread = FaultThread::kAny;
    // The functions counted and failed; empty: every fallible function of the table.
    std::vector<std::string> only;
};

// Parses "N" or "THREAD:N" (THREAD as FaultThreadName gives it); false when it is neither.
bool ParseFailCall(const std::string& text, FaultPlan& plan);

// Installs the hooks into the module's import table; false with the reason when a chosen
// function is not in the table. Call once, from the player's UI thread, right after loading.
bool InstallFaultInjector(HMODULE plugin, const FaultPlan& plan, std::string& error);
bool FaultInjectorInstalled();

// Names the scenario step under way ("load", "popup", "burn", ...); calls are counted against it.
void SetFaultStep(const std::string& step);

// True when every thread the plug-in made has ended or sits in a blocking call (a wait, a
// message loop's GetMessageA, a message box), and no counted call was made since the last look:
// the plug-in has done what the step asked of it.
bool PluginThreadsQuiet();
// Counted calls so far, over every thread.
long FaultCallsSoFar();
// Handles the module opened through its import table and has not closed, still open in the
// process, each as "Semaphore from CreateSemaphoreA on a burn thread during "data burn"".
std::vector<std::string> HandlesLeftOpen();
// Threads the plug-in made that have not ended, by description; empty when none.
std::vector<std::string> LivePluginThreads();

// Whether the planned call has been failed, and a line saying which it was.
bool FaultInjected();
std::string DescribeInjectedFault();

// The counting mode's figures, printed as lines starting with "fault-count:": the calls of each
// function (per step and in all), and for each thread the range of its call numbers in each step.
void PrintFaultCounts();

// Describes the thread that runs this (for crash and abort reports).
std::string CurrentFaultThread();
std::string CurrentFaultStep();

}  // namespace standin
