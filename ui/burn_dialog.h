#pragma once
// The plug-in's working window: recorder, disc type, gap and options, the summary of the
// tracks to burn, and the progress of a running burn. Modeless, on the plug-in's worker thread.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "ui/dialog_framework.h"

class BurnDialog : public DialogBase {
public:
    BurnDialog(HWND window, LPARAM creationParameter, bool modal);
    ~BurnDialog() override;

    bool OnCommand(HWND window, int id, int code, HWND control) override;
    bool OnNotify(HWND window, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog(HWND window) override;

    // The Burn command: limits and saves the gap, then starts the burn thread.
    void StartBurn();
    // Fills the drive box with the recorders and selects the last one used.
    void FillDriveBox();

    HWND driveBox() const { return driveBox_; }
    HWND typeBox() const { return typeBox_; }
    int32_t gap() const { return gap_; }

    // True while a burn runs. Raised before the burn thread starts, lowered by the burn
    // thread as its very last use of this object.
    std::atomic<bool> busy{false};

private:
    bool QueryDrives(HWND window);
    void NoticeOldEngine(HWND window);
    void RestoreSettings(HWND window);
    void RegisterEngineWindows(HWND window);
    void ShowSummary(HWND window);
    void OnExit(HWND window);
    void SaveSelection(HWND window);
    void SaveCheckBoxes(HWND window);
    void ReleaseButtonBitmaps(HWND window);

    HWND driveBox_;
    HWND typeBox_;
    int32_t gap_ = 0;
};

class BurnDialogFactory : public DialogFactory {
public:
    BurnDialogFactory() : DialogFactory(0, false) {}
    DialogBase* Create(HWND window) override;
};

// The summary of what will be burned, as the status box shows it before a burn.
struct BurnSummary {
    int32_t tracks = 0;
    int32_t seconds = 0;
    // Whole file sizes: a 32-bit sum would wrap at 4 GiB.
    uint64_t bytes = 0;
    std::string titles;
};
BurnSummary CollectBurnSummary(bool wholePlaylist);
std::string FormatBurnSummary(const BurnSummary& summary);

// Limits the gap field's text to a whole number of seconds from 0 to 5.
int32_t ClampGapSeconds(const char* text);
