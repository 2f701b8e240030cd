// The leak measures, each shown to catch a deliberate leak of its kind, and the built plug-in in
// long use held to the bounds of support/long_use.h (the soak program runs the same with larger
// counts and prints the figures).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/long_use.h"

namespace {

struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DestroyWindow(h); }
};

DWORD WINAPI WaitForRelease(LPVOID event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

// What a careless plug-in would leave behind, held here so the test can give it back.
class DeliberateLeaks {
public:
    ~DeliberateLeaks() {
        SetEvent(release_.get());
        for (const UniqueThreadHandle& thread : threads_) WaitForSingleObject(thread.get(), INFINITE);
    }
    void Handles(long n) {
        for (long i = 0; i < n; ++i) events_.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    }
    void GdiObjects(long n) {
        for (long i = 0; i < n; ++i) brushes_.emplace_back(CreateSolidBrush(RGB(i, 0, 0)));
    }
    void Menus(long n) {
        for (long i = 0; i < n; ++i) menus_.emplace_back(CreatePopupMenu());
    }
    void Windows(long n) {
        for (long i = 0; i < n; ++i)
            windows_.emplace_back(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    }
    void Threads(long n) {
        for (long i = 0; i < n; ++i)
            threads_.emplace_back(CreateThread(nullptr, 0, WaitForRelease, release_.get(), 0, nullptr));
    }
    void MemoryKiB(long kib) {
        for (long i = 0; i < kib / 1024; ++i) blocks_.emplace_back(std::calloc(1, 1 << 20));
    }

private:
    std::vector<UniqueEvent> events_;
    std::vector<UniqueHandle<GdiObjectTraits<HBRUSH>>> brushes_;
    std::vector<UniqueMenu> menus_;
    std::vector<UniqueHandle<WindowTraits>> windows_;
    UniqueEvent release_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::vector<UniqueThreadHandle> threads_;
    std::vector<UniqueHeapBlock> blocks_;
};

bool Mentions(const std::string& faults, Counter counter) { return faults.find(CounterName(counter)) != std::string::npos; }

TEST(LeakMeasures, EachCatchesADeliberateLeakOfItsKindAndFailsWhenItReadsZero) {
    const struct {
        Counter counter;
        long leaked;
        void (DeliberateLeaks::*leak)(long);
    } cases[] = {
        {kKernelHandles, 20, &DeliberateLeaks::Handles}, {kGdiObjects, 20, &DeliberateLeaks::GdiObjects},
        {kMenus, 20, &DeliberateLeaks::Menus},           {kUserObjects, 20, &DeliberateLeaks::Windows},
        {kThreads, 3, &DeliberateLeaks::Threads},        {kPrivateKiB, 4096, &DeliberateLeaks::MemoryKiB},
    };
    const Bounds bounds = LongUseBounds();
    Bounds anything;
    for (long& most : anything.most) most = 1L << 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(CounterName(c.counter));
        const Counts before = ReadCounts();
        {
            DeliberateLeaks leaks;
            (leaks.*c.leak)(c.leaked);
            const Counts leaking = ReadCounts();
            EXPECT_GE(leaking.value[c.counter] - before.value[c.counter], c.leaked) << DescribeGrowth(before, leaking);
            EXPECT_TRUE(Mentions(CheckFlat(before, leaking, bounds), c.counter)) << DescribeGrowth(before, leaking);
        }
        const Counts after = ReadCounts();
        EXPECT_LE(after.value[c.counter] - before.value[c.counter], bounds.most[c.counter]) << "given back, so flat again";

        Counts zero = after;
        zero.value[c.counter] = 0;
        EXPECT_TRUE(Mentions(CheckFlat(before, zero, anything), c.counter)) << "a reading of 0 proves nothing";
        EXPECT_TRUE(Mentions(CheckFlat(zero, after, anything), c.counter)) << "a reading of 0 proves nothing";
    }
}

TEST(LongUse, BurnsFromOneDialogStayFlatAndTheEngineGetsEveryBlockBack) {
    // Readings at ten openings after the first eight burns: one object lost per opening would
    // exceed every bound.
    const BurnRunReport report = RunBurns(48, 4);
    EXPECT_EQ(report.burns, 48);
    EXPECT_EQ(report.outcomes.size(), 8u) << "every kind of burn";
    EXPECT_EQ(report.Check(LongUseBounds()), "") << DescribeGrowth(report.baseline, report.highest);
    EXPECT_GT(report.blocksHandedOut, 0);
    EXPECT_GT(report.devicesOpened, 0);
}

TEST(LongUse, MenuOpeningsStayFlatWithAPlayerThatKeepsItsMenuAndOneThatDestroysIt) {
    // Readings every 100 openings after the first 100: a menu or a 128-byte block lost per
    // opening would exceed the bounds.
    for (bool playerDestroysMenus : {true, false}) {
        SCOPED_TRACE(playerDestroysMenus ? "destroyed after use" : "kept and opened again");
        const MenuRunReport report = RunMenuOpenings(1000, playerDestroysMenus, 100);
        EXPECT_EQ(report.openings, 1000);
        if (!playerDestroysMenus) {
            EXPECT_EQ(report.neroItemsInKeptMenu, 1) << "one \"Nero\" item however often";
        }
        EXPECT_EQ(report.Check(MenuRunBounds()), "") << DescribeGrowth(report.baseline, report.highest);
    }
}

TEST(LongUse, LoadCyclesLeaveNoThreadNoModuleAndNoGrowth) {
    // Nineteen cycles after the first: one object or 16 KiB lost per cycle would exceed the bounds.
    const LongUseReport report = RunLoadCycles(20);
    EXPECT_EQ(report.rounds, 20);
    EXPECT_EQ(report.Check(LongUseBounds()), "") << DescribeGrowth(report.baseline, report.highest);
}

}  // namespace
