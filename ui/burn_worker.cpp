#include "ui/burn_worker.h"

#include <cstdio>
#include <deque>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/thread_runtime.h"
#include "base/trace.h"
#include "base/user_texts.h"
#include "burn/burn.h"
#include "burn/burn_job.h"
#include "engine/drive_list.h"
#include "engine/engine_result.h"
#include "engine/engine_session.h"
#include "plugin/host_playlist.h"
#include "resources/resource.h"
#include "ui/burn_dialog.h"
#include "ui/dialog_framework.h"

namespace {

constexpr LRESULT kTypeAudio = 0;
constexpr LRESULT kTypeData = 1;
constexpr DWORD kVolumeLabelModulus = 0xffff;
constexpr size_t kVolumeLabelSize = 64;

// The job holds the recorder's name by pointer, so it outlives every burn. Made with the module,
// not at the first burn: the runtime's guard of a function-local static may end the process.
std::string recorderName;

// Entries never move once added: the job keeps pointers to their characters.
void AddChosenTracks(BurnJob& job, std::deque<std::string>& files, int32_t count, bool wholePlaylist) {
    for (int32_t i = 0; i < count; ++i) {
        if (!hostPlaylist->IsChosen(i, wholePlaylist)) continue;
        files.push_back(hostPlaylist->TrackFile(i));
        job.AddFile(files.back().c_str());
    }
}

// Returns the disc type chosen in the type box.
LRESULT FillJob(BurnJob& job, const BurnDialog& dialog, std::deque<std::string>& files, int32_t trackCount,
                char (&volumeLabel)[kVolumeLabelSize]) {
    HWND window = dialog.window();
    recorderName = RecorderNameFromLabel(WindowText(dialog.driveBox()));
    job.SetDriveName(recorderName.c_str());
    // Without a disc type the job has no kind, and the burn answers "Internal error!".
    const LRESULT type = SendMessageA(dialog.typeBox(), CB_GETCURSEL, 0, 0);
    if (type == kTypeAudio) {
        (void)job.SetAudio(true);  // cannot fail: a job just reset takes any kind
    } else if (type == kTypeData) {
        std::snprintf(volumeLabel, kVolumeLabelSize, "%s", VolumeLabelFromTicks(GetTickCount()).c_str());
        job.MakeDataDisc(volumeLabel);
    }
    job.SetTrackGap(dialog.gap());
    AddChosenTracks(job, files, trackCount, dialog.wholePlaylist());
    job.SetUnderrunProtection(IsDlgButtonChecked(window, IDC_UNDERRUN) == BST_CHECKED);
    job.SetWriteDisc(IsDlgButtonChecked(window, IDC_SIMULATE) != BST_CHECKED);
    return type;
}

// The job keeps the first 99 tracks of an audio disc; the user decides whether that disc is
// worth burning before the recorder is asked to write.
bool MayBurnFirstTracks(HWND dialog, size_t chosen) {
    char text[256];
    std::snprintf(text, sizeof text, kTooManyTracksFormat, static_cast<unsigned>(chosen));
    return MessageBoxA(dialog, text, kMessageBoxCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The open's result when the recorder does not open, otherwise the burn's.
EngineResult OpenAndBurn(BurnJob& job) {
    EngineSession* session = engineSession.load();
    if (session == nullptr) return EngineResult(EXITCODE_INTERNAL);
    EngineResult opened = session->OpenDevice();
    if (opened.code() != EXITCODE_OK) return opened;
    Trace("writing\n");
    Burner burner(*session);
    return burner.Burn(job);
}

enum class Outcome { Burned, NothingChosen, Declined };

// The dialog is busy from its Burn command until the end is reported, so it cannot close while
// this runs. A playlist that has lost every chosen track since the dialog opened leaves the
// recorder alone: burning nothing would waste a disc and report "Ok.".
EngineResult FillAndBurn(const BurnDialog& dialog, Outcome& outcome) {
    BurnJob& job = processBurnJob;
    job.Reset();
    char volumeLabel[kVolumeLabelSize] = {};
    const int32_t trackCount = hostPlaylist != nullptr ? hostPlaylist->TrackCount() : 0;
    Trace("open device\n");
    try {
        std::deque<std::string> files;
        const LRESULT type = FillJob(job, dialog, files, trackCount, volumeLabel);
        if (files.empty()) {
            outcome = Outcome::NothingChosen;
            return EngineResult(EXITCODE_OK);
        }
        if (type == kTypeAudio && files.size() > kMaxTracks && !MayBurnFirstTracks(dialog.window(), files.size())) {
            outcome = Outcome::Declined;
            return EngineResult(EXITCODE_OK);
        }
        return OpenAndBurn(job);
    } catch (...) {
        // The file list and the recorder's name allocate; the job's files go with the list.
        job.Reset();
        outcome = Outcome::Burned;
        return EngineResult(EXITCODE_OUT_OF_MEMORY);
    }
}

// The outcome is the one word the user gets of a burn: a box that could not be made (short of
// the desktop's memory) is tried once more.
void TellOutcome(HWND window, const char* text) {
    if (MessageBoxA(window, text, kMessageBoxCaption, MB_ICONINFORMATION | MB_OK) == 0)
        MessageBoxA(window, text, kMessageBoxCaption, MB_ICONINFORMATION | MB_OK);
}

// Whatever happened, the burn's end is told: the dialog stays busy until it hears of it.
void EndBurn(HWND window, Outcome outcome, const char* text) {
    // A cancel question still open asks about a burn that is over: the dialog withdraws it now,
    // before the outcome shows.
    SendMessageA(window, kBurnOverMessage, 0, 0);
    if (outcome == Outcome::NothingChosen) TellOutcome(window, kNothingToBurnText);
    else if (outcome == Outcome::Burned) TellOutcome(window, text);
    // Last touch of the dialog: once it has handled this, an Exit may destroy it at any moment.
    // Sent, not posted, so that it cannot be lost to a full queue and leave the dialog busy.
    SendMessageA(window, kBurnEndedMessage, 0, 0);
}

void RunBurn(const BurnDialog& dialog) {
    Outcome outcome = Outcome::Burned;
    const EngineResult result = FillAndBurn(dialog, outcome);
    EndBurn(dialog.window(), outcome, result.message());
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
    const auto& dialog = *static_cast<const BurnDialog*>(burnDialog);
    // Without what an exception needs nothing may run that could throw: the burn ends at once.
    if (PrepareThreadRuntime()) RunBurn(dialog);
    else EndBurn(dialog.window(), Outcome::Burned, ResultMessage(EXITCODE_OUT_OF_MEMORY));
    ReleaseThreadRuntime();
    if (self) FreeLibraryAndExitThread(self.release(), 0);
    return 0;
}
