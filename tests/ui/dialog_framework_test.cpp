#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/plugin_module.h"
#include "ui/dialog_framework.h"

namespace {

// What reached a dialog object, in order.
struct Journal {
    std::vector<std::string> events;
    int instances = 0;
    bool initFails = false;
};

class RecordingDialog : public DialogBase {
public:
    RecordingDialog(HWND window, Journal& journal) : DialogBase(window, DialogMode::Modeless), journal_(journal) {
        ++journal_.instances;
    }
    ~RecordingDialog() override {
        --journal_.instances;
        journal_.events.push_back("destroyed");
    }
    bool OnInitDialog(HWND window) override {
        journal_.events.push_back(window == this->window() ? "init" : "init on another window");
        if (journal_.initFails) throw std::runtime_error("fault inside the initialisation");
        return true;
    }
    bool OnCommand(HWND, int id, int code, HWND) override {
        journal_.events.push_back("command " + std::to_string(id) + "/" + std::to_string(code));
        if (id == 99) throw std::runtime_error("fault inside a handler");
        if (id == IDABORT) Close(5);
        return id == IDOK;
    }
    bool OnNotify(HWND, WPARAM, LPARAM) override {
        journal_.events.push_back("notify");
        return true;
    }
    INT_PTR OnMessage(HWND, UINT message, WPARAM, LPARAM) override {
        if (message == WM_APP) {
            journal_.events.push_back("app");
            return 42;
        }
        return 0;
    }

private:
    Journal& journal_;
};

class RecordingFactory : public DialogFactory {
public:
    explicit RecordingFactory(Journal& journal, bool fails = false) : journal_(journal), fails_(fails) {}
    std::unique_ptr<DialogBase> Create(HWND window) override {
        if (fails_) return nullptr;
        return std::make_unique<RecordingDialog>(window, journal_);
    }

private:
    Journal& journal_;
    bool fails_;
};

HWND CreateModeless(int templateId, RecordingFactory& factory, HWND owner = nullptr) {
    return CreateDialogParamA(PluginModule(), MAKEINTRESOURCEA(templateId), owner, DialogProc,
                              reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
}

// Ends a message loop that would otherwise never return.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

class DialogFrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, PluginModule());
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
    }
};

TEST_F(DialogFrameworkTest, MessagesReachTheBoundObject) {
    Journal journal;
    RecordingFactory factory(journal);
    HWND dialog = CreateModeless(IDD_ABOUT, factory);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ((std::vector<std::string>{"init"}), journal.events) << "nothing reaches an object before its init";
    EXPECT_NE(0, GetWindowLongPtrA(dialog, GWLP_USERDATA));
    EXPECT_EQ(DialogOpening::Opened, factory.opening());

    EXPECT_EQ(TRUE, DialogProc(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 7), 0));
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_COMMAND, MAKEWPARAM(1234, 0), 0));
    NMHDR header{};
    EXPECT_EQ(TRUE, DialogProc(dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)));
    EXPECT_EQ(42, DialogProc(dialog, WM_APP, 0, 0));
    EXPECT_EQ(0, DialogProc(dialog, WM_APP + 1, 0, 0));
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_COMMAND, 99, 0)) << "an exception stays inside the dialog procedure";

    DestroyWindow(dialog);
    EXPECT_EQ((std::vector<std::string>{"init", "command 1/7", "command 1234/0", "notify", "app", "command 99/0",
                                        "destroyed"}),
              journal.events);
    EXPECT_EQ(0, journal.instances);
}

TEST_F(DialogFrameworkTest, NothingIsDispatchedAfterDestroy) {
    Journal journal;
    RecordingFactory factory(journal);
    HWND dialog = CreateModeless(IDD_ABOUT, factory);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_DESTROY, 0, 0));
    EXPECT_EQ(0, GetWindowLongPtrA(dialog, GWLP_USERDATA));
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_APP, 0, 0));
    DestroyWindow(dialog);  // the real WM_DESTROY finds nothing left to delete
    EXPECT_EQ((std::vector<std::string>{"init", "destroyed"}), journal.events);
    EXPECT_EQ(0, journal.instances);
}

TEST_F(DialogFrameworkTest, FactoryWithoutObjectLeavesTheDefaultHandling) {
    Journal journal;
    RecordingFactory factory(journal, true);
    HWND dialog = CreateModeless(IDD_ABOUT, factory);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, GetWindowLongPtrA(dialog, GWLP_USERDATA));
    EXPECT_EQ(DialogOpening::Failed, factory.opening()) << "its creator must destroy it";
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_COMMAND, IDOK, 0));
    EXPECT_EQ(FALSE, DialogProc(dialog, WM_APP, 0, 0));
    DestroyWindow(dialog);
    EXPECT_TRUE(journal.events.empty());
}

TEST_F(DialogFrameworkTest, ModelessCloseEndsTheLoopAndTheWindow) {
    Journal journal;
    RecordingFactory factory(journal);
    HWND dialog = CreateModeless(IDD_ABOUT, factory);
    ASSERT_NE(nullptr, dialog);
    UINT_PTR timer = SetTimer(nullptr, 0, 10000, GiveUp);
    PostMessageA(dialog, WM_COMMAND, IDABORT, 0);
    EXPECT_EQ(0, MessageLoop(dialog).Run());
    KillTimer(nullptr, timer);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(0, journal.instances);
}

// The window owns its object: whichever way the window goes, the object goes with it, once.
TEST_F(DialogFrameworkTest, EveryWayTheWindowGoesReleasesItsObjectOnce) {
    struct Way {
        const char* name;
        bool initFails;
        std::function<void(HWND dialog, HWND owner)> end;
    };
    const Way ways[] = {
        {"DestroyWindow", false, [](HWND dialog, HWND) { DestroyWindow(dialog); }},
        {"its owner destroyed", false, [](HWND, HWND owner) { DestroyWindow(owner); }},
        {"its own close", false,
         [](HWND dialog, HWND) {
             UINT_PTR timer = SetTimer(nullptr, 0, 10000, GiveUp);
             PostMessageA(dialog, WM_COMMAND, IDABORT, 0);
             MessageLoop(dialog).Run();
             KillTimer(nullptr, timer);
         }},
        {"after a fault in its initialisation", true, [](HWND dialog, HWND) { DestroyWindow(dialog); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        HWND owner = CreateWindowA("Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner);
        Journal journal;
        journal.initFails = way.initFails;
        RecordingFactory factory(journal);
        HWND dialog = CreateModeless(IDD_ABOUT, factory, owner);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(way.initFails ? DialogOpening::Failed : DialogOpening::Opened, factory.opening());
        way.end(dialog, owner);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(1, std::count(journal.events.begin(), journal.events.end(), "destroyed"));
        EXPECT_EQ(0, journal.instances);
        if (IsWindow(owner)) DestroyWindow(owner);
    }
}

TEST_F(DialogFrameworkTest, LoopReturnsTheQuitCodeOrNothingWithoutDialog) {
    EXPECT_EQ(0, MessageLoop(nullptr).Run());
    Journal journal;
    RecordingFactory factory(journal);
    HWND dialog = CreateModeless(IDD_ABOUT, factory);
    PostQuitMessage(7);
    EXPECT_EQ(7, MessageLoop(dialog).Run());
    DestroyWindow(dialog);
}

TEST_F(DialogFrameworkTest, KeysForAnotherDialogContainerGetItsKeyboardHandling) {
    Journal outerJournal, innerJournal;
    RecordingFactory outerFactory(outerJournal), innerFactory(innerJournal);
    HWND outer = CreateModeless(IDD_ABOUT, outerFactory);
    HWND inner = CreateModeless(IDD_BURN, innerFactory);
    ASSERT_NE(nullptr, outer);
    ASSERT_NE(nullptr, inner);
    HWND field = GetDlgItem(inner, IDC_GAP);
    ASSERT_NE(nullptr, field);

    // Escape in an edit field: the container's dialog handling turns it into its IDCANCEL.
    PostMessageA(field, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostQuitMessage(0);
    EXPECT_EQ(0, MessageLoop(outer).Run());
    EXPECT_EQ((std::vector<std::string>{"init", "command 2/0"}), innerJournal.events);
    EXPECT_EQ((std::vector<std::string>{"init"}), outerJournal.events);
    DestroyWindow(inner);
    DestroyWindow(outer);
}

HWND MakeButton() {
    return CreateWindowA("Button", "x", WS_POPUP | BS_PUSHBUTTON | BS_BITMAP, 0, 0, 80, 30, nullptr, nullptr,
                         nullptr, nullptr);
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

TEST_F(DialogFrameworkTest, ButtonBitmapsAreShownAndTheReplacedOnesReleased) {
    HWND button = MakeButton();
    ASSERT_NE(nullptr, button);
    auto shown = [&] { return reinterpret_cast<HBITMAP>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0)); };

    SetButtonBitmap(button, IDB_BURN_BUTTON);
    HBITMAP burn = shown();
    ASSERT_NE(nullptr, burn);
    EXPECT_EQ(47, BitmapSize(burn).cx);
    EXPECT_EQ(22, BitmapSize(burn).cy);

    SetButtonBitmap(button, IDB_EXIT_BUTTON);
    HBITMAP exitFace = shown();
    EXPECT_EQ(42, BitmapSize(exitFace).cx);
    EXPECT_EQ(0u, GetObjectType(burn)) << "the bitmap handed back by the button is released";

    ReleaseButtonBitmap(button);
    EXPECT_EQ(nullptr, shown());
    EXPECT_EQ(0u, GetObjectType(exitFace));
    DestroyWindow(button);
}

TEST_F(DialogFrameworkTest, ButtonFaceBackgroundTakesTheSystemButtonColour) {
    HWND button = MakeButton();
    SetButtonBitmap(button, IDB_CANCEL_BUTTON);
    auto face = reinterpret_cast<HBITMAP>(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(nullptr, face);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, face);
    EXPECT_EQ(GetSysColor(COLOR_3DFACE), GetPixel(dc, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_3DFACE), GetPixel(dc, 51, 19));
    SelectObject(dc, previous);
    DeleteDC(dc);
    ReleaseButtonBitmap(button);
    DestroyWindow(button);
}

TEST_F(DialogFrameworkTest, WindowTextReadsTheWholeText) {
    HWND edit = CreateWindowA("Edit", "", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 80, 30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ("", WindowText(edit));
    const std::string labels[] = {"E: HL-DT-ST DVDRAM GSA-4163B", std::string(1000, 'w')};
    for (const std::string& label : labels) {
        SetWindowTextA(edit, label.c_str());
        EXPECT_EQ(label, WindowText(edit));
    }
    DestroyWindow(edit);
    EXPECT_EQ("", WindowText(nullptr));
}

}  // namespace
