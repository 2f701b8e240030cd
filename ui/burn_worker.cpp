#include "ui/burn_worker.h"

#include <commctrl.h>

#include <cstdio>
#include <deque>

#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_result.h"
#include "engine/engine_session.h"
#include "plugin/handles.h"
#include "plugin/host_playlist.h"
#include "plugin/plugin_state.h"
#include "plugin/trace.h"
#include "plugin/user_texts.h"
#include "resources/resource.h"
#include "ui/burn_dialog.h"
#include "ui/dialog_framework.h"

namespace {

constexpr size_t kLabelPrefixLength = 3;  // "X: "
constexpr LRESULT kTypeData = 1;
constexpr DWORD kVolumeLabelModulus = 0xffff;
constexpr size_t kVolumeLabelSize = 64;

// The job holds the recorder's name by pointer, so it outlives every burn.
std::string& RecorderName() {
    static std::string name;
    return name;
}

// What the end of a burn needs, taken while the dialog is sure to exist.
struct DialogWindows {
    HWND dialog;
    HWND exitButton;
    HWND status;
    HWND progress;
};

DialogWindows TakeWindows(const BurnDialog& dialog) {
    HWND window = dialog.window();
    return {window, GetDlgItem(window, IDC_EXIT_BUTTON), GetDlgItem(window, IDC_STATUS),
            GetDlgItem(window, IDC_PROGRESS)};
}

// Entries never move once added: the job keeps pointers to their characters.
void AddChosenTracks(BurnJob& job, std::deque<std::string>& files, int32_t count) {
    const bool wholePlaylist = burnWholePlaylist;
    for (int32_t i = 0; i < count; ++i) {
        if (!hostPlaylist->IsChosen(i, wholePlaylist)) continue;
        files.push_back(hostPlaylist->TrackFile(i));
        job.AddFile(files.back().c_str());
    }
}

void FillJob(BurnJob& job, const BurnDialog& dialog, HWND window, std::deque<std::string>& files,
             int32_t trackCount, char (&volumeLabel)[kVolumeLabelSize]) {
    RecorderName() = RecorderNameFromLabel(WindowText(dialog.driveBox()));
    job.SetDriveName(RecorderName().c_str());
    const LRESULT type = SendMessageA(dialog.typeBox(), CB_GETCURSEL, 0, 0);
    job.SetAudio(type == 0);
    job.SetTrackGap(dialog.gap());
    job.SetVolumeName(nullptr);
    if (type == kTypeData) {
        job.SetCompilationKind(kKindAudio);
        job.SetBurnFlag100(true);
        std::snprintf(volumeLabel, kVolumeLabelSize, "%s", VolumeLabelFromTicks(GetTickCount()).c_str());
        job.SetVolumeName(volumeLabel);
        job.SetBurnFlag10(true);
    }
    AddChosenTracks(job, files, trackCount);
    job.SetUnderrunProtection(IsDlgButtonChecked(window, IDC_UNDERRUN) == BST_CHECKED);
    job.SetWriteDisc(IsDlgButtonChecked(window, IDC_SIMULATE) != BST_CHECKED);
}

int32_t OpenAndBurn(BurnJob& job) {
    EngineSession* session = engineSession.load();
    if (session == nullptr) return EXITCODE_INTERNAL;
    int32_t code = 0;
    {
        EngineResult opened = session->OpenDevice();
        code = opened.code();
    }
    if (code != 0) return code;
    Trace("writing\n");
    EngineResult burned = session->Burn(job);
    return burned.code();
}

void ShowOutcome(HWND dialog, int32_t code) {
    EngineResult result(code);
    MessageBoxA(dialog, result.message(), kMessageBoxCaption, MB_ICONINFORMATION | MB_OK);
}

void ReturnToIdle(const DialogWindows& windows) {
    SetButtonBitmap(windows.exitButton, IDB_EXIT_BUTTON);
    SetWindowTextA(windows.status, "");
    SendMessageA(windows.progress, PBM_SETPOS, 0, 0);
}

void RunBurn(BurnDialog& dialog) {
    BurnJob& job = processBurnJob;
    job.Reset();
    std::deque<std::string> files;
    char volumeLabel[kVolumeLabelSize] = {};
    const int32_t trackCount = hostPlaylist != nullptr ? hostPlaylist->TrackCount() : 0;
    abortFlag = 0;
    dialog.busy = true;
    Trace("open device\n");
    const DialogWindows windows = TakeWindows(dialog);
    int32_t code = 0;
    try {
        FillJob(job, dialog, windows.dialog, files, trackCount, volumeLabel);
        SetButtonBitmap(windows.exitButton, IDB_CANCEL_BUTTON);
        code = OpenAndBurn(job);
    } catch (...) {
        // Only the file list allocates; the dialog must still come back to idle.
        code = EXITCODE_OUT_OF_MEMORY;
    }
    try {
        ShowOutcome(windows.dialog, code);
    } catch (...) {
        // Out of memory for the result's text: the dialog must still come back to idle.
    }
    ReturnToIdle(windows);
    // Last touch of the dialog: once idle, an Exit may destroy it at any moment.
    dialog.busy = false;
}

}  // namespace

std::string VolumeLabelFromTicks(DWORD ticks) {
    char label[kVolumeLabelSize];
    std::snprintf(label, sizeof label, "QCD%04lx", static_cast<unsigned long>(ticks % kVolumeLabelModulus));
    return label;
}

std::string RecorderNameFromLabel(const std::string& label) {
    return label.size() < kLabelPrefixLength ? std::string() : label.substr(kLabelPrefixLength);
}

DWORD WINAPI BurnWorker(LPVOID burnDialog) {
    // Holds the module while this thread runs its code: the player may unload the plug-in as
    // soon as shutdown returns, which can be before this thread has left.
    UniqueModule self;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&BurnWorker), self.put());
    try {
        RunBurn(*static_cast<BurnDialog*>(burnDialog));
    } catch (...) {
        Trace("burn worker failed\n");
    }
    if (self) FreeLibraryAndExitThread(self.release(), 0);
    return 0;
}
