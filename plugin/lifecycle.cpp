#include "plugin/lifecycle.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/start_thread.h"
#include "base/thread_runtime.h"
#include "base/trace.h"
#include "base/user_texts.h"
#include "burn/burn_job.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"
#include "engine/engine_version.h"
#include "plugin/host_playlist.h"
#include "plugin/player_menu.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/open_burn_dialog.h"

WNDPROC previousPlayerWindowProc = nullptr;

namespace {

constexpr char kUnknownVersion[] = "Unknown Version";
constexpr char kReloadQuestion[] =
    "It looks like the NERO plugin did not close properly.\nDo you want to try and load it again ?";
constexpr char kCrashNoticeCaption[] = "Error";
constexpr char kCrashNoticeText[] =
    "Sorry, the NERO Plugin has caused QCD to crash.\nThis is a problem with the Nero Software, not of this "
    "plugin.\nYou may be able to use the NERO Plugin after rebooting.";

// Lives until the module unloads.
std::unique_ptr<HostPlaylist> playlistOwner;
// Made by the worker thread, destroyed by shutdown once the worker has ended; `engineSession`
// is the other threads' view of it.
std::unique_ptr<EngineSession> sessionOwner;

// ---- module description ----

std::vector<char> ReadVersionInfo(HMODULE module) {
    char fileName[MAX_PATH] = {};
    if (GetModuleFileNameA(module, fileName, MAX_PATH) == 0) return {};
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(fileName, &ignored);
    if (size == 0) return {};
    // Short of memory the version reads as unknown; the plug-in still loads.
    std::vector<char> info;
    try {
        info.resize(size);
    } catch (...) {
        return {};
    }
    if (!GetFileVersionInfoA(fileName, 0, size, info.data())) return {};
    return info;
}

std::string VersionText(const std::vector<char>& info) {
    void* block = nullptr;
    UINT size = 0;
    if (info.empty() || !VerQueryValueA(info.data(), "\\", &block, &size) || block == nullptr ||
        size < sizeof(VS_FIXEDFILEINFO))
        return kUnknownVersion;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    char text[64];
    std::snprintf(text, sizeof text, "Version %d.%d.%d Build %d", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::string FileDescriptionText(const std::vector<char>& info) {
    void* block = nullptr;
    UINT size = 0;
    if (info.empty() || !VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &block, &size) ||
        block == nullptr || size < 2 * sizeof(WORD))
        return kUnknownVersion;
    const auto* translation = static_cast<const WORD*>(block);
    char subBlock[64];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\FileDescription", translation[0],
                  translation[1]);
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), subBlock, &text, &length) || text == nullptr) return kUnknownVersion;
    const char* characters = static_cast<const char*>(text);
    return std::string(characters, strnlen(characters, length));
}

// ---- crash guard ----

// False when the previous run did not end in order and the user declines to load again.
bool PassCrashGuard() {
    if (!settings::Read(settings::kCrashGuard)) return true;
    return MessageBoxA(playerWindow, kReloadQuestion, kMessageBoxCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void __cdecl CrashNotice() {
    if (engineSession.load() == nullptr) return;
    MessageBoxA(nullptr, kCrashNoticeText, kCrashNoticeCaption, MB_OK);
}

// ---- player window ----

// The window whose chain holds PlayerWindowProc; none once the saved procedure is back.
HWND subclassedWindow = nullptr;

// A later subclass keeps PlayerWindowProc as the procedure it forwards to and may call it until
// the process ends: the module must then never leave the process.
void PinThisModule() {
    if (moduleInstance == nullptr) return;  // linked into a program, not loaded as a module
    // A pinned module gives no reference back: the handle needs no owner.
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&PlayerWindowProc), &pinned);
}

void SubclassPlayerWindow() {
    // Left in a window's chain at the last shutdown, PlayerWindowProc still gets its messages
    // through the later subclass; installing it again would make it forward to itself.
    if (subclassedWindow != nullptr && IsWindow(subclassedWindow)) return;
    subclassedWindow = nullptr;
    HWND window = playerWindow;
    if (window == nullptr) return;
    previousPlayerWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PlayerWindowProc)));
    if (previousPlayerWindowProc != nullptr) subclassedWindow = window;
}

WNDPROC CurrentProcedure(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)); }

// Putting the saved procedure back under a later subclass would cut that one out of the chain;
// the chain is then left whole, PlayerWindowProc forwarding for good. So it is too when the
// procedure cannot be put back: either way the module stays in the process.
void RestorePlayerWindowProc() {
    HWND window = subclassedWindow;
    if (window == nullptr || !IsWindow(window)) {
        subclassedWindow = nullptr;
        return;
    }
    // A put-back that worked hands back the procedure it replaced, PlayerWindowProc; one that
    // failed hands back none.
    if (CurrentProcedure(window) == PlayerWindowProc &&
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC,
                                                    reinterpret_cast<LONG_PTR>(previousPlayerWindowProc))) ==
            PlayerWindowProc) {
        subclassedWindow = nullptr;
        return;
    }
    PinThisModule();
}

HWND QueryPlayerWindow(const HostRecord& host) {
    if (host.service == nullptr) return nullptr;
    return reinterpret_cast<HWND>(static_cast<intptr_t>(host.service(kHostGetMainWindow, nullptr, 0, 0)));
}

// ---- worker thread ----

// The thread that starts the engine and then opens every burn dialog, with the two events it
// waits on. The events live from Start until Stop has seen the thread end, so no thread ever
// sets or waits on a closed one.
class Worker {
public:
    // Without both events or a thread the plug-in stays loaded without a worker. A worker that
    // is already running is kept: its events must not change under it.
    void Start();
    // True when the last Start could not start the worker, or the worker could not set itself up.
    bool GaveUp() const { return gaveUp_; }
    // Asks the worker to open the burn dialog; false when the worker gave up or could not be
    // asked. Before any Start nothing happens.
    bool RequestBurnDialog() const { return !gaveUp_ && (!thread_ || burn_.Set()); }
    // Asks the worker to end, waits for its very end, then closes the events. `dialogAsked`:
    // whether an open burn dialog has been asked to close; if not, the asking is tried again.
    void Stop(bool dialogAsked);

private:
    static DWORD WINAPI ThreadMain(LPVOID worker);
    bool Run() const;
    void ServeRequests() const;
    void Leave();
    bool Wake() const;
    void AwaitEnd(bool dialogAsked) const;

    UniqueEvent stop_;
    UniqueEvent burn_;
    // Once this handle is signalled the worker has left the module and given back its reference.
    UniqueThreadHandle thread_;
    DWORD threadId_ = 0;
    // Set before the worker is woken to end, so a wake-up that comes another way also ends it.
    std::atomic<bool> stopRequested_{false};
    // Set by a worker that could not set itself up and has left.
    std::atomic<bool> gaveUp_{false};
    // The thread's own reference to this module, so the player can unload it as soon as shutdown
    // returns even though the thread is still leaving the module's code. Handed to the thread
    // before it starts; the thread gives it back as its last act.
    HMODULE moduleReference_ = nullptr;
};

Worker worker;

HMODULE ReferenceThisModule() {
    if (moduleInstance == nullptr) return nullptr;  // linked into a program, not loaded as a module
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ReferenceThisModule),
                       &module);
    return module;
}

void Worker::Start() {
    if (thread_) return;
    stopRequested_ = false;
    gaveUp_ = false;
    stop_ = UniqueEvent::NewAutoReset();
    burn_ = UniqueEvent::NewAutoReset();
    // Without both events the worker would have nothing sound to wait on.
    if (stop_ && burn_) {
        moduleReference_ = ReferenceThisModule();
        thread_ = StartOwnedThread(ThreadMain, this, THREAD_PRIORITY_NORMAL, 0, 0, &threadId_);
        if (thread_) return;
        UniqueModule unused(std::exchange(moduleReference_, nullptr));
    }
    stop_.reset();
    burn_.reset();
    gaveUp_ = true;
}

void StartEngine() {
    sessionOwner = std::make_unique<EngineSession>(processBurnJob);
    EngineSession* session = sessionOwner.get();
    engineSession = session;
    session->Load();
    WORD major = 0, minor = 0, release = 0, build = 0;
    if (engineApiVersionParts(&major, &minor, &release, &build))
        engineVersionIsCurrent = IsCurrentEngineVersion(major, minor, release, build);
    Trace("Setting params\n");
    std::atexit(CrashNotice);
    Trace("init\n");
    session->Initialise();
}

void RunBurnDialog() {
    try {
        OpenBurnDialog();
    } catch (...) {
    }
}

// Messages posted to this thread only wake it: shutdown posts one when it cannot set stopEvent.
void DiscardThreadMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void Worker::ServeRequests() const {
    Trace("running thread\n");
    // Stop comes first: once shutdown has begun, a pending burn request must not open a dialog.
    const HANDLE events[] = {stop_.get(), burn_.get()};
    for (;;) {
        DWORD signalled = MsgWaitForMultipleObjectsEx(2, events, INFINITE, QS_POSTMESSAGE, MWMO_INPUTAVAILABLE);
        if (signalled == WAIT_OBJECT_0 + 2) DiscardThreadMessages();
        if (signalled == WAIT_OBJECT_0 || stopRequested_) return;
        if (signalled == WAIT_OBJECT_0 + 1) RunBurnDialog();
    }
}

// Leaves through the module reference; Stop waits on the thread's handle.
void Worker::Leave() {
    ReleaseThreadRuntime();
    HMODULE module = std::exchange(moduleReference_, nullptr);
    if (module != nullptr) FreeLibraryAndExitThread(module, 0);
}

// False when the engine session could not be set up; the worker then gives up.
bool Worker::Run() const {
    try {
        StartEngine();
    } catch (...) {
        return false;
    }
    try {
        ServeRequests();
    } catch (...) {
    }
    return true;
}

// A worker that cannot set up what an exception needs, or its engine session, ends at once: the
// player goes on as before, and the plug-in stays loaded without its sub-menu.
DWORD WINAPI Worker::ThreadMain(LPVOID self) {
    auto* worker = static_cast<Worker*>(self);
    if (!PrepareThreadRuntime() || !worker->Run()) worker->gaveUp_ = true;
    worker->Leave();
    return 0;
}

// How long shutdown waits before it tries again to deliver a request that could not be made.
constexpr DWORD kRedeliverMs = 50;

// False when there is an open burn dialog and the request to close could not be posted.
bool AskBurnDialogToClose() {
    HWND dialog = burnDialogWindow;
    if (dialog == nullptr || !IsWindow(dialog)) return true;
    return PostMessageA(dialog, WM_COMMAND, IDC_EXIT_BUTTON, 0) != FALSE;
}

// stopEvent, or else a message that wakes the worker, which then reads stopRequested_.
bool Worker::Wake() const { return stop_.Set() || PostThreadMessageA(threadId_, WM_NULL, 0, 0) != FALSE; }

// Waits for the thread's end while answering what other threads send to this thread's windows,
// so a box shown over the player window by the burn or dialog thread cannot block the worker this
// waits for. Returns as soon as the thread has ended; while a request could not be delivered it
// is tried again at short intervals, so no failed call leaves shutdown waiting for good.
void Worker::AwaitEnd(bool dialogAsked) const {
    HANDLE thread = thread_.get();
    bool woken = false;
    for (;;) {
        if (!dialogAsked) dialogAsked = AskBurnDialogToClose();
        if (!woken) woken = Wake();
        const DWORD timeout = dialogAsked && woken ? INFINITE : kRedeliverMs;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &thread, timeout, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) return;
        // A wait that failed says nothing of the thread: it is asked again, after a pause.
        if (result == WAIT_FAILED && WaitForSingleObject(thread, kRedeliverMs) == WAIT_OBJECT_0) return;
    }
}

// The worker may have ended by itself: its events are still open, so setting one is harmless.
void Worker::Stop(bool dialogAsked) {
    if (thread_) {
        stopRequested_ = true;
        AwaitEnd(dialogAsked);
        thread_.reset();
    }
    stop_.reset();
    burn_.reset();
}

// ---- entry points ----

void DestroyEngineSession() {
    if (sessionOwner) sessionOwner->Destroy();
    engineSession = nullptr;
    sessionOwner.reset();
}

int LoadPlugin(HostRecord* host, ModuleInfo* info) {
    if (host == nullptr) return 0;
    host->interfaceVersion = kHostInterfaceVersion;
    // Built once: the player keeps the pointer until the module unloads.
    if (moduleDescription.empty()) moduleDescription = BuildModuleDescription(moduleInstance);
    if (info != nullptr) info->description = moduleDescription.c_str();
    host->shutdown = PluginShutdown;
    host->about = PluginAbout;
    host->configure = nullptr;

    if (!PassCrashGuard()) return 0;

    shutdownBegun = false;
    playlistOwner = std::make_unique<HostPlaylist>(*host);
    hostPlaylist = playlistOwner.get();
    playerWindow = QueryPlayerWindow(*host);
    SubclassPlayerWindow();
    worker.Start();
    settings::Write(settings::kCrashGuard, true);
    return 1;
}

void ShutDown() {
    DestroyBurnPopupMenu();
    settings::Write(settings::kCrashGuard, false);
    // Published before looking for the dialog; a dialog still opening looks the other way round.
    shutdownBegun = true;
    const bool dialogAsked = AskBurnDialogToClose();
    RestorePlayerWindowProc();
    Trace("going going...\n");
    worker.Stop(dialogAsked);
    DestroyEngineSession();
    Trace("gone...\n");
}

}  // namespace

std::string BuildModuleDescription(HMODULE module) {
    const std::vector<char> info = ReadVersionInfo(module);
    return FileDescriptionText(info) + " " + VersionText(info);
}

bool SignalBurnEvent() { return worker.RequestBurnDialog(); }

bool BurnCommandsAvailable() { return !worker.GaveUp(); }

extern "C" int __cdecl QGeneralModule(HostRecord* host, ModuleInfo* info) {
    try {
        return LoadPlugin(host, info);
    } catch (...) {
        return 0;
    }
}

extern "C" void __cdecl PluginShutdown(void) {
    try {
        ShutDown();
    } catch (...) {
    }
}

extern "C" int32_t __cdecl PluginAbout(void) {
    try {
        HWND player = playerWindow;
        HWND owner = player != nullptr ? GetLastActivePopup(player) : nullptr;
        return static_cast<int32_t>(ShowAbout(moduleInstance, owner, moduleDescription.c_str(), nullptr, nullptr));
    } catch (...) {
        return 0;
    }
}
