// The plug-in's windows and boxes are made with the common controls of version 6 that its
// manifest asks for; the player, which asked for none, keeps the old ones, also for the windows
// it makes after the plug-in has loaded.

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/handles.h"
#include "base/plugin_controls.h"
#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"
#include "support/plugin_module.h"

namespace {

// Only the button of version 6 answers this.
bool IsVersion6Button(HWND button) {
    SIZE ideal{};
    return SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != 0;
}

// The class registered under that name, as the calling thread's active context sees it.
ATOM ClassAtom(const char* name) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return static_cast<ATOM>(GetClassInfoExA(nullptr, name, &info));
}

BOOL CALLBACK CollectControl(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

// The classes of every control of a window that are not the classes the plug-in's manifest
// gives their names; empty when all are.
std::vector<std::string> ControlsOfOtherClasses(HWND window) {
    std::vector<HWND> controls;
    EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&controls));
    // This program's own copy of the plug-in's code, made from the built module.
    MakePluginControlsContext(PluginModule());
    const ScopedActivation active = UsePluginControls();
    std::vector<std::string> others;
    for (HWND control : controls) {
        char name[64] = {};
        GetClassNameA(control, name, sizeof name);
        if (!active || GetClassLongA(control, GCW_ATOM) != ClassAtom(name)) others.push_back(name);
    }
    return others;
}

// The calling thread's active context; none is 0.
HANDLE ActiveContext() {
    HANDLE context = nullptr;
    GetCurrentActCtx(&context);
    UniqueActCtx owner(context != nullptr ? context : INVALID_HANDLE_VALUE);
    return context;
}

using PluginControlsTest = BurnDialogFixture;

}  // namespace

TEST_F(PluginControlsTest, DialogsAndBoxesHaveVersion6ControlsThePlayersWindowsDoNot) {
    const HANDLE playersContext = ActiveContext();
    const ATOM playersButton = ClassAtom("Button");
    standin::Playlist playlist;
    playlist.tracks.push_back(Track(MakeFile("one.wav", 44), "one"));
    StartPlugin(playlist, TwoRecorders());
    EXPECT_EQ(playersContext, ActiveContext()) << "left active by the plug-in's load";

    // The About box runs on this, the player's, thread; a helper acts as the user.
    const DWORD thread = GetCurrentThreadId();
    std::thread user([&] {
        HWND about = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (about = FindAboutBox(thread)) != nullptr; }, 10000));
        EXPECT_TRUE(IsVersion6Button(GetDlgItem(about, IDOK))) << "the About box's OK";
        EXPECT_EQ(std::vector<std::string>{}, ControlsOfOtherClasses(about)) << "in the About box";
        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(1, host_->About());
    user.join();
    EXPECT_EQ(playersContext, ActiveContext()) << "left active by the About box";

    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(playersContext, ActiveContext()) << "left active by the menu command";
    for (int id : {IDC_BURN_BUTTON, IDC_EXIT_BUTTON, IDC_UNDERRUN, IDC_SIMULATE})
        EXPECT_TRUE(IsVersion6Button(GetDlgItem(dialog, id))) << "the burn dialog's button " << id;
    EXPECT_EQ(std::vector<std::string>{}, ControlsOfOtherClasses(dialog)) << "in the burn dialog";

    std::atomic<bool> resultBoxOk{false};
    boxes_->SetAnswer([&](const SeenBox& box) {
        resultBoxOk = IsVersion6Button(GetDlgItem(box.window, IDOK));
        return BoxWatcher::PressDefault(box);
    });
    EXPECT_EQ("Tolvane", BurnAndWait(dialog).caption);
    EXPECT_TRUE(resultBoxOk) << "the result box's OK";

    // What the player makes now is made with its own controls.
    HWND button = CreateWindowA("Button", "player", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(IsVersion6Button(button));
    EXPECT_EQ(static_cast<DWORD>(playersButton), GetClassLongA(button, GCW_ATOM));
    DestroyWindow(button);
}

// This program has no manifest of the plug-in's kind: no context, and nothing is activated.
TEST(PluginControls, AModuleWithoutTheManifestGivesNoContext) {
    ReleasePluginControlsContext();
    MakePluginControlsContext(GetModuleHandleA(nullptr));
    EXPECT_FALSE(UsePluginControls());
    ReleasePluginControlsContext();
}
