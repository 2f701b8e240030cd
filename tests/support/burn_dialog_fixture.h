#pragma once
// A whole plug-in run for burn dialog tests: the stand-in player hosting the built Tolvane.dll,
// the stand-in engine with a scenario, a private registry hive and a box watcher.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "standin_host.h"
#include "automation/box_watcher.h"
#include "automation/burn_dialog_driver.h"
#include "support/engine_standin.h"
#include "support/registry_fixture.h"

class BurnDialogFixture : public ::testing::Test {
public:
    static standin::Track Track(const std::string& file, const std::string& title, int seconds = 60,
                                bool selected = true);

protected:
    void SetUp() override;
    void TearDown() override;

    // Two recorders, "D: PLEXTOR PX-W4824A" and "E: _NEC DVD_RW ND-3520A" as the drive box shows them.
    static EngineScenario TwoRecorders();

    // A file of that size in the test's folder (sparse, so sizes above 4 GiB cost nothing).
    std::string MakeFile(const std::string& name, unsigned long long size) const;

    void StartPlugin(const standin::Playlist& playlist, const EngineScenario& scenario);
    HWND OpenDialog(UINT command = 8000);
    // Exit while idle; true when the dialog is gone.
    bool CloseDialog(HWND dialog);
    void StopPlugin();

    // Waits, answering what other threads send to the player's window, until that many boxes
    // have been answered.
    bool WaitForBoxes(size_t count, DWORD timeoutMs = 30000);
    // Clicks Burn and waits for the result box and for the dialog to be idle again.
    SeenBox BurnAndWait(HWND dialog);

    std::string ReadSetting(const char* name) const;
    DWORD ReadSettingNumber(const char* name) const;
    bool HasSetting(const char* name) const;
    void WriteSetting(const char* name, const std::string& text) const;

    std::unique_ptr<ScopedUserHive> hive_;
    std::unique_ptr<EngineStandin> engine_;
    std::unique_ptr<standin::Host> host_;
    std::unique_ptr<BoxWatcher> boxes_;
    std::string folder_;
    bool preloaded_ = false;
};

constexpr const char* kSettingsKey = "Software\\Outwell\\Tolvane";
