#include "standin_host.h"

#include <cstring>

namespace standin {
namespace {

constexpr char kWindowClass[] = "TolvaneStandinPlayer";
constexpr char kWindowTitle[] = "QCD Player (stand-in)";

Host* currentHost = nullptr;

typedef int(__cdecl* ModuleEntry)(HostRecord*, ModuleInfo*);

bool RegisterWindowClass() {
    WNDCLASSA windowClass = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kWindowClass, &windowClass)) return true;
    windowClass.lpfnWndProc = Host::OwnWindowProc();
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

int32_t CopyText(const std::string& text, void* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0) return 0;
    size_t length = text.size() < static_cast<size_t>(size) ? text.size() : static_cast<size_t>(size) - 1;
    std::memcpy(buffer, text.data(), length);
    static_cast<char*>(buffer)[length] = '\0';
    return 1;
}

}  // namespace

Host::Host(Playlist playlist) : playlist_(std::move(playlist)) {
    currentHost = this;
    record_.service = Service;
    if (RegisterWindowClass())
        window_ = CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, 40, 40, 480, 320, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
}

Host::~Host() {
    if (module_ != nullptr && !running_) Unload();
    keptMenus_.clear();
    // A plug-in still running keeps its subclass; the window then goes down with the process.
    if (window_ != nullptr && !running_) DestroyWindow(window_);
    if (currentHost == this) currentHost = nullptr;
}

bool Host::Load(const std::string& pluginPath) {
    module_ = LoadLibraryA(pluginPath.c_str());
    if (module_ == nullptr) {
        error_ = "cannot load " + pluginPath + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module_, path, MAX_PATH);
    modulePath_ = path;
    if (GetProcAddress(module_, "QGeneralModule") == nullptr) {
        error_ = pluginPath + " has no QGeneralModule";
        return false;
    }
    return true;
}

int32_t Host::CallModule() {
    auto entry = reinterpret_cast<ModuleEntry>(GetProcAddress(module_, "QGeneralModule"));
    if (entry == nullptr) return 0;
    int32_t result = entry(&record_, &info_);
    running_ = result == 1;
    return result;
}

void Host::Shutdown() {
    if (record_.shutdown != nullptr) record_.shutdown();
    running_ = false;
}

int32_t Host::About() {
    return record_.about != nullptr ? record_.about() : 0;
}

bool Host::Unload(DWORD timeoutMs) {
    if (module_ == nullptr) return true;
    FreeLibrary(module_);
    module_ = nullptr;
    running_ = false;
    return PumpUntil([this] { return GetModuleHandleA(modulePath_.c_str()) == nullptr; }, timeoutMs);
}

std::string Host::Description() const {
    return info_.description != nullptr ? info_.description : "";
}

void Host::ShowMainWindow() {
    if (window_ != nullptr) ShowWindow(window_, SW_SHOWNOACTIVATE);
}

WNDPROC Host::OwnWindowProc() {
    return PlayerWindowProc;
}

WNDPROC Host::CurrentWindowProc() const {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window_, GWLP_WNDPROC));
}

LRESULT Host::SendCommand(UINT id) {
    return SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::vector<MenuItem> Host::OpenPopupMenu(const std::vector<MenuItem>& items, bool destroyAfterUse) {
    UniqueMenu menu(BuildMenu(items));
    SendMessageA(window_, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu.get()), MAKELPARAM(0, FALSE));
    std::vector<MenuItem> shown = ReadMenu(menu.get());
    if (!destroyAfterUse) keptMenus_.push_back(std::move(menu));
    return shown;
}

void Host::PumpMessages(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool Host::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10,
                                  QS_ALLINPUT);
    }
}

void Host::SetPlaylist(Playlist playlist) {
    std::lock_guard<std::mutex> lock(mutex_);
    playlist_ = std::move(playlist);
}

std::vector<HostCall> Host::Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<WindowMessage> Host::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void Host::ClearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    messages_.clear();
}

int32_t __cdecl Host::Service(int32_t op, void* buffer, int32_t param1, int32_t param2) {
    Host* host = currentHost;
    if (host == nullptr) return 0;
    std::lock_guard<std::mutex> lock(host->mutex_);
    int32_t result = host->Answer(op, buffer, param1, param2);
    host->calls_.push_back(HostCall{op, param1, param2, result, GetCurrentThreadId()});
    return result;
}

const Track* Host::TrackAt(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= playlist_.tracks.size()) return nullptr;
    return &playlist_.tracks[static_cast<size_t>(index)];
}

// Called with mutex_ held.
int32_t Host::Answer(int32_t op, void* buffer, int32_t param1, int32_t param2) const {
    switch (op) {
    case kHostGetMainWindow:
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(window_));
    case kHostTrackCount:
        return static_cast<int32_t>(playlist_.tracks.size());
    case kHostTrackLength:
        return TrackAt(param1) != nullptr ? TrackAt(param1)->lengthSeconds : 0;
    case kHostTrackSelected:
        return TrackAt(param1) != nullptr && TrackAt(param1)->selected ? 1 : 0;
    case kHostTrackTitle:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->title, buffer, param1) : 0;
    case kHostTrackArtist:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->artist, buffer, param1) : 0;
    case kHostTrackFile:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->file, buffer, param1) : 0;
    case kHostSettingsFile:
        return playlist_.settingsFile.empty() ? 0 : CopyText(playlist_.settingsFile, buffer, param1);
    default:
        return 0;
    }
}

LRESULT CALLBACK Host::PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Host* host = currentHost;
    if (host != nullptr && host->window_ == window && (message == WM_COMMAND || message == WM_INITMENUPOPUP)) {
        std::lock_guard<std::mutex> lock(host->mutex_);
        host->messages_.push_back(WindowMessage{message, wParam, lParam});
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RedirectUserHive(const std::string& keyPath) {
    UniqueRegKey hive;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, hive.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegOverridePredefKey(HKEY_CURRENT_USER, hive.get()) == ERROR_SUCCESS;
}

}  // namespace standin
