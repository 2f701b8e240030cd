#pragma once
// The plug-in's working window: recorder, disc type, gap and options, the summary of the
// tracks to burn, and the progress of a running burn. Modeless, on the plug-in's worker thread.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/handles.h"
#include "ui/dialog_framework.h"

// Sent by the burn thread to the dialog once the user has dismissed the result box: the burn
// thread's last word to the dialog. The dialog's thread then lowers `busy` and restores the idle
// look in one handler, so the dialog never shows idle while it still acts busy, or the reverse.
constexpr UINT kBurnEndedMessage = WM_APP + 1;
// Sent by the burn thread once the engine is done, before it shows the outcome: a cancel question
// still open is withdrawn as No, and an Exit from then on has nothing left to cancel.
constexpr UINT kBurnOverMessage = WM_APP + 2;

class BurnDialog : public DialogBase {
public:
    // `wholePlaylist`: which tracks this dialog burns, fixed when it opens, so the summary it
    // shows is what a burn from it takes even if the user picks the other command meanwhile.
    BurnDialog(HWND window, bool wholePlaylist);
    ~BurnDialog() override;

    bool OnCommand(HWND window, int id, int code, HWND control) override;
    INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog(HWND window) override;
    void OnDestroy(HWND window) override;

    // The Burn command: limits and saves the gap, then starts the burn thread.
    void StartBurn();
    // Fills the drive box with the recorders and selects the last one used.
    void FillDriveBox();

    HWND driveBox() const { return driveBox_; }
    HWND typeBox() const { return typeBox_; }
    int32_t gap() const { return gap_; }
    bool wholePlaylist() const { return wholePlaylist_; }

    // True from the Burn command until the burn thread has reported its end. Written only on
    // the dialog's thread, in the same handlers that change the look showing it; atomic so any
    // other thread that looks at it sees the latest write.
    std::atomic<bool> busy{false};
    static_assert(std::atomic<bool>::is_always_lock_free, "busy must stay a plain lock-free byte");

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
    bool LoadButtonFaces();
    void ShowBusyLook(HWND window);
    void ShowIdleLook(HWND window);
    void OnBurnOver();
    void OnBurnEnded(HWND window);
    int AskToCancel(HWND window);
    static LRESULT CALLBACK WatchQuestion(int code, WPARAM wParam, LPARAM lParam);
    bool MayClose() const { return !busy && !askingToCancel_; }

    HWND driveBox_;
    HWND typeBox_;
    int32_t gap_ = 0;
    bool wholePlaylist_;
    // While the cancel question is open, its own answer decides: the dialog must not close
    // under the question, from a close command handled in the question's message loop.
    bool askingToCancel_ = false;
    // The cancel question's box once it is up, so the burn's end can withdraw it.
    HWND questionBox_ = nullptr;
    // From the engine's end of a burn to the start of the next: nothing left to cancel.
    bool burnOver_ = false;
    // The Burn button's picture, and the Exit button's when idle and during a burn.
    UniqueBitmap burnFace_;
    UniqueBitmap exitFace_;
    UniqueBitmap cancelFace_;
};

class BurnDialogFactory : public DialogFactory {
public:
    explicit BurnDialogFactory(bool wholePlaylist) : wholePlaylist_(wholePlaylist) {}
    std::unique_ptr<DialogBase> Create(HWND window) override;

private:
    bool wholePlaylist_;
};

// The summary of what will be burned, as the status box shows it before a burn.
struct BurnSummary {
    int32_t tracks = 0;
    // Both sums in 64 bits: in 32, two lengths near the limit of one, or 4 GiB of whole file sizes,
    // would wrap.
    int64_t seconds = 0;
    uint64_t bytes = 0;
    std::string titles;
};
BurnSummary CollectBurnSummary(bool wholePlaylist);
std::string FormatBurnSummary(const BurnSummary& summary);

// Limits the gap field's text to a whole number of seconds from 0 to 5.
int32_t ClampGapSeconds(const char* text);
