#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "base/handles.h"
#include "automation/box_watcher.h"
#include "support/registry_fixture.h"
#include "support/test_paths.h"

namespace {

const char* const kCrashNotice =
    "Sorry, the NERO Plugin has caused QCD to crash.\nThis is a problem with the Nero Software, not of this "
    "plugin.\nYou may be able to use the NERO Plugin after rebooting.";

// The notice comes while the process ends: every other thread of it is gone by then, so only
// another process can see and answer the box. The orderly counterpart is in lifecycle_test.
TEST(CrashNotice, PlayerEndingWithoutShutdownShowsTheErrorBoxAtUnload) {
    const std::string hiveKey = std::string(kTestKeyRoot) + "\\crash-" + std::to_string(GetCurrentProcessId());
    DeleteKeyTree(HKEY_CURRENT_USER, hiveKey);

    std::atomic<DWORD> player{0};
    BoxWatcher boxes([&](const SeenBox& box) { return box.processId == player ? IDOK : 0; }, 0);

    std::string command = "\"" + BinDir() + "\\standin-player.exe\" --user-hive \"" + hiveKey + "\" \"" + BinDir() +
                          "\\Tolvane.dll\" - wait 3000 exit-without-shutdown";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        << command;
    UniqueProcessHandle processHandle(process.hProcess);
    UniqueThreadHandle threadHandle(process.hThread);
    player = process.dwProcessId;

    ASSERT_EQ(WaitForSingleObject(processHandle.get(), 300000), WAIT_OBJECT_0) << "the player did not end";
    ASSERT_EQ(boxes.Count(), 1u);
    const SeenBox box = boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, kCrashNotice);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});

    RawValue guard = QueryRawValue(HKEY_CURRENT_USER, hiveKey + "\\Software\\Outwell\\Tolvane", "NeroFuckedUpAgain");
    EXPECT_EQ(guard.bytes, std::string("\x01\0\0\0", 4)) << "the unclean end stays marked for the next load";
    DeleteKeyTree(HKEY_CURRENT_USER, hiveKey);
}

// An error of the player's own (a bad action, an action without its argument, one that fails)
// still ends it in order: shutdown and unload, no notice, the crash guard cleared.
TEST(CrashNotice, PlayerEndingOnAnErrorOfItsOwnShutsThePlugInDownFirst) {
    for (const char* actions : {"bogus", "wait", "close-dialog"}) {
        SCOPED_TRACE(actions);
        const std::string hiveKey = std::string(kTestKeyRoot) + "\\error-" + std::to_string(GetCurrentProcessId());
        DeleteKeyTree(HKEY_CURRENT_USER, hiveKey);
        std::atomic<DWORD> player{0};
        BoxWatcher boxes([&](const SeenBox& box) { return box.processId == player ? IDOK : 0; }, 0);
        std::string command = "\"" + BinDir() + "\\standin-player.exe\" --user-hive \"" + hiveKey + "\" \"" +
                              BinDir() + "\\Tolvane.dll\" - " + actions;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process))
            << command;
        UniqueProcessHandle processHandle(process.hProcess);
        UniqueThreadHandle threadHandle(process.hThread);
        player = process.dwProcessId;
        ASSERT_EQ(WaitForSingleObject(processHandle.get(), 300000), WAIT_OBJECT_0) << "the player did not end";
        DWORD status = 0;
        GetExitCodeProcess(processHandle.get(), &status);
        EXPECT_EQ(status, 2u);
        EXPECT_EQ(boxes.Count(), 0u) << boxes.Seen()[0].text;
        RawValue guard =
            QueryRawValue(HKEY_CURRENT_USER, hiveKey + "\\Software\\Outwell\\Tolvane", "NeroFuckedUpAgain");
        EXPECT_EQ(guard.bytes, std::string(4, '\0')) << "shut down and unloaded in order";
        DeleteKeyTree(HKEY_CURRENT_USER, hiveKey);
    }
}

}  // namespace
