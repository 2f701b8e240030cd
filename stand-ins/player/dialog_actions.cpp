#include "dialog_actions.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/box_watcher.h"
#include "resources/resource.h"
#include "support/burn_dialog_driver.h"

namespace standin {
namespace {

// Boxes are answered with OK (or Yes) and told on the console as they appear.
BoxWatcher& Boxes() {
    static BoxWatcher watcher([](const SeenBox& box) {
        std::printf("  [message box \"%s\"] %s\n", box.caption.c_str(), box.text.c_str());
        std::fflush(stdout);
        return BoxWatcher::PressDefault(box);
    });
    return watcher;
}

void PrintIndented(const std::string& text, const char* indent) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::printf("%s%s\n", indent, line.c_str());
    }
}

// The player's main pop-up menu: what the plug-in recognises as a place for its sub-menu.
std::vector<MenuItem> PlayerMainMenu() {
    return {MenuItem::Command(40010, "Playback"), MenuItem::Command(40011, "Playlist"), MenuItem::Separator(),
            MenuItem::Command(40012, "E&xit")};
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
    host.PumpUntil([&] { return (dialog = FindBurnDialog()) != nullptr; }, 60000);
    if (dialog == nullptr) {
        std::printf("open-dialog: no burn dialog appeared\n");
        return false;
    }
    std::printf("open-dialog: the burn dialog is open\n");
    PrintDialog(dialog);
    return true;
}

bool Burn(Host& host) {
    HWND dialog = FindBurnDialog();
    if (dialog == nullptr) return false;
    const size_t before = Boxes().Count();
    std::printf("burn: clicking Burn (%s disc)\n", ControlText(dialog, IDC_TYPE_BOX).c_str());
    std::fflush(stdout);
    PostButtonCommand(dialog, 1);
    const bool done = host.PumpUntil(
        [&] { return Boxes().Count() > before && DialogLooksIdle(dialog); }, 120000);
    std::printf("burn: %s\n", done ? "finished, the dialog is idle again" : "did not finish");
    return done;
}

bool ChooseType(Host& /*host*/, long index) {
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
    const bool gone = host.PumpUntil([] { return FindBurnDialog(false) == nullptr; }, 30000);
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

}  // namespace

const char* DialogActionsUsage() {
    return "say TEXT | popup | open-dialog ID | choose-type N | burn | close-dialog | engine-log PREFIX[,PREFIX...]";
}

bool RunDialogAction(Host& host, const std::vector<std::string>& args, size_t& next, bool& ok) {
    const std::string& action = args[next];
    const bool hasArgument = next + 1 < args.size();
    if (action == "say" && hasArgument) {
        std::printf("\n== %s\n", args[next + 1].c_str());
        ok = true;
        next += 2;
    } else if (action == "popup") {
        ++next;
        ok = ShowPopup(host);
    } else if (action == "open-dialog" && hasArgument) {
        ok = OpenDialog(host, std::strtol(args[next + 1].c_str(), nullptr, 10));
        next += 2;
    } else if (action == "choose-type" && hasArgument) {
        ok = ChooseType(host, std::strtol(args[next + 1].c_str(), nullptr, 10));
        next += 2;
    } else if (action == "burn") {
        ++next;
        ok = Burn(host);
    } else if (action == "close-dialog") {
        ++next;
        ok = CloseDialog(host);
    } else if (action == "engine-log" && hasArgument) {
        ok = PrintEngineLog(args[next + 1]);
        next += 2;
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

}  // namespace standin
