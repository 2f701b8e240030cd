#pragma once
// The stand-in QCD player, in process: loads a general plug-in by path, hands it a host record,
// answers its service calls from a playlist, owns the main window the plug-in subclasses, and
// drives it with commands, pop-up menus, about and shutdown. One host per process at a time
// (the service callback carries no context). Use it from the thread that created it: that
// thread is the player's user-interface thread.

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host_contract.h"
#include "playlist.h"
#include "player_menu_table.h"
#include "base/handles.h"

namespace standin {

// One service call as the plug-in made it.
struct HostCall {
    int32_t op = 0;
    int32_t param1 = 0;
    int32_t param2 = 0;
    int32_t result = 0;
    DWORD threadId = 0;
};

// A message that reached the player's own window procedure.
struct WindowMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class Host {
public:
    explicit Host(Playlist playlist = Playlist());
    // Unloads the plug-in unless it is still running (a running worker must never lose its code).
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // LoadLibrary and the entry point; false with a reason in error().
    bool Load(const std::string& pluginPath);
    // Calls QGeneralModule with this host's records; returns its result.
    int32_t CallModule();
    // Calls the plug-in's shutdown slot, if filled.
    void Shutdown();
    // Calls the plug-in's about slot; 0 when empty.
    int32_t About();
    // Frees the plug-in and waits until its module is gone (its threads may hold it a moment).
    bool Unload(DWORD timeoutMs = 10000);

    bool loaded() const { return module_ != nullptr; }
    // True between a CallModule that returned 1 and Shutdown.
    bool running() const { return running_; }
    const std::string& error() const { return error_; }
    HMODULE module() const { return module_; }
    // The record starts with the player's own slots marked and the configure slot filled, so
    // that what the plug-in writes, and leaves alone, can be seen.
    HostRecord& record() { return record_; }
    bool PlayerSlotsIntact() const;
    const ModuleInfo& info() const { return info_; }
    std::string Description() const;

    // The main window starts hidden: under Wine a shown top-level window takes seconds to destroy.
    HWND mainWindow() const { return window_; }
    void ShowMainWindow();
    // The player's own window procedure (what a plug-in must restore).
    static WNDPROC OwnWindowProc();
    WNDPROC CurrentWindowProc() const;

    // The player as a person sees it: the main window shown, listing the playlist; a right-click
    // opens the player's main pop-up menu. closed() turns true when the user closes the window.
    void ShowPlaylistWindow();
    HWND playlistBox() const { return listBox_; }
    bool closed() const { return closed_; }
    // Opens the player's main pop-up menu on screen, as a right-click does; returns when it closes.
    void TrackPlayerMenu(POINT at);
    // Runs at each idle moment of an open pop-up menu with the menu; true closes the menu.
    using MenuWatcher = std::function<bool(HMENU menu)>;
    void SetMenuWatcher(MenuWatcher watcher) { menuWatcher_ = std::move(watcher); }
    // While a menu is open: highlights its sub-menu item with this text and opens it, as the
    // arrow keys do (the keys are posted; they act once the menu loop runs again).
    bool OpenSubMenuByKeys(HMENU menu, const std::string& text) const;

    LRESULT SendCommand(UINT id);
    // Builds the menu, sends WM_INITMENUPOPUP for it, reads back what it then holds and, like a
    // real player, destroys it afterwards unless asked to keep it (kept menus go with the host).
    std::vector<MenuItem> OpenPopupMenu(const std::vector<MenuItem>& items, bool destroyAfterUse = true);

    // Runs the player's message loop for a while, or until done() holds (checked every pass).
    void PumpMessages(DWORD milliseconds);
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

    void SetPlaylist(Playlist playlist);
    std::vector<HostCall> Calls() const;
    std::vector<WindowMessage> Messages() const;
    void ClearLog();

private:
    static int32_t __cdecl Service(int32_t op, void* buffer, int32_t param1, int32_t param2);
    static LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool PlaylistWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    int32_t Answer(int32_t op, void* buffer, int32_t param1, int32_t param2) const;
    const Track* TrackAt(int32_t index) const;

    mutable std::mutex mutex_;
    Playlist playlist_;
    std::vector<HostCall> calls_;
    std::vector<WindowMessage> messages_;

    HostRecord record_{};
    ModuleInfo info_{};
    HMODULE module_ = nullptr;
    std::string modulePath_;
    bool running_ = false;
    std::string error_;
    HWND window_ = nullptr;
    HWND listBox_ = nullptr;  // a child of window_, destroyed with it
    bool closed_ = false;
    MenuWatcher menuWatcher_;
    HMENU trackedMenu_ = nullptr;
    std::vector<UniqueMenu> keptMenus_;
};

// Redirects HKEY_CURRENT_USER of this process to HKEY_CURRENT_USER\<keyPath> (created if needed),
// so a run keeps its settings apart from everyone else's.
bool RedirectUserHive(const std::string& keyPath);

// The pop-up menu windows this thread shows now.
std::vector<HWND> VisibleMenuWindows();

}  // namespace standin
