#include "dialog_actions.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <atomic>
#include <thread>

#include "base/handles.h"
#include "resources/resource.h"
#include "automation/box_watcher.h"
#include "automation/burn_dialog_driver.h"
#include "fault_injector.h"
#include "screenshot.h"

namespace standin {
namespace {

// How long an action waits for what it expects; longer means it did not come.
DWORD patience = 600000;

void PrintIndented(const std::string& text, const char* indent) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::printf("%s%s\n", indent, line.c_str());
    }
}

// Where the next message box is shot before it is answered, and what went wrong doing it.
struct BoxShot {
    std::mutex mutex;
    std::string path;
    std::string error;
};
BoxShot& NextBoxShot() {
    static BoxShot shot;
    return shot;
}

void ShootBoxIfAsked(const SeenBox& box) {
    BoxShot& shot = NextBoxShot();
    std::lock_guard<std::mutex> lock(shot.mutex);
    if (shot.path.empty()) return;
    if (ShootWindow(box.window, shot.path, shot.error)) std::printf("  (picture of the box: %s)\n", shot.path.c_str());
    shot.path.clear();
}

// Boxes are answered with OK (or Yes) and told on the console as they appear.
BoxWatcher& Boxes() {
    static BoxWatcher watcher([](const SeenBox& box) {
        std::printf("  [message box \"%s\"] %s\n", box.caption.c_str(), box.text.c_str());
        ShootBoxIfAsked(box);
        std::fflush(stdout);
        return BoxWatcher::PressDefault(box);
    });
    return watcher;
}

// Tells what changed in the dialog since the last look: new status lines and the progress.
class DialogNarrator {
public:
    void Look(HWND dialog) {
        std::string status = ControlText(dialog, IDC_STATUS);
        if (status != status_ && !status.empty()) {
            std::string fresh = status.compare(0, status_.size(), status_) == 0 ? status.substr(status_.size()) : status;
            PrintIndented(fresh, "  status| ");
        }
        status_ = status;
        int progress = ProgressPosition(dialog);
        if (progress != progress_ && progress != 0) std::printf("  progress %d%%\n", progress);
        progress_ = progress;
        std::fflush(stdout);
    }

private:
    std::string status_;
    int progress_ = 0;
};

DialogNarrator& Narrator() {
    static DialogNarrator narrator;
    return narrator;
}

bool Shot(bool ok, const std::string& path, const std::string& error) {
    if (ok) std::printf("  (picture: %s)\n", path.c_str());
    else std::printf("screenshot: %s\n", error.c_str());
    return ok;
}


bool ShowPopup(Host& host) {
    const std::vector<MenuItem> before = PlayerMainMenu();
    std::printf("popup: the player's menu before the plug-in sees it:\n");
    PrintIndented(DescribeMenu(before), "  ");
    std::printf("popup: as the user sees it:\n");
    PrintIndented(DescribeMenu(host.OpenPopupMenu(before)), "  ");
    return true;
}

void PrintDialog(HWND dialog) {
    std::printf("  recorders:");
    for (const std::string& item : ComboItems(dialog, IDC_DRIVE_BOX)) std::printf(" [%s]", item.c_str());
    std::printf("\n  chosen: %s, disc type %s, gap %s s, underrun protection %s, simulate %s\n",
                ControlText(dialog, IDC_DRIVE_BOX).c_str(), ControlText(dialog, IDC_TYPE_BOX).c_str(),
                ControlText(dialog, IDC_GAP).c_str(), IsChecked(dialog, IDC_UNDERRUN) ? "on" : "off",
                IsChecked(dialog, IDC_SIMULATE) ? "on" : "off");
    std::printf("  status box:\n");
    PrintIndented(ControlText(dialog, IDC_STATUS), "    | ");
}

bool OpenDialog(Host& host, long command) {
    Boxes();
    host.SendCommand(static_cast<UINT>(command));
    HWND dialog = nullptr;
    // Under the fault injector, the plug-in's threads waiting again once they have taken the
    // command up (a box shown, or calls made) without a dialog are the end of the opening too.
    const size_t boxesBefore = Boxes().Count();
    const long callsBefore = FaultCallsSoFar();
    host.PumpUntil(
        [&] {
            if ((dialog = FindBurnDialog()) != nullptr) return true;
            const bool takenUp = Boxes().Count() > boxesBefore || FaultCallsSoFar() > callsBefore;
            return FaultInjectorInstalled() && takenUp && PluginThreadsQuiet();
        },
        patience < 60000 ? patience : 60000);
    if (dialog == nullptr) {
        std::printf("open-dialog: no burn dialog appeared\n");
        return false;
    }
    std::printf("open-dialog: the burn dialog is open\n");
    PrintDialog(dialog);
    return true;
}

size_t boxesBeforeBurn = 0;
long callsBeforeBurn = 0;

bool ClickBurn() {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    boxesBeforeBurn = Boxes().Count();
    callsBeforeBurn = FaultCallsSoFar();
    std::printf("burn: clicking Burn (%s disc, simulate %s)\n", ControlText(dialog, IDC_TYPE_BOX).c_str(),
                IsChecked(dialog, IDC_SIMULATE) ? "on" : "off");
    std::fflush(stdout);
    PostButtonCommand(dialog, IDC_BURN_BUTTON);
    return true;
}

bool WaitForBurnEnd(Host& host) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    // Under the fault injector, the dialog idle again without a box once the plug-in has taken
    // the click up and its threads wait again is an end too: a burn that did not happen, untold.
    bool untold = false;
    const bool done = host.PumpUntil(
        [&] {
            Narrator().Look(dialog);
            if (!IsWindow(dialog)) return true;
            const bool told = Boxes().Count() > boxesBeforeBurn;
            if (told && DialogLooksIdle(dialog)) return true;
            untold = FaultInjectorInstalled() && !told && FaultCallsSoFar() > callsBeforeBurn &&
                     DialogLooksIdle(dialog) && PluginThreadsQuiet();
            return untold;
        },
        patience);
    const bool closed = !IsWindow(dialog);
    std::printf("burn: %s\n", closed   ? "the dialog closed"
                              : untold ? "the dialog is idle again, and no box told the result"
                              : done   ? "finished, the dialog is idle again"
                                       : "did not finish");
    std::lock_guard<std::mutex> lock(NextBoxShot().mutex);
    if (!NextBoxShot().error.empty()) {
        std::printf("screenshot: %s\n", NextBoxShot().error.c_str());
        return false;
    }
    return done && !closed && !untold;
}

bool WaitForProgress(Host& host, long percent) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    const bool reached = host.PumpUntil(
        [&] {
            Narrator().Look(dialog);
            return ProgressPosition(dialog) >= percent;
        },
        patience);
    if (!reached) std::printf("wait-progress: the progress never reached %ld%%\n", percent);
    return reached;
}

// The click is sent, so the dialog has taken it when this returns.
bool SetSimulate(const std::string& state) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr || (state != "on" && state != "off")) return false;
    ClickCheckBox(dialog, IDC_SIMULATE, state == "on");
    std::printf("simulate: \"Simulate Only\" is now %s\n", IsChecked(dialog, IDC_SIMULATE) ? "ticked" : "unticked");
    return IsChecked(dialog, IDC_SIMULATE) == (state == "on");
}

bool CreateEmptyFile(const std::string& path) {
    UniqueCFile file(std::fopen(path.c_str(), "wb"));
    return static_cast<bool>(file);
}

// Holds the player (and with it the loaded plug-in) until another program says it is done.
bool WaitForFile(Host& host, const std::string& path) {
    const bool appeared =
        host.PumpUntil([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, patience);
    if (!appeared) std::printf("wait-file: %s did not appear\n", path.c_str());
    return appeared;
}

bool ShootDialog(const std::string& path) {
    HWND dialog = FindBurnDialog();
    std::string error = "no burn dialog to shoot";
    return Shot(dialog != nullptr && ShootWindow(dialog, path, error), path, error);
}

// Opens the player's menu on screen, opens the plug-in's "Nero" sub-menu as the arrow keys do,
// and shoots both menus once they show.
bool ShootPopup(Host& host, const std::string& path) {
    host.ShowPlaylistWindow();
    RECT window;
    GetWindowRect(host.mainWindow(), &window);
    bool asked = false, shot = false;
    std::atomic<bool> shotDone{false};
    std::thread shooter;
    std::string error = "the \"Nero\" sub-menu never showed";
    int looks = 0;
    host.SetMenuWatcher([&](HMENU menu) {
        if (!asked) {
            std::printf("popup: the user right-clicks the playlist and sees:\n");
            PrintIndented(DescribeMenu(ReadMenu(menu)), "  ");
            asked = true;
            if (!host.OpenSubMenuByKeys(menu, "Nero")) return true;
            return false;
        }
        if (shooter.joinable()) {
            if (!shotDone) return false;
            shooter.join();
            return true;
        }
        std::vector<HWND> menus = VisibleMenuWindows();
        if (menus.size() < 2) {
            PostMessageA(host.mainWindow(), WM_NULL, 0, 0);  // look again at the next idle moment
            return ++looks > 10000;
        }
        // Shot from another thread while this one idles in the menu loop, so the menus paint.
        HWND owner = host.mainWindow();
        shooter = std::thread([&, menus, owner] {
            shot = ShootWindows(menus, path, error);
            shotDone = true;
            PostMessageA(owner, WM_NULL, 0, 0);
        });
        return false;
    });
    host.TrackPlayerMenu(POINT{window.left + 60, window.top + 60});
    host.SetMenuWatcher(nullptr);
    if (shooter.joinable()) shooter.join();
    return Shot(shot, path, error);
}

// Modal on this thread: a helper thread finds the box, shoots it and closes it as the user would.
bool ShootAbout(Host& host, const std::string& path) {
    std::string error = "the About box never showed";
    bool shot = false;
    DWORD playerThread = GetCurrentThreadId();
    std::thread user([&] {
        HWND about = nullptr;
        PumpUntil([&] { return (about = FindAboutBox(playerThread)) != nullptr; }, 60000);
        if (about == nullptr) return;
        std::printf("about: the About box shows \"%s\"\n", ControlText(about, IDC_ABOUT_LINE1).c_str());
        shot = ShootWindow(about, path, error);
        PostMessageA(about, WM_COMMAND, IDOK, 0);
    });
    int32_t result = host.About();
    user.join();
    std::printf("about: closed (%d)\n", result);
    return Shot(shot, path, error);
}

// The window Ctrl+C closes: an interrupt ends the interactive mode as closing the window does,
// so the player still shuts the plug-in down in order.
std::atomic<HWND> interruptedWindow{nullptr};

BOOL WINAPI CloseOnInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    HWND window = interruptedWindow;
    if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

bool Interactive(Host& host) {
    host.ShowPlaylistWindow();
    interruptedWindow = host.mainWindow();
    SetConsoleCtrlHandler(CloseOnInterrupt, TRUE);
    std::printf("interactive: the player's window is open; right-click the playlist for the menu; close the window "
                "or press Ctrl+C here to end\n");
    std::fflush(stdout);
    host.PumpUntil([&] { return host.closed(); }, INFINITE);
    SetConsoleCtrlHandler(CloseOnInterrupt, FALSE);
    interruptedWindow = nullptr;
    std::printf("interactive: closed\n");
    return true;
}

bool ChooseType(long index) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    ChooseComboItem(dialog, IDC_TYPE_BOX, static_cast<int>(index));
    std::printf("choose-type: %s\n", ControlText(dialog, IDC_TYPE_BOX).c_str());
    return true;
}

bool CloseDialog(Host& host) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    PostButtonCommand(dialog, 2);
    const bool gone = host.PumpUntil([] { return FindBurnDialog(false) == nullptr; }, patience < 30000 ? patience : 30000);
    std::printf("close-dialog: %s\n", gone ? "closed" : "still open");
    return gone;
}

// Prints the engine log lines written since the last call that start with one of the
// comma-separated prefixes.
bool PrintEngineLog(const std::string& prefixes) {
    static std::streamoff printedUpTo = 0;
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TOLVANE_ENGINE_LOG", path, MAX_PATH) == 0) return false;
    std::ifstream log(path, std::ios::binary);
    log.seekg(printedUpTo);
    std::vector<std::string> wanted;
    std::istringstream list(prefixes);
    for (std::string prefix; std::getline(list, prefix, ',');) wanted.push_back(prefix);
    std::string line;
    while (std::getline(log, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (const std::string& prefix : wanted) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                std::printf("  engine| %s\n", line.c_str());
                break;
            }
        }
    }
    log.clear();
    log.seekg(0, std::ios::end);
    printedUpTo = log.tellg();
    return true;
}

long Number(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

bool Say(const std::string& text) {
    std::printf("\n== %s\n", text.c_str());
    return true;
}

bool ShootNextBox(const std::string& path) {
    Boxes();
    std::lock_guard<std::mutex> lock(NextBoxShot().mutex);
    NextBoxShot().path = path;
    return true;
}

bool LoadPlaylist(Host& host, const std::string& path) {
    Playlist playlist;
    std::string error;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (!(folder ? ReadPlaylistFolder(path, playlist, error) : ReadPlaylistFile(path, playlist, error))) {
        std::printf("playlist: %s\n", error.c_str());
        return false;
    }
    std::printf("playlist: %u tracks from %s\n", static_cast<unsigned>(playlist.tracks.size()), path.c_str());
    host.SetPlaylist(playlist);
    return true;
}

struct DialogAction {
    const char* name;
    // The argument's name in the usage text; null for an action without one.
    const char* argument;
    bool (*run)(Host& host, const std::string& argument);
};

const DialogAction kDialogActions[] = {
    {"say", "TEXT", [](Host&, const std::string& a) { return Say(a); }},
    {"popup", nullptr, [](Host& h, const std::string&) { return ShowPopup(h); }},
    {"open-dialog", "ID", [](Host& h, const std::string& a) { return OpenDialog(h, Number(a)); }},
    {"choose-type", "N", [](Host&, const std::string& a) { return ChooseType(Number(a)); }},
    {"simulate", "on|off", [](Host&, const std::string& a) { return SetSimulate(a); }},
    {"burn", nullptr, [](Host& h, const std::string&) { return ClickBurn() && WaitForBurnEnd(h); }},
    {"click-burn", nullptr, [](Host&, const std::string&) { return ClickBurn(); }},
    {"wait-progress", "P", [](Host& h, const std::string& a) { return WaitForProgress(h, Number(a)); }},
    {"wait-burn", nullptr, [](Host& h, const std::string&) { return WaitForBurnEnd(h); }},
    {"create-file", "PATH", [](Host&, const std::string& a) { return CreateEmptyFile(a); }},
    {"wait-file", "PATH", [](Host& h, const std::string& a) { return WaitForFile(h, a); }},
    {"shoot-dialog", "PNG", [](Host&, const std::string& a) { return ShootDialog(a); }},
    {"shoot-next-box", "PNG", [](Host&, const std::string& a) { return ShootNextBox(a); }},
    {"shoot-popup", "PNG", [](Host& h, const std::string& a) { return ShootPopup(h, a); }},
    {"shoot-about", "PNG", [](Host& h, const std::string& a) { return ShootAbout(h, a); }},
    {"close-dialog", nullptr, [](Host& h, const std::string&) { return CloseDialog(h); }},
    {"playlist", "FILE|FOLDER", [](Host& h, const std::string& a) { return LoadPlaylist(h, a); }},
    {"engine-log", "PREFIX[,PREFIX...]", [](Host&, const std::string& a) { return PrintEngineLog(a); }},
    {"interactive", nullptr, [](Host& h, const std::string&) { return Interactive(h); }},
};

}  // namespace

void StartBoxWatcher() { Boxes(); }

void SetActionPatience(DWORD milliseconds) { patience = milliseconds; }

const char* DialogActionsUsage() {
    static const std::string usage = [] {
        std::string text;
        for (const DialogAction& action : kDialogActions) {
            if (!text.empty()) text += " | ";
            text += action.name;
            if (action.argument != nullptr) text += std::string(" ") + action.argument;
        }
        return text;
    }();
    return usage.c_str();
}

bool RunDialogAction(Host& host, const std::vector<std::string>& args, size_t& next, bool& ok) {
    const bool hasArgument = next + 1 < args.size();
    for (const DialogAction& action : kDialogActions) {
        if (args[next] != action.name || (action.argument != nullptr && !hasArgument)) continue;
        const std::string argument = action.argument != nullptr ? args[next + 1] : std::string();
        next += action.argument != nullptr ? 2 : 1;
        ok = action.run(host, argument);
        std::fflush(stdout);
        return true;
    }
    return false;
}

}  // namespace standin
