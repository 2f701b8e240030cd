#include "standin_host.h"

#include <cstdio>
#include <cstring>

namespace standin {
namespace {

constexpr char kWindowClass[] = "TolvaneStandinPlayer";
constexpr char kWindowTitle[] = "QCD Player (stand-in)";

Host* currentHost = nullptr;

// What the player keeps in its own slots of the host record.
constexpr uint32_t kPlayerSlotMarks[] = {0x51434430, 0x5143440C, 0x51434410};

void __cdecl PlayerConfigure() {}

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

// One line of the playlist window.
std::string TrackLine(size_t index, const Track& track) {
    char line[600];
    std::snprintf(line, sizeof line, "%2u. %s - %s  (%d:%02d)    %s", static_cast<unsigned>(index + 1), track.artist.c_str(),
                  track.title.c_str(), track.lengthSeconds / 60, track.lengthSeconds % 60, track.file.c_str());
    return line;
}

}  // namespace

Host::Host(Playlist playlist) : playlist_(std::move(playlist)) {
    currentHost = this;
    record_.playerSlot0 = kPlayerSlotMarks[0];
    record_.playerSlot12 = kPlayerSlotMarks[1];
    record_.playerSlot16 = kPlayerSlotMarks[2];
    record_.service = Service;
    record_.configure = PlayerConfigure;
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

bool Host::PlayerSlotsIntact() const {
    return record_.playerSlot0 == kPlayerSlotMarks[0] && record_.playerSlot12 == kPlayerSlotMarks[1] &&
           record_.playerSlot16 == kPlayerSlotMarks[2] && record_.service == Service;
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

void Host::ShowPlaylistWindow() {
    if (window_ == nullptr) return;
    if (listBox_ == nullptr) {
        RECT client;
        GetClientRect(window_, &client);
        listBox_ = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                   0, 0, client.right, client.bottom, window_, nullptr, GetModuleHandleA(nullptr), nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < playlist_.tracks.size(); ++i) {
            SendMessageA(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TrackLine(i, playlist_.tracks[i]).c_str()));
        }
    }
    closed_ = false;
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
}

void Host::TrackPlayerMenu(POINT at) {
    UniqueMenu menu(BuildMenu(PlayerMainMenu()));
    trackedMenu_ = menu.get();
    // The owner is the main window: the plug-in sees WM_INITMENUPOPUP and gets the commands.
    SetForegroundWindow(window_);
    TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
    trackedMenu_ = nullptr;
    PostMessageA(window_, WM_NULL, 0, 0);
}

bool Host::OpenSubMenuByKeys(HMENU menu, const std::string& text) const {
    int presses = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char itemText[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), itemText, sizeof itemText, MF_BYPOSITION);
        bool separator = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0;
        if (!separator) ++presses;  // the arrow keys pass over separators
        if (text != itemText || GetSubMenu(menu, i) == nullptr) continue;
        for (int n = 0; n < presses; ++n) PostMessageA(window_, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(window_, WM_KEYDOWN, VK_RIGHT, 0);
        return true;
    }
    return false;
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
    if (playlist_.answersNothing) return 0;
    const bool textRequest = op == kOpTrackTitle || op == kOpTrackArtist || op == kOpTrackFile ||
                             op == kOpSettingsFile;
    if (textRequest && playlist_.textsFail) return 0;
    switch (op) {
    case kOpMainWindow:
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(window_));
    case kOpTrackCount:
        return static_cast<int32_t>(playlist_.tracks.size());
    case kOpTrackLength:
        return TrackAt(param1) != nullptr ? TrackAt(param1)->lengthSeconds : 0;
    case kOpTrackSelected:
        return TrackAt(param1) != nullptr && TrackAt(param1)->selected ? 1 : 0;
    case kOpTrackTitle:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->title, buffer, param1) : 0;
    case kOpTrackArtist:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->artist, buffer, param1) : 0;
    case kOpTrackFile:
        return TrackAt(param2) != nullptr ? CopyText(TrackAt(param2)->file, buffer, param1) : 0;
    case kOpSettingsFile:
        return playlist_.settingsFile.empty() ? 0 : CopyText(playlist_.settingsFile, buffer, param1);
    default:
        return 0;
    }
}

LRESULT CALLBACK Host::PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Host* host = currentHost;
    if (host == nullptr || host->window_ != window) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_COMMAND || message == WM_INITMENUPOPUP) {
        std::lock_guard<std::mutex> lock(host->mutex_);
        host->messages_.push_back(WindowMessage{message, wParam, lParam});
    }
    if (host->listBox_ != nullptr && host->PlaylistWindowMessage(message, wParam, lParam)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

// What the shown playlist window does as a person uses it; true when handled.
bool Host::PlaylistWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CONTEXTMENU: {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) GetCursorPos(&at);  // from the keyboard
        TrackPlayerMenu(at);
        return true;
    }
    case WM_SIZE:
        MoveWindow(listBox_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return true;
    case WM_CLOSE:
        // Hidden, not destroyed: the plug-in still subclasses the window until its shutdown.
        ShowWindow(window_, SW_HIDE);
        closed_ = true;
        return true;
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU && trackedMenu_ != nullptr && menuWatcher_ && menuWatcher_(trackedMenu_)) EndMenu();
        return false;
    default:
        return false;
    }
}

namespace {

struct MenuWindowSearch {
    DWORD thread;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMenuWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MenuWindowSearch*>(param);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (GetWindowThreadProcessId(window, nullptr) == search->thread && std::strcmp(name, "#32768") == 0 &&
        IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> VisibleMenuWindows() {
    MenuWindowSearch search{GetCurrentThreadId(), {}};
    EnumWindows(CollectMenuWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool RedirectUserHive(const std::string& keyPath) {
    UniqueRegKey hive;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, hive.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegOverridePredefKey(HKEY_CURRENT_USER, hive.get()) == ERROR_SUCCESS;
}

}  // namespace standin
