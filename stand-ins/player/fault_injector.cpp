#include "fault_injector.h"
#include "import_table.h"
#include "support/leak_measures.h"

// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>
#include <wincrypt.h>
#include <winver.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <process.h>
#include <set>
#include <tuple>
#include <type_traits>

// The table below names msvcrt's functions by their declared types, which carry an explicit
// __cdecl that a template argument drops; cdecl is what the hooks are anyway.
#pragma GCC diagnostic ignored "-Wignored-attributes"

namespace standin {
namespace {

constexpr int kMostSteps = 64;
constexpr int kMostThreads = 256;
constexpr size_t kStepNameSize = 48;
constexpr int kThreadKinds = static_cast<int>(FaultThread::kCount);

// What a hooked function is to the injector.
enum class Kind {
    kFails,        // fails when its turn comes
    kFailsBlocks,  // the same, and it waits (a message box, a modal dialog)
    kBlocks,       // only watched: a wait, a message loop's GetMessageA
    kEndsProcess,  // only told: abort and exit
    kCloses,       // only watched: what closes a handle the module opened
};

// Where a function hands out a handle the module must close: its result, or the N-th argument
// (from 1) that points at it. kNoHandle: none.
constexpr int kNoHandle = 0;
constexpr int kReturnsHandle = -1;

struct Fallible {
    const char* library;  // as the import table names it (case is ignored)
    const char* name;
    Kind kind;
    uintptr_t failure;  // what a failed call returns
    DWORD lastError;    // what it leaves for GetLastError; 0 leaves it alone
    int crtError;       // what it leaves in errno (msvcrt's functions); 0 leaves it alone
    void* hook;
    void** real;  // where the hook finds what the import table pointed at
    int* index;   // the hook's place in the table
};

// ---- counting ----

struct InjectedFault {
    int function = -1;
    FaultThread thread = FaultThread::kAny;
    int step = 0;
    long overall = 0;
    long inThread = 0;
    DWORD threadId = 0;
};

struct KnownThread {
    std::atomic<DWORD> id{0};
    FaultThread kind = FaultThread::kOther;
    HANDLE handle = nullptr;  // the injector's own, to see the thread's end; UI thread only
    std::atomic<int> blocked{0};
};

// A handle the module got through its import table; open until it goes back through it.
struct OpenedHandle {
    std::atomic<void*> value{nullptr};
    std::atomic<bool> open{false};
    int function = -1;
    FaultThread thread = FaultThread::kOther;
    int step = 0;
};
constexpr int kMostHandles = 4096;

struct State {
    bool installed = false;
    FaultPlan plan;
    std::vector<char> chosen;  // per table entry
    DWORD uiThread = 0;
    std::atomic<int> step{0};
    std::atomic<int> steps{1};
    char stepNames[kMostSteps][kStepNameSize] = {{"load"}};
    std::atomic<long> overall{0};
    std::atomic<long> perThread[kThreadKinds] = {};
    // Per function and step; per thread kind and step, the first and last call number.
    std::vector<std::atomic<long>> perStep;
    std::atomic<long> firstInStep[kThreadKinds][kMostSteps] = {};
    std::atomic<long> lastInStep[kThreadKinds][kMostSteps] = {};
    std::atomic<bool> injected{false};
    InjectedFault fault;
    long activitySeen = -1;
    KnownThread threads[kMostThreads];
    std::atomic<int> threadCount{0};
    OpenedHandle handles[kMostHandles];
    std::atomic<int> handleCount{0};
};

State& state() {
    static State instance;
    return instance;
}

const std::vector<Fallible>& Table();

KnownThread* FindThread(DWORD id) {
    State& s = state();
    for (int i = s.threadCount.load() - 1; i >= 0; --i) {  // the newest first: identifiers come back
        if (s.threads[i].id.load() == id) return &s.threads[i];
    }
    return nullptr;
}

FaultThread CurrentKind() {
    const DWORD id = GetCurrentThreadId();
    if (id == state().uiThread) return FaultThread::kPlayer;
    const KnownThread* known = FindThread(id);
    return known != nullptr ? known->kind : FaultThread::kOther;
}

// A thread the plug-in made, named after the thread that made it.
void RegisterThread(DWORD id) {
    State& s = state();
    FaultThread kind = FaultThread::kPlugin;
    switch (CurrentKind()) {
    case FaultThread::kPlayer: kind = FaultThread::kWorker; break;
    case FaultThread::kWorker: kind = FaultThread::kBurn; break;
    default: break;
    }
    const int slot = s.threadCount.load();
    if (slot >= kMostThreads) return;
    KnownThread& thread = s.threads[slot];
    thread.kind = kind;
    thread.handle = OpenThread(SYNCHRONIZE, FALSE, id);
    thread.id.store(id);
    s.threadCount.store(slot + 1);
}

void Tell(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void RememberHandle(int index, void* handle) {
    if (index < 0 || handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    State& s = state();
    const int slot = s.handleCount++;
    if (slot >= kMostHandles) return;
    OpenedHandle& opened = s.handles[slot];
    opened.function = index;
    opened.thread = CurrentKind();
    opened.step = s.step.load();
    opened.value.store(handle);
    opened.open.store(true);
}

// Before the real call: once closed, the value may come back for another object at once.
void ForgetHandle(void* handle) {
    State& s = state();
    const int count = s.handleCount.load() < kMostHandles ? s.handleCount.load() : kMostHandles;
    for (int i = count - 1; i >= 0; --i) {
        if (s.handles[i].value.load() == handle && s.handles[i].open.exchange(false)) return;
    }
}

// Counts the call; true when it is the one to fail.
bool CountCall(int index) {
    State& s = state();
    if (index < 0 || !s.chosen[static_cast<size_t>(index)]) return false;
    const FaultThread kind = CurrentKind();
    const int k = static_cast<int>(kind);
    const int step = s.step.load();
    s.perStep[static_cast<size_t>(index) * kMostSteps + static_cast<size_t>(step)]++;
    const long overall = ++s.overall;
    const long inThread = ++s.perThread[k];
    long unset = 0;
    s.firstInStep[k][step].compare_exchange_strong(unset, inThread);
    s.lastInStep[k][step].store(inThread);
    if (s.plan.call == 0) return false;
    const long number = s.plan.thread == FaultThread::kAny ? overall : (kind == s.plan.thread ? inThread : 0);
    if (number != s.plan.call || s.injected.exchange(true)) return false;
    s.fault = InjectedFault{index, kind, step, overall, inThread, GetCurrentThreadId()};
    Tell("fault: " + DescribeInjectedFault());  // at once: whatever follows may end the process
    return true;
}

template <typename R>
R Failure(int index) {
    const Fallible& entry = Table()[static_cast<size_t>(index)];
    if (entry.crtError != 0) errno = entry.crtError;
    if (entry.lastError != 0) SetLastError(entry.lastError);
    if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(entry.failure);
    } else {
        return static_cast<R>(entry.failure);
    }
}

// Marks the thread as waiting for the length of a blocking call.
class BlockedScope {
public:
    explicit BlockedScope(int index) {
        if (index < 0) return;
        const Kind kind = Table()[static_cast<size_t>(index)].kind;
        if (kind != Kind::kBlocks && kind != Kind::kFailsBlocks) return;
        thread_ = FindThread(GetCurrentThreadId());
        if (thread_ != nullptr) ++thread_->blocked;
    }
    ~BlockedScope() {
        if (thread_ != nullptr) --thread_->blocked;
    }
    BlockedScope(const BlockedScope&) = delete;
    BlockedScope& operator=(const BlockedScope&) = delete;

private:
    KnownThread* thread_ = nullptr;
};

// ---- hooks ----

// Before the real call: a handle about to be closed is forgotten (its value may come back for
// another object at once), and an argument the call writes a handle into is emptied, so that
// only a handle it writes is noted after it.
template <int HandleAt, bool Closes, typename... A>
void BeforeCall(A... args) {
    const auto arguments = std::tie(args...);
    if constexpr (Closes) ForgetHandle(reinterpret_cast<void*>(std::get<0>(arguments)));
    if constexpr (HandleAt > 0) {
        if (std::get<HandleAt - 1>(arguments) != nullptr) *std::get<HandleAt - 1>(arguments) = nullptr;
    }
}

template <int HandleAt, typename R, typename... A>
void AfterCall(int index, const R& result, A... args) {
    const auto arguments = std::tie(args...);
    if constexpr (HandleAt == kReturnsHandle) RememberHandle(index, reinterpret_cast<void*>(result));
    if constexpr (HandleAt > 0) {
        if (std::get<HandleAt - 1>(arguments) != nullptr)
            RememberHandle(index, reinterpret_cast<void*>(*std::get<HandleAt - 1>(arguments)));
    }
}

// The hook's body: the planned failure, or the real call between the notes on its handles.
template <int HandleAt, bool Closes, typename R, typename... A>
R CallOrFail(int index, R (*forward)(void*, A...), void* real, A... args) {
    if (CountCall(index)) return Failure<R>(index);
    BlockedScope blocked(index);
    BeforeCall<HandleAt, Closes>(args...);
    if constexpr (std::is_void_v<R>) {
        forward(real, args...);
    } else {
        const R result = forward(real, args...);
        AfterCall<HandleAt>(index, result, args...);
        return result;
    }
}

template <typename Type, int Id, int HandleAt, bool Closes>
struct Hook;

template <typename R, typename... A, int Id, int HandleAt, bool Closes>
struct Hook<R(WINAPI*)(A...), Id, HandleAt, Closes> {
    static inline void* real = nullptr;
    static inline int index = -1;
    static R Forward(void* function, A... args) { return reinterpret_cast<R(WINAPI*)(A...)>(function)(args...); }
    static R WINAPI Call(A... args) { return CallOrFail<HandleAt, Closes, R, A...>(index, Forward, real, args...); }
};

template <typename R, typename... A, int Id, int HandleAt, bool Closes>
struct Hook<R(__cdecl*)(A...), Id, HandleAt, Closes> {
    static inline void* real = nullptr;
    static inline int index = -1;
    static R Forward(void* function, A... args) { return reinterpret_cast<R(__cdecl*)(A...)>(function)(args...); }
    static R __cdecl Call(A... args) { return CallOrFail<HandleAt, Closes, R, A...>(index, Forward, real, args...); }
};

// Threads start suspended, so the new one is named before its first call (its attach to the
// module's runtime included), then go as asked.
struct ThreadHooks {
    static inline void* realCreateThread = nullptr;
    static inline int createThreadIndex = -1;
    static inline void* realBeginThread = nullptr;
    static inline int beginThreadIndex = -1;

    static HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                      LPVOID argument, DWORD flags, LPDWORD id) {
        if (CountCall(createThreadIndex)) return Failure<HANDLE>(createThreadIndex);
        DWORD ownId = 0;
        HANDLE thread = reinterpret_cast<decltype(&::CreateThread)>(realCreateThread)(
            security, stack, start, argument, flags | CREATE_SUSPENDED, &ownId);
        if (thread != nullptr) {
            RegisterThread(ownId);
            RememberHandle(createThreadIndex, thread);
            if ((flags & CREATE_SUSPENDED) == 0) ::ResumeThread(thread);
        }
        if (id != nullptr) *id = ownId;
        return thread;
    }

    static uintptr_t __cdecl BeginThread(void* security, unsigned stack, unsigned(__stdcall* start)(void*),
                                         void* argument, unsigned flags, unsigned* id) {
        if (CountCall(beginThreadIndex)) return Failure<uintptr_t>(beginThreadIndex);
        unsigned ownId = 0;
        const uintptr_t thread = reinterpret_cast<decltype(&::_beginthreadex)>(realBeginThread)(
            security, stack, start, argument, flags | CREATE_SUSPENDED, &ownId);
        if (thread != 0) {
            RegisterThread(ownId);
            RememberHandle(beginThreadIndex, reinterpret_cast<HANDLE>(thread));
            if ((flags & CREATE_SUSPENDED) == 0) ::ResumeThread(reinterpret_cast<HANDLE>(thread));
        }
        if (id != nullptr) *id = ownId;
        return thread;
    }
};

// abort and exit are only told: a plug-in that calls them takes the player with it.
struct EndHooks {
    static inline void* realAbort = nullptr;
    static inline void* realExit = nullptr;
    static inline void* realQuickExit = nullptr;
    static inline int unused = -1;

    static void Told(const char* what) {
        Tell(std::string("fault-end: the plug-in called ") + what + " on " + CurrentFaultThread() + " during \"" +
             CurrentFaultStep() + "\"");
    }
    static void __cdecl Abort() {
        Told("abort()");
        reinterpret_cast<void(__cdecl*)()>(realAbort)();
    }
    static void __cdecl Exit(int status) {
        Told("exit()");
        reinterpret_cast<void(__cdecl*)(int)>(realExit)(status);
    }
    static void __cdecl QuickExit(int status) {
        Told("_exit()");
        reinterpret_cast<void(__cdecl*)(int)>(realQuickExit)(status);
    }
};

template <typename Type, int Id, int HandleAt = kNoHandle, bool Closes = false>
Fallible Entry(const char* library, const char* name, Kind kind, uintptr_t failure, DWORD lastError, int crtError) {
    using H = Hook<Type, Id, HandleAt, Closes>;
    return Fallible{library, name, kind, failure, lastError, crtError, reinterpret_cast<void*>(&H::Call), &H::real,
                    &H::index};
}

#define FAILS(library, function, failure, error) \
    Entry<decltype(&::function), __LINE__>(library, #function, Kind::kFails, (uintptr_t)(failure), error, 0)
// A function that hands out a handle: kReturnsHandle, or the argument that points at it.
#define OPENS(library, function, failure, error, handleAt)                                             \
    Entry<decltype(&::function), __LINE__, handleAt>(library, #function, Kind::kFails, (uintptr_t)(failure), \
                                                     error, 0)
#define FAILS_BLOCKS(library, function, failure, error) \
    Entry<decltype(&::function), __LINE__>(library, #function, Kind::kFailsBlocks, (uintptr_t)(failure), error, 0)
#define CRT_FAILS(function, failure, crtError) \
    Entry<decltype(&::function), __LINE__>("msvcrt.dll", #function, Kind::kFails, (uintptr_t)(failure), 0, crtError)
#define BLOCKS(library, function) \
    Entry<decltype(&::function), __LINE__>(library, #function, Kind::kBlocks, 0, 0, 0)
#define CLOSES(library, function) \
    Entry<decltype(&::function), __LINE__, kNoHandle, true>(library, #function, Kind::kCloses, 0, 0, 0)

constexpr char kKernel[] = "KERNEL32.dll";
constexpr char kUser[] = "USER32.dll";
constexpr char kGdi[] = "GDI32.dll";
constexpr char kAdvapi[] = "ADVAPI32.dll";
constexpr char kVersion[] = "VERSION.dll";

// Every function the module may call whose failure Windows documents and the caller can meet
// in use: out of memory, handles or desktop heap, a file, key or module that cannot be reached.
// Left out: what releases (a failed CloseHandle or free would leak by itself), pure queries that
// fail only for a bad argument, and the calls a window's painting repeats as often as the screen
// asks (their numbers change from run to run, and so would every later call's).
const std::vector<Fallible>& Table() {
    static const std::vector<Fallible> table = {
        // Kernel objects, threads and the process.
        OPENS(kKernel, CreateEventA, nullptr, ERROR_NOT_ENOUGH_MEMORY, kReturnsHandle),
        OPENS(kKernel, CreateSemaphoreA, nullptr, ERROR_NOT_ENOUGH_MEMORY, kReturnsHandle),
        Fallible{kKernel, "CreateThread", Kind::kFails, 0, ERROR_NOT_ENOUGH_MEMORY, 0,
                 reinterpret_cast<void*>(&ThreadHooks::CreateThread), &ThreadHooks::realCreateThread,
                 &ThreadHooks::createThreadIndex},
        OPENS(kKernel, DuplicateHandle, FALSE, ERROR_NOT_ENOUGH_MEMORY, 4),
        OPENS(kKernel, OpenProcess, nullptr, ERROR_ACCESS_DENIED, kReturnsHandle),
        FAILS(kKernel, SetEvent, FALSE, ERROR_INVALID_HANDLE),
        FAILS(kKernel, ResetEvent, FALSE, ERROR_INVALID_HANDLE),
        FAILS(kKernel, SetThreadPriority, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, SuspendThread, (DWORD)-1, ERROR_ACCESS_DENIED),
        FAILS(kKernel, ResumeThread, (DWORD)-1, ERROR_ACCESS_DENIED),
        FAILS(kKernel, GetThreadContext, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, SetThreadContext, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, GetProcessAffinityMask, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, SetProcessAffinityMask, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, TlsAlloc, TLS_OUT_OF_INDEXES, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, AddVectoredExceptionHandler, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, VirtualProtect, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, VirtualQuery, 0, ERROR_INVALID_PARAMETER),
        // Modules and their entry points.
        FAILS(kKernel, LoadLibraryA, nullptr, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, LoadLibraryExA, nullptr, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, LoadLibraryW, nullptr, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, GetModuleHandleA, nullptr, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, GetModuleHandleW, nullptr, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, GetModuleHandleExA, FALSE, ERROR_MOD_NOT_FOUND),
        FAILS(kKernel, GetModuleFileNameA, 0, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetProcAddress, nullptr, ERROR_PROC_NOT_FOUND),
        // The module's activation context (released with ReleaseActCtx, not followed as a handle).
        FAILS(kKernel, CreateActCtxA, INVALID_HANDLE_VALUE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, ActivateActCtx, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        // Files, paths, the environment, texts.
        OPENS(kKernel, FindFirstFileA, INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED, kReturnsHandle),
        FAILS(kKernel, FindNextFileA, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetFileAttributesExA, FALSE, ERROR_ACCESS_DENIED),
        FAILS(kKernel, GetFullPathNameA, 0, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetShortPathNameA, 0, ERROR_ACCESS_DENIED),
        FAILS(kKernel, ExpandEnvironmentStringsA, 0, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetEnvironmentVariableA, 0, ERROR_ENVVAR_NOT_FOUND),
        FAILS(kKernel, SetEnvironmentVariableA, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetEnvironmentVariableW, 0, ERROR_ENVVAR_NOT_FOUND),
        FAILS(kKernel, SetEnvironmentVariableW, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kKernel, GetFileAttributesA, INVALID_FILE_ATTRIBUTES, ERROR_ACCESS_DENIED),
        FAILS(kKernel, MultiByteToWideChar, 0, ERROR_NO_UNICODE_TRANSLATION),
        FAILS(kKernel, WideCharToMultiByte, 0, ERROR_NO_UNICODE_TRANSLATION),
        FAILS(kVersion, GetFileVersionInfoSizeA, 0, ERROR_RESOURCE_TYPE_NOT_FOUND),
        FAILS(kVersion, GetFileVersionInfoA, FALSE, ERROR_RESOURCE_TYPE_NOT_FOUND),
        FAILS(kVersion, VerQueryValueA, FALSE, ERROR_RESOURCE_TYPE_NOT_FOUND),
        // The registry: the result is the error.
        OPENS(kAdvapi, RegCreateKeyExA, ERROR_ACCESS_DENIED, 0, 8),
        OPENS(kAdvapi, RegOpenKeyExA, ERROR_ACCESS_DENIED, 0, 5),
        FAILS(kAdvapi, RegQueryValueExA, ERROR_ACCESS_DENIED, 0),
        FAILS(kAdvapi, RegSetValueExA, ERROR_ACCESS_DENIED, 0),
        FAILS(kAdvapi, CryptAcquireContextA, FALSE, (DWORD)NTE_PROVIDER_DLL_FAIL),
        FAILS(kAdvapi, CryptGenRandom, FALSE, (DWORD)NTE_FAIL),
        // Windows, menus, dialogs, pictures, hooks.
        FAILS(kUser, CreatePopupMenu, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, AppendMenuA, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, InsertMenuA, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, CreateDialogParamA, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS_BLOCKS(kUser, DialogBoxParamA, -1, ERROR_NOT_ENOUGH_MEMORY),
        FAILS_BLOCKS(kUser, MessageBoxA, 0, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, SetWindowLongA, 0, ERROR_ACCESS_DENIED),
        FAILS(kUser, SetWindowsHookExA, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, PostMessageA, FALSE, ERROR_NOT_ENOUGH_QUOTA),
        FAILS(kUser, LoadImageA, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kUser, LoadCursorA, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS(kGdi, CreateFontIndirectA, nullptr, ERROR_NOT_ENOUGH_MEMORY),
        FAILS("COMCTL32.dll", InitCommonControlsEx, FALSE, ERROR_NOT_ENOUGH_MEMORY),
        FAILS("SHELL32.dll", ShellExecuteA, SE_ERR_OOM, ERROR_NOT_ENOUGH_MEMORY),
        // msvcrt, for the module's own code and its runtime alike.
        CRT_FAILS(malloc, nullptr, ENOMEM),
        CRT_FAILS(calloc, nullptr, ENOMEM),
        CRT_FAILS(realloc, nullptr, ENOMEM),
        CRT_FAILS(_strdup, nullptr, ENOMEM),
        CRT_FAILS(fopen, nullptr, EACCES),
        CRT_FAILS(rename, -1, EACCES),
        Fallible{"msvcrt.dll", "_beginthreadex", Kind::kFails, 0, 0, EAGAIN,
                 reinterpret_cast<void*>(&ThreadHooks::BeginThread), &ThreadHooks::realBeginThread,
                 &ThreadHooks::beginThreadIndex},
        // Watched only.
        BLOCKS(kKernel, WaitForSingleObject),
        BLOCKS(kKernel, WaitForMultipleObjects),
        BLOCKS(kKernel, Sleep),
        BLOCKS(kUser, GetMessageA),
        BLOCKS(kUser, MsgWaitForMultipleObjectsEx),
        CLOSES(kKernel, CloseHandle),
        CLOSES(kKernel, FindClose),
        CLOSES(kAdvapi, RegCloseKey),
        Fallible{"msvcrt.dll", "abort", Kind::kEndsProcess, 0, 0, 0, reinterpret_cast<void*>(&EndHooks::Abort),
                 &EndHooks::realAbort, &EndHooks::unused},
        Fallible{"msvcrt.dll", "exit", Kind::kEndsProcess, 0, 0, 0, reinterpret_cast<void*>(&EndHooks::Exit),
                 &EndHooks::realExit, &EndHooks::unused},
        Fallible{"msvcrt.dll", "_exit", Kind::kEndsProcess, 0, 0, 0, reinterpret_cast<void*>(&EndHooks::QuickExit),
                 &EndHooks::realQuickExit, &EndHooks::unused},
    };
    return table;
}

bool Counted(const Fallible& entry) { return entry.kind == Kind::kFails || entry.kind == Kind::kFailsBlocks; }

int FindEntry(const char* library, const char* name) {
    const std::vector<Fallible>& table = Table();
    for (size_t i = 0; i < table.size(); ++i) {
        if (_stricmp(table[i].library, library) == 0 && std::strcmp(table[i].name, name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

// Points every import of the table at its hook; returns how many were patched.
int PatchImports(HMODULE module) {
    return ReplaceImports(module, [](const char* library, const char* function, void* current) -> void* {
        const int index = FindEntry(library, function);
        if (index < 0) return nullptr;
        const Fallible& fallible = Table()[static_cast<size_t>(index)];
        *fallible.real = current;
        if (fallible.kind != Kind::kEndsProcess) *fallible.index = index;
        return fallible.hook;
    });
}

const char* StepName(int step) { return state().stepNames[step]; }

}  // namespace

const char* FaultThreadName(FaultThread thread) {
    switch (thread) {
    case FaultThread::kPlayer: return "player";
    case FaultThread::kWorker: return "worker";
    case FaultThread::kBurn: return "burn";
    case FaultThread::kPlugin: return "plugin";
    case FaultThread::kOther: return "other";
    default: return "any";
    }
}

const char* FaultThreadDescription(FaultThread thread) {
    switch (thread) {
    case FaultThread::kPlayer: return "the player's UI thread";
    case FaultThread::kWorker: return "the plug-in's worker";
    case FaultThread::kBurn: return "a burn thread";
    case FaultThread::kPlugin: return "another thread of the plug-in";
    case FaultThread::kOther: return "a thread not the plug-in's";
    default: return "any thread";
    }
}

bool ParseFailCall(const std::string& text, FaultPlan& plan) {
    std::string number = text;
    plan.thread = FaultThread::kAny;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string name = text.substr(0, colon);
        bool found = false;
        for (int i = 0; i < kThreadKinds && !found; ++i) {
            if (name == FaultThreadName(static_cast<FaultThread>(i))) {
                plan.thread = static_cast<FaultThread>(i);
                found = true;
            }
        }
        if (!found) return false;
        number = text.substr(colon + 1);
    }
    char* end = nullptr;
    plan.call = std::strtol(number.c_str(), &end, 10);
    return !number.empty() && *end == '\0' && plan.call > 0;
}

bool InstallFaultInjector(HMODULE plugin, const FaultPlan& plan, std::string& error) {
    State& s = state();
    const std::vector<Fallible>& table = Table();
    s.plan = plan;
    s.chosen.assign(table.size(), 0);
    for (size_t i = 0; i < table.size(); ++i) s.chosen[i] = Counted(table[i]) && plan.only.empty();
    for (const std::string& name : plan.only) {
        bool found = false;
        for (size_t i = 0; i < table.size(); ++i) {
            if (name == table[i].name && Counted(table[i])) s.chosen[i] = found = true;
        }
        if (!found) {
            error = "no fallible function " + name + " in the injector's table";
            return false;
        }
    }
    s.perStep = std::vector<std::atomic<long>>(table.size() * kMostSteps);
    s.uiThread = GetCurrentThreadId();
    if (PatchImports(plugin) == 0) {
        error = "the module imports none of the injector's functions";
        return false;
    }
    s.installed = true;
    return true;
}

bool FaultInjectorInstalled() { return state().installed; }

void SetFaultStep(const std::string& step) {
    State& s = state();
    const int index = s.steps.load();
    if (index >= kMostSteps) return;  // the last step takes the rest
    std::snprintf(s.stepNames[index], kStepNameSize, "%s", step.c_str());
    s.steps.store(index + 1);
    s.step.store(index);
}

bool PluginThreadsQuiet() {
    State& s = state();
    bool waiting = true;
    for (int i = 0; i < s.threadCount.load() && waiting; ++i) {
        const KnownThread& thread = s.threads[i];
        if (thread.handle == nullptr || WaitForSingleObject(thread.handle, 0) == WAIT_OBJECT_0) continue;
        waiting = thread.blocked.load() > 0;
    }
    const long activity = s.overall.load();
    const bool quiet = waiting && activity == s.activitySeen;
    s.activitySeen = activity;
    return quiet;
}

long FaultCallsSoFar() { return state().overall.load(); }

std::vector<std::string> HandlesLeftOpen() {
    State& s = state();
    const std::set<KernelHandle> present = ListKernelHandles();
    std::vector<std::string> left;
    const int count = s.handleCount.load() < kMostHandles ? s.handleCount.load() : kMostHandles;
    for (int i = 0; i < count; ++i) {
        const OpenedHandle& opened = s.handles[i];
        if (!opened.open.load()) continue;
        const char* function = Table()[static_cast<size_t>(opened.function)].name;
        std::string kind = "find handle";
        // A find handle is the module's to close whatever it holds; a kernel handle that another
        // module closed for it is no longer the module's.
        if (std::strcmp(function, "FindFirstFileA") != 0) {
            const auto value = static_cast<USHORT>(reinterpret_cast<UINT_PTR>(opened.value.load()));
            const auto found = present.find(KernelHandle{value, std::string()});
            if (found == present.end()) continue;
            kind = found->kind;
        }
        left.push_back(kind + " from " + function + " on " + FaultThreadDescription(opened.thread) + " during \"" +
                       StepName(opened.step) + "\"");
    }
    return left;
}

std::vector<std::string> LivePluginThreads() {
    State& s = state();
    std::vector<std::string> live;
    for (int i = 0; i < s.threadCount.load(); ++i) {
        KnownThread& thread = s.threads[i];
        if (thread.handle == nullptr) continue;
        if (WaitForSingleObject(thread.handle, 0) == WAIT_OBJECT_0) {
            CloseHandle(thread.handle);  // ended: its handle must not count as the plug-in's
            thread.handle = nullptr;
            continue;
        }
        live.push_back(FaultThreadDescription(thread.kind));
    }
    return live;
}

bool FaultInjected() { return state().injected.load(); }

std::string DescribeInjectedFault() {
    State& s = state();
    if (!s.injected.load() || s.fault.function < 0) return "no call failed";
    const InjectedFault& fault = s.fault;
    char text[320];
    std::snprintf(text, sizeof text, "failed %s:%ld (call %ld overall), %s on %s (thread %lu) during \"%s\"",
                  FaultThreadName(fault.thread), fault.inThread, fault.overall,
                  Table()[static_cast<size_t>(fault.function)].name, FaultThreadDescription(fault.thread),
                  static_cast<unsigned long>(fault.threadId), StepName(fault.step));
    return text;
}

void PrintFaultCounts() {
    State& s = state();
    const std::vector<Fallible>& table = Table();
    const int steps = s.steps.load();
    for (int i = 0; i < steps; ++i) std::printf("fault-count: step %d %s\n", i, StepName(i));
    for (size_t f = 0; f < table.size(); ++f) {
        if (!s.chosen[f]) continue;
        long total = 0;
        std::string perStep;
        for (int step = 0; step < steps; ++step) {
            const long calls = s.perStep[f * kMostSteps + static_cast<size_t>(step)].load();
            total += calls;
            if (calls != 0) perStep += " " + std::to_string(step) + "=" + std::to_string(calls);
        }
        std::printf("fault-count: function %s %ld%s\n", table[f].name, total, perStep.c_str());
    }
    for (int k = 0; k < kThreadKinds; ++k) {
        for (int step = 0; step < steps; ++step) {
            const long first = s.firstInStep[k][step].load();
            if (first != 0)
                std::printf("fault-count: thread %s step %d calls %ld-%ld\n", FaultThreadName(static_cast<FaultThread>(k)),
                            step, first, s.lastInStep[k][step].load());
        }
    }
    std::printf("fault-count: overall %ld\n", s.overall.load());
    std::fflush(stdout);
}

std::string CurrentFaultThread() {
    char text[96];
    std::snprintf(text, sizeof text, "%s (thread %lu)", FaultThreadDescription(CurrentKind()),
                  static_cast<unsigned long>(GetCurrentThreadId()));
    return text;
}

std::string CurrentFaultStep() { return StepName(state().step.load()); }

}  // namespace standin
