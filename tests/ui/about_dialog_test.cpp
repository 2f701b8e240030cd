#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "resources/resource.h"
#include "automation/burn_dialog_driver.h"
#include "support/plugin_module.h"
#include "ui/about_dialog.h"

namespace {

std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND WaitForAbout(DWORD thread) {
    HWND about = nullptr;
    PumpUntil([&] { return (about = FindAboutBox(thread)) != nullptr; }, 10000);
    return about;
}

// Last resort, so a failing case does not hang the run.
void EndDialogFromOutside(HWND about) { PostMessageA(about, WM_COMMAND, IDCANCEL, 0); }

// Runs the About box on this thread while another thread looks at it and acts as the user.
INT_PTR RunAbout(HWND owner, const char* line1, const char* line2, const char* line3,
                 const std::function<void(HWND)>& user) {
    DWORD thread = GetCurrentThreadId();
    std::thread helper([&] {
        HWND about = WaitForAbout(thread);
        if (about == nullptr) {
            ADD_FAILURE() << "the About box did not appear";
            return;
        }
        user(about);
        if (!PumpUntil([&] { return !IsWindow(about); }, 5000)) {
            ADD_FAILURE() << "the About box stayed open";
            EndDialogFromOutside(about);
        }
    });
    INT_PTR result = ShowAbout(PluginModule(), owner, line1, line2, line3);
    helper.join();
    return result;
}

TEST(AboutBox, ShowsTheLinesAndTheLink) {
    HWND owner = CreateWindowA("Static", "player", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    INT_PTR result = RunAbout(owner, "Tolvane Version 1.1.0 Build 594", nullptr, "third", [&](HWND about) {
        EXPECT_EQ(owner, GetWindow(about, GW_OWNER));
        EXPECT_EQ("Tolvane Version 1.1.0 Build 594", Text(GetDlgItem(about, IDC_ABOUT_LINE1)));
        EXPECT_EQ("", Text(GetDlgItem(about, IDC_ABOUT_LINE2)));
        EXPECT_EQ("third", Text(GetDlgItem(about, IDC_ABOUT_LINE3)));
        EXPECT_EQ("OK", Text(GetDlgItem(about, IDOK)));
        HWND link = GetDlgItem(about, IDC_ABOUT_LINK);
        EXPECT_EQ("Visit the Marlpit website.", Text(link));

        HDC dc = CreateCompatibleDC(nullptr);
        auto colour = [&](HWND control) {
            return SendMessageA(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control));
        };
        HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
        EXPECT_NE(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), colour(GetDlgItem(about, IDC_ABOUT_LINE1)));
        EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), colour(link));
        EXPECT_EQ(0x00FF0000u, GetTextColor(dc)) << "the link is drawn in blue";
        LOGFONTA drawn{};
        GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof drawn, &drawn);
        EXPECT_EQ(1, drawn.lfUnderline);
        SelectObject(dc, font);
        DeleteDC(dc);

        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(1, result) << "OK";
    DestroyWindow(owner);
}

TEST(AboutBox, ResultsOfTheWaysToCloseIt) {
    struct Case {
        const char* what;
        std::function<void(HWND)> act;
        INT_PTR expected;
    };
    const Case cases[] = {
        {"OK button", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); }, 1},
        {"Enter (OK is the default button)",
         [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_RETURN, 0x001C0001); }, 1},
        {"Escape", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001); }, 0},
        {"close button", [](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); }, 0},
        {"WM_CLOSE", [](HWND about) { PostMessageA(about, WM_CLOSE, 0, 0); }, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, RunAbout(nullptr, "line", "", "", c.act)) << c.what;
}

}  // namespace
