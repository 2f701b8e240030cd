#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_runtime.h"
#include "plugin/lifecycle.h"
#include "standin_host.h"
#include "automation/box_watcher.h"
#include "support/leak_measures.h"
#include "support/registry_fixture.h"
#include "support/test_paths.h"

namespace {

const char* const kSettingsKey = "Software\\Outwell\\Tolvane";
const char* const kGuard = "NeroFuckedUpAgain";
const char* const kReloadQuestion =
    "It looks like the NERO plugin did not close properly.\nDo you want to try and load it again ?";

std::string Dword(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Threads started since `before`, opened so their end can be awaited.
std::vector<UniqueThreadHandle> NewThreads(const std::set<DWORD>& before) {
    std::vector<UniqueThreadHandle> threads;
    for (DWORD id : ThreadsOfThisProcess()) {
        if (before.count(id) == 0) threads.emplace_back(OpenThread(SYNCHRONIZE, FALSE, id));
    }
    return threads;
}

bool AllEnded(const std::vector<UniqueThreadHandle>& threads, DWORD timeoutMs) {
    for (const UniqueThreadHandle& thread : threads) {
        if (thread && WaitForSingleObject(thread.get(), timeoutMs) != WAIT_OBJECT_0) return false;
    }
    return true;
}

struct OwnedBoxSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<OwnedBoxSearch*>(param);
    SeenBox box;
    if (ReadMessageBox(window, box) && box.owner == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND BoxOwnedBy(HWND owner) {
    OwnedBoxSearch search{owner, nullptr};
    EnumWindows(FindOwnedBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends the test program with a message if a step hangs, instead of blocking the whole run.
class HangGuard {
public:
    HangGuard(const char* what, DWORD timeoutMs)
        : what_(what), timeoutMs_(timeoutMs), done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] {
            if (WaitForSingleObject(done_.get(), timeoutMs_) == WAIT_OBJECT_0) return;
            std::printf("HANG: %s did not return within %lu ms\n", what_, timeoutMs_);
            std::fflush(stdout);
            ExitProcess(1);
        });
    }
    ~HangGuard() {
        SetEvent(done_.get());
        thread_.join();
    }

private:
    const char* what_;
    DWORD timeoutMs_;
    UniqueEvent done_;
    std::thread thread_;
};

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hive.active()) << "cannot redirect the current user's hive"; }

    static std::string PluginPath() { return BinDir() + "\\Tolvane.dll"; }
    void MarkUncleanEnd() { ASSERT_TRUE(SetRawValue(hive.key(), kSettingsKey, kGuard, REG_DWORD, Dword(1))); }
    RawValue Guard() const { return QueryRawValue(hive.key(), kSettingsKey, kGuard); }

    void ExpectHostSlotsFilled(standin::Host& host) {
        EXPECT_EQ(host.record().interfaceVersion, 250);
        EXPECT_NE(host.record().shutdown, nullptr);
        EXPECT_NE(host.record().about, nullptr);
        EXPECT_EQ(host.record().configure, nullptr);
        EXPECT_TRUE(host.PlayerSlotsIntact());
        EXPECT_EQ(host.Description(), "Tolvane Version 1.1.0 Build 594");
    }

    ScopedUserHive hive{"lifecycle"};
};

TEST_F(LifecycleTest, CleanRunSubclassesRunsTheWorkerAndTearsDownInOrder) {
    BoxWatcher boxes;
    {
        standin::Host host;
        ASSERT_TRUE(host.Load(PluginPath())) << host.error();
        const std::set<DWORD> before = ThreadsOfThisProcess();
        ASSERT_EQ(host.CallModule(), 1);
        std::vector<UniqueThreadHandle> worker = NewThreads(before);
        EXPECT_EQ(worker.size(), 1u) << "one worker thread";

        ExpectHostSlotsFilled(host);
        EXPECT_EQ(Guard().bytes, Dword(1));
        EXPECT_EQ(Guard().type, static_cast<DWORD>(REG_DWORD));
        ASSERT_FALSE(host.Calls().empty());
        EXPECT_EQ(host.Calls().front().op, 1) << "the player's main window is asked for";
        EXPECT_NE(host.CurrentWindowProc(), standin::Host::OwnWindowProc()) << "the main window is subclassed";

        host.SendCommand(40001);
        ASSERT_EQ(host.Messages().size(), 1u) << "commands still reach the player's own procedure";
        EXPECT_EQ(host.Messages()[0].wParam, 40001u);

        host.Shutdown();
        EXPECT_EQ(host.CurrentWindowProc(), standin::Host::OwnWindowProc()) << "window procedure restored";
        EXPECT_EQ(Guard().bytes, Dword(0));
        EXPECT_TRUE(AllEnded(worker, 0)) << "shutdown returns once the worker has ended, not before";
        MSG posted;
        EXPECT_FALSE(PeekMessageA(&posted, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            << "no dialog was opened, so nothing is posted";
        EXPECT_EQ(host.Messages().size(), 1u);
        EXPECT_TRUE(host.Unload());
    }
    EXPECT_EQ(boxes.Count(), 0u) << "no question at load, no notice at unload after an orderly shutdown";

    standin::Host next;
    ASSERT_TRUE(next.Load(PluginPath()));
    EXPECT_EQ(next.CallModule(), 1);
    next.Shutdown();
    EXPECT_TRUE(next.Unload());
    EXPECT_EQ(boxes.Count(), 0u) << "the next load asks nothing";
}

TEST_F(LifecycleTest, AfterAnUncleanEndNoRefusesTheLoad) {
    MarkUncleanEnd();
    BoxWatcher boxes([](const SeenBox&) { return IDNO; });
    standin::Host host;
    ASSERT_TRUE(host.Load(PluginPath())) << host.error();
    const std::set<DWORD> before = ThreadsOfThisProcess();
    EXPECT_EQ(host.CallModule(), 0);

    ASSERT_EQ(boxes.Count(), 1u);
    const SeenBox box = boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Tolvane");
    EXPECT_EQ(box.text, kReloadQuestion);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.icon, "question");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));

    EXPECT_EQ(Guard().bytes, Dword(1)) << "a refused load leaves the mark, so the question comes again";
    ExpectHostSlotsFilled(host);
    EXPECT_TRUE(host.Calls().empty()) << "nothing is asked of the player after a refusal";
    EXPECT_EQ(host.CurrentWindowProc(), standin::Host::OwnWindowProc());
    EXPECT_TRUE(NewThreads(before).empty()) << "no worker after a refusal";
    EXPECT_TRUE(host.Unload());
}

TEST_F(LifecycleTest, AfterAnUncleanEndYesLoadsNormally) {
    MarkUncleanEnd();
    BoxWatcher boxes([](const SeenBox&) { return IDYES; });
    standin::Host host;
    ASSERT_TRUE(host.Load(PluginPath())) << host.error();
    EXPECT_EQ(host.CallModule(), 1);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(Guard().bytes, Dword(1));
    EXPECT_NE(host.CurrentWindowProc(), standin::Host::OwnWindowProc());
    host.Shutdown();
    EXPECT_EQ(Guard().bytes, Dword(0));
    EXPECT_TRUE(host.Unload());
    EXPECT_EQ(boxes.Count(), 1u);
}

// A box that the worker shows over the player's window needs the player's thread to answer
// the messages it sends there; shutdown waits for the worker on that very thread.
TEST_F(LifecycleTest, ShutdownAnswersTheWorkersBoxAndLetsNoPendingRequestThrough) {
    std::atomic<bool> shuttingDown{false};
    BoxWatcher boxes([&](const SeenBox&) { return shuttingDown ? IDOK : 0; });
    standin::Host host;  // empty playlist: a burn command answers with a box over the player
    ASSERT_TRUE(host.Load(PluginPath())) << host.error();
    ASSERT_EQ(host.CallModule(), 1);

    host.SendCommand(8001);
    ASSERT_TRUE(host.PumpUntil([&] { return BoxOwnedBy(host.mainWindow()) != nullptr; }, 30000))
        << "the worker shows its box over the player's window";
    host.SendCommand(8000);  // a second request, pending while the box is open

    shuttingDown = true;
    {
        HangGuard guard("PluginShutdown with a box open over the player's window", 60000);
        host.Shutdown();
    }
    EXPECT_EQ(Guard().bytes, Dword(0));
    EXPECT_TRUE(host.Unload());
    ASSERT_EQ(boxes.Count(), 1u) << "the pending request must not open anything once shutdown has begun";
    const SeenBox box = boxes.Seen()[0];
    EXPECT_EQ(box.caption, "Tolvane");
    EXPECT_EQ(box.text, "Select some tracks first !");
    EXPECT_EQ(box.owner, host.mainWindow());
}

// Another plug-in that subclasses the player's window after ours, forwarding as it should.
WNDPROC laterSubclassPrevious = nullptr;
std::vector<WPARAM> laterSubclassCommands;

LRESULT CALLBACK LaterSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) laterSubclassCommands.push_back(wParam);
    return CallWindowProcA(laterSubclassPrevious, window, message, wParam, lParam);
}

TEST_F(LifecycleTest, ShutdownUnderALaterSubclassKeepsTheChainWholeAndTheModuleLoaded) {
    // A copy under its own name: it stays loaded for the rest of this process.
    const std::string copy = MakeTempDir("pinned") + "\\TolvanePinned.dll";
    ASSERT_TRUE(CopyFileA(PluginPath().c_str(), copy.c_str(), FALSE));
    standin::Host host;
    ASSERT_TRUE(host.Load(copy)) << host.error();
    ASSERT_EQ(host.CallModule(), 1);
    HWND window = host.mainWindow();
    laterSubclassPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterSubclassProc)));

    host.Shutdown();
    EXPECT_EQ(host.CurrentWindowProc(), LaterSubclassProc) << "the later subclass stays installed";
    EXPECT_FALSE(host.Unload(0)) << "the procedure the later subclass forwards to must stay";
    EXPECT_NE(GetModuleHandleA(copy.c_str()), nullptr);

    // Messages go through both procedures to the player's own; the plug-in only forwards them.
    host.SendCommand(40001);
    host.SendCommand(8000);
    const std::vector<standin::MenuItem> shown = host.OpenPopupMenu(
        {standin::MenuItem::Command(40400, "&Open File..."), standin::MenuItem::Command(40003, "E&xit")});
    EXPECT_EQ(laterSubclassCommands, (std::vector<WPARAM>{40001, 8000}));
    ASSERT_EQ(host.Messages().size(), 3u);
    EXPECT_EQ(host.Messages()[0].wParam, 40001u);
    EXPECT_EQ(host.Messages()[1].wParam, 8000u);
    EXPECT_EQ(host.Messages()[2].message, static_cast<UINT>(WM_INITMENUPOPUP));
    EXPECT_EQ(shown.size(), 2u) << "no \"Nero\" sub-menu once shut down: " << standin::DescribeMenu(shown);

    // The later plug-in leaves as it came.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(laterSubclassPrevious));
}

TEST(ModuleDescription, WithoutVersionResourceBothPartsAreUnknown) {
    // The test program itself carries no version resource.
    EXPECT_EQ(BuildModuleDescription(GetModuleHandleA(nullptr)), "Unknown Version Unknown Version");
}

}  // namespace

namespace {

// What each of several threads sees of its own exceptions while the others throw too.
struct Unwinding {
    int& seen;
    ~Unwinding() { seen = std::uncaught_exceptions(); }
};

bool ThrowsAndCatchesAlone(bool prepareFirst, bool releaseBetween) {
    if (prepareFirst && !PrepareThreadRuntime()) return false;
    for (int round = 0; round < 200; ++round) {
        int inFlight = -1;
        try {
            Unwinding unwinding{inFlight};
            throw round;
        } catch (int caught) {
            if (caught != round || inFlight != 1 || std::uncaught_exceptions() != 0) return false;
        }
        if (releaseBetween) ReleaseThreadRuntime();
    }
    ReleaseThreadRuntime();
    return true;
}

}  // namespace

// The plug-in keeps the runtime's per-thread exception state itself: each thread its own, made
// up front or at the first exception, and made again after it was given back.
TEST(ThreadRuntime, EachThreadKeepsItsOwnExceptionState) {
    const struct {
        bool prepareFirst;
        bool releaseBetween;
    } kinds[] = {{true, false}, {false, false}, {true, true}, {false, true}};
    std::atomic<int> sound{0};
    std::vector<std::thread> threads;
    for (int copy = 0; copy < 2; ++copy) {
        for (const auto& kind : kinds) {
            threads.emplace_back([&sound, kind] { sound += ThrowsAndCatchesAlone(kind.prepareFirst, kind.releaseBetween); });
        }
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(8, sound.load());
}
