#pragma once
// The built plug-in in long use, one run each: many burns from one burn dialog, many openings of
// a player pop-up menu, many load-to-unload cycles in one process. The tests run them with small
// counts and assert; the soak program runs them with large counts and prints the figures.
//
// Each run reads the counters of leak_measures.h at the end of every round, in the same state
// (no dialog open, logs of the stand-ins emptied): the first round warms caches, classes and
// fonts, so its reading is the baseline that every later one is held to.

#include <map>
#include <string>
#include <vector>

#include "support/engine_standin.h"
#include "support/leak_measures.h"

// The stand-in engine's scenario of every run: one recorder, "D: PLEXTOR PX-W4824A".
EngineScenario OneRecorder();

struct LongUseReport {
    Counts baseline;
    Counts end;
    Counts highest;  // per counter, over every reading from the baseline on
    int rounds = 0;
    // Images the burn dialog has handed its two buttons: one each at every opening, the Exit
    // button's two faces at every burn. Each may leave a copy with the system (see long_use.cpp).
    long buttonImages = 0;
    // Whatever went wrong besides growth: a box the user should not have seen, a dialog that did
    // not open, a ledger report, ...
    std::vector<std::string> faults;
    // Empty when there are no faults and neither the highest nor the last reading is beyond the
    // bounds; otherwise every fault and every excess, one a line.
    std::string Check(const Bounds& bounds) const;
};

// What the long runs are held to, beyond the baseline: 4 kernel handles, 6 GDI objects (Wine's
// window painting alone moves regions and device contexts by up to 5), 1 menu, 2 USER objects,
// no thread, 256 KiB of private memory.
Bounds LongUseBounds();
// The same with 64 KiB of private memory, one step of the heap's growth, for the menu runs: an
// opening costs no page, so 900 openings after the baseline that each lose a block of 128 bytes
// exceed it (measured: +128 KiB), where those runs grow by nothing.
Bounds MenuRunBounds();

struct BurnRunReport : LongUseReport {
    int burns = 0;
    std::map<std::string, int> outcomes;  // kind of burn -> how many
    // From the stand-in engine's log: blocks (drive lists, error texts, ISO items and tracks, ...)
    // and device handles given to the plug-in and given back.
    long blocksHandedOut = 0;
    long blocksReleased = 0;
    long devicesOpened = 0;
    long devicesClosed = 0;
    long ledgerReports = 0;  // leaks, double, unknown and wrong releases
};

// One plug-in instance, `burns` burns from the burn dialog, closed and opened again every
// `reopenEvery` burns; audio and data discs in turn with successes, engine failures, aborted
// burns and recorders that fail to open.
BurnRunReport RunBurns(int burns, int reopenEvery);

struct MenuRunReport : LongUseReport {
    int openings = 0;
    int neroItemsInKeptMenu = 0;  // the player that keeps its menu: "Nero" items it holds at the end
};

// One plug-in instance, `openings` openings of the player's main pop-up menu, `perRound` a
// round. The player either builds the menu anew and destroys it after each use, or builds it
// once, keeps it and opens that same menu every time.
MenuRunReport RunMenuOpenings(int openings, bool playerDestroysMenus, int perRound);

// `cycles` times in one process: LoadLibrary, QGeneralModule, the burn dialog opened and
// closed, shutdown, FreeLibrary. After each: no thread of the plug-in left once shutdown has
// returned, the crash-guard value 0, the plug-in and the engine library unloaded at once.
LongUseReport RunLoadCycles(int cycles);
