#include "ui/burn_dialog.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/start_thread.h"
#include "base/trace.h"
#include "base/user_texts.h"
#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"
#include "engine/engine_version.h"
#include "plugin/host_playlist.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "ui/burn_worker.h"

namespace {

constexpr const char* kNoDriveText = "No valid drive found !";
constexpr const char* kOldEngineFormat =
    "You are running an older version of Nero (%d.%d.%d.%d).\n"
    "You may experience problems burning cds from the plugin.";
constexpr const char* kCancelQuestion = "Do you want to cancel now ?";
constexpr const char* kScanningText = "Scanning Files ... Please Wait...";
constexpr const char* kDiscTypes[] = {"Audio", "Data"};

constexpr int kGapFieldSize = 10;
constexpr int32_t kMaxGapSeconds = 5;

std::string Format(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

// One attribute read, no directory search. A file that is not there adds nothing, nor does a
// folder, nor a name with a wildcard, which a search would take as a pattern and which no file
// can have.
uint64_t FileSize(const std::string& path) {
    if (path.find_first_of("*?<>\"") != std::string::npos) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

BurnSummary CollectBurnSummary(bool wholePlaylist) {
    BurnSummary summary;
    if (hostPlaylist == nullptr) return summary;
    const int32_t count = hostPlaylist->TrackCount();
    // Read from the player's settings file once, at the first chosen track, for all of them.
    int titleStyle = 0;
    bool titleStyleRead = false;
    for (int32_t i = 0; i < count; ++i) {
        if (!hostPlaylist->IsChosen(i, wholePlaylist)) continue;
        if (!titleStyleRead) {
            titleStyle = hostPlaylist->TitleStyle();
            titleStyleRead = true;
        }
        const std::string title = hostPlaylist->TrackTitle(i, titleStyle);
        summary.seconds += hostPlaylist->TrackLength(i);
        summary.bytes += FileSize(hostPlaylist->TrackFile(i));
        summary.tracks += 1;
        summary.titles += title;
        summary.titles += "\r\n";
    }
    return summary;
}

std::string FormatBurnSummary(const BurnSummary& summary) {
    const int64_t hours = summary.seconds / 3600;
    const double megabytes = static_cast<double>(summary.bytes) / 1048576.0;
    const int32_t rest = static_cast<int32_t>(summary.seconds % 3600);
    // The hours alone may pass 32 bits; std::to_string spares a 64-bit printf conversion, which
    // not every C runtime spells alike.
    if (hours != 0) {
        return Format("%d Track(s), %s hr %d min %02d sec\r\n%.1f MB\r\n", summary.tracks,
                      std::to_string(hours).c_str(), rest / 60, rest % 60, megabytes);
    }
    return Format("%d Track(s), %d min %02d sec\r\n%.1f MB\r\n", summary.tracks, rest / 60, rest % 60, megabytes);
}

int32_t ClampGapSeconds(const char* text) {
    long value = std::atol(text);
    if (value <= 0) return 0;
    if (value > kMaxGapSeconds) return kMaxGapSeconds;
    return static_cast<int32_t>(value);
}

BurnDialog::BurnDialog(HWND window, bool wholePlaylist)
    : DialogBase(window, DialogMode::Modeless),
      driveBox_(GetDlgItem(window, IDC_DRIVE_BOX)),
      typeBox_(GetDlgItem(window, IDC_TYPE_BOX)),
      wholePlaylist_(wholePlaylist) {}

BurnDialog::~BurnDialog() { OnDestroy(window()); }

// Also run by the destructor; the second time finds nothing left to do.
void BurnDialog::OnDestroy(HWND window) {
    ReleaseButtonBitmaps(window);
    // Shutdown must not post to a window that is gone (or to whatever reuses its handle).
    HWND self = window;
    burnDialogWindow.compare_exchange_strong(self, nullptr);
}

// The pictures are the dialog's own: the buttons only show them, and must not once they go.
void BurnDialog::ReleaseButtonBitmaps(HWND window) {
    for (int id : {IDC_BURN_BUTTON, IDC_EXIT_BUTTON}) ShowButtonBitmap(GetDlgItem(window, id), nullptr);
}

// Loaded once, as the dialog opens: a burn then shows its look without loading anything, so it
// cannot end without the idle look. A dialog without its pictures does not open.
bool BurnDialog::LoadButtonFaces() {
    burnFace_ = LoadButtonBitmap(IDB_BURN_BUTTON);
    exitFace_ = LoadButtonBitmap(IDB_EXIT_BUTTON);
    cancelFace_ = LoadButtonBitmap(IDB_CANCEL_BUTTON);
    if (burnFace_ && exitFace_ && cancelFace_) return true;
    MessageBoxA(playerWindow.load(), kDialogCannotOpenText, kMessageBoxCaption, MB_ICONERROR | MB_OK);
    return false;
}

bool BurnDialog::OnInitDialog(HWND window) {
    Trace("Querying drives\n");
    if (!QueryDrives(window) || !LoadButtonFaces()) return false;
    NoticeOldEngine(window);
    RestoreSettings(window);
    RegisterEngineWindows(window);
    FillDriveBox();
    ShowSummary(window);
    ShowButtonBitmap(GetDlgItem(window, IDC_BURN_BUTTON), burnFace_.get());
    ShowButtonBitmap(GetDlgItem(window, IDC_EXIT_BUTTON), exitFace_.get());
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    burnDialogWindow = window;
    // Shutdown asks the dialog it can see to close. One that was still opening when shutdown
    // looked does not open: each side first publishes its own fact, then reads the other's, so at
    // least one of the two sees the dialog and shutdown never waits on a dialog nobody closes.
    // Nothing is posted for it, so nothing can be lost.
    if (shutdownBegun) return false;
    ShowWindow(window, SW_SHOW);
    return true;
}

// After a failed query the dialog does not open: its creator destroys it, never shown.
bool BurnDialog::QueryDrives(HWND window) {
    EngineSession* session = engineSession.load();
    bool found = false;
    if (session != nullptr) {
        EngineResult result = session->QueryDrives();
        found = result.code() == 0;
    }
    if (found) return true;
    MessageBoxA(window, kNoDriveText, kMessageBoxCaption, MB_ICONERROR);
    return false;
}

// Once for each old engine version, the first opening with it included.
void BurnDialog::NoticeOldEngine(HWND window) {
    if (engineVersionIsCurrent) return;
    WORD a = 0, b = 0, c = 0, d = 0;
    if (!engineApiVersionParts(&a, &b, &c, &d)) return;
    const PackedEngineVersion version = PackEngineVersion(a, b, c, d);
    const int32_t major = static_cast<int32_t>(version.high);
    const int32_t minor = static_cast<int32_t>(version.low);
    if (settings::Read(settings::kLastVersionMajor) != major ||
        settings::Read(settings::kLastVersionMinor) != minor) {
        MessageBoxA(window, Format(kOldEngineFormat, a, b, c, d).c_str(), kMessageBoxCaption, MB_ICONINFORMATION);
    }
    settings::Write(settings::kLastVersionMajor, major);
    settings::Write(settings::kLastVersionMinor, minor);
}

void BurnDialog::RestoreSettings(HWND window) {
    CheckDlgButton(window, IDC_UNDERRUN, settings::Read(settings::kUnderrun) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(window, IDC_SIMULATE, settings::Read(settings::kSimulate) ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(window, IDC_GAP, static_cast<UINT>(settings::Read(settings::kAudioGap)), FALSE);
    for (const char* type : kDiscTypes) SendMessageA(typeBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(type));
    SendMessageA(typeBox_, CB_SETCURSEL, static_cast<WPARAM>(settings::Read(settings::kLastMode)), 0);
}

void BurnDialog::RegisterEngineWindows(HWND window) {
    EngineSession* session = engineSession.load();
    if (session == nullptr) return;
    session->SetDialogWindow(window);
    session->SetStatusWindow(GetDlgItem(window, IDC_STATUS));
    session->SetProgressWindow(GetDlgItem(window, IDC_PROGRESS));
}

void BurnDialog::FillDriveBox() {
    const std::string lastDrive = settings::Read(settings::kLastDrive);
    DriveLabels labels = {};
    EngineSession* session = engineSession.load();
    const int count = session != nullptr ? session->GetDriveLabels(labels) : 0;
    SendMessageA(driveBox_, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count && i < kMaxDriveLabels; ++i) {
        labels[i][kDriveLabelSize - 1] = '\0';
        _strupr(labels[i]);
        SendMessageA(driveBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(labels[i]));
    }
    LRESULT selection = 0;
    if (!lastDrive.empty()) {
        selection = SendMessageA(driveBox_, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(lastDrive.c_str()));
        if (selection == CB_ERR) selection = 0;
    }
    SendMessageA(driveBox_, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

void BurnDialog::ShowSummary(HWND window) {
    const BurnSummary summary = CollectBurnSummary(wholePlaylist_);
    SetDlgItemTextA(window, IDC_STATUS, (FormatBurnSummary(summary) + summary.titles).c_str());
}

bool BurnDialog::OnCommand(HWND window, int id, int code, HWND /*control*/) {
    switch (id) {
    case IDC_BURN_BUTTON:
        if (!busy) StartBurn();
        return true;
    case IDC_EXIT_BUTTON:
        OnExit(window);
        return true;
    case IDC_DRIVE_BOX:
    case IDC_TYPE_BOX:
        if (code != CBN_SELCHANGE) return false;
        SaveSelection(window);
        return true;
    case IDC_UNDERRUN:
    case IDC_SIMULATE:
        SaveCheckBoxes(window);
        return false;
    default:
        return false;
    }
}

void BurnDialog::OnExit(HWND window) {
    if (MayClose()) {
        Close(0);
        return;
    }
    // While the outcome shows, the burn is over: there is nothing to cancel, and a dialog that
    // shutdown asked to close closes once the outcome has been seen.
    if (askingToCancel_ || burnOver_) return;
    askingToCancel_ = true;
    const int answer = AskToCancel(window);
    askingToCancel_ = false;
    if (answer == IDYES && !burnOver_) abortFlag = 1;
    // The burn may have ended while the question was open.
    if (shutdownBegun && MayClose()) Close(0);
}

namespace {
// The burn dialog whose cancel question is being asked. There is one burn dialog in the process,
// and this is touched only on its thread (the hook runs there), so it needs no lock; thread-local
// storage would not work in a DLL the player loads at run time on Windows XP.
BurnDialog* askingDialog = nullptr;
}  // namespace

// The question's box as its thread makes it. The burn's end reaches the dialog's thread through a
// sent message, which this thread may handle at any point of MessageBoxA, before the box exists,
// while it is made, or once it is up; each case is met here or in OnBurnOver, on this one thread.
LRESULT CALLBACK BurnDialog::WatchQuestion(int code, WPARAM wParam, LPARAM lParam) {
    BurnDialog* dialog = askingDialog;
    HWND window = reinterpret_cast<HWND>(wParam);
    if (dialog != nullptr && dialog->questionBox_ == nullptr) {
        char className[16] = {};
        const bool isBox = window != dialog->window() && GetClassNameA(window, className, sizeof className) != 0 &&
                           std::strcmp(className, "#32770") == 0;
        // Not made at all when the burn is already over.
        if (code == HCBT_CREATEWND && isBox && dialog->burnOver_) return 1;
        // Ready to be ended from its activation on, its dialog part set up.
        if (code == HCBT_ACTIVATE && isBox) {
            dialog->questionBox_ = window;
            if (dialog->burnOver_) EndDialog(window, IDNO);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int BurnDialog::AskToCancel(HWND window) {
    askingDialog = this;
    questionBox_ = nullptr;
    int answer = IDNO;
    {
        UniqueHook hook(SetWindowsHookExA(WH_CBT, WatchQuestion, nullptr, GetCurrentThreadId()));
        answer = MessageBoxA(window, kCancelQuestion, kMessageBoxCaption, MB_YESNO | MB_ICONQUESTION);
    }
    questionBox_ = nullptr;
    askingDialog = nullptr;
    return answer;
}

void BurnDialog::OnBurnOver() {
    burnOver_ = true;
    // Ended here, on its own thread, and hidden before the burn thread goes on to show the outcome.
    if (askingToCancel_ && questionBox_ != nullptr) EndDialog(questionBox_, IDNO);
}

void BurnDialog::SaveSelection(HWND /*window*/) {
    settings::Write(settings::kLastDrive, WindowText(driveBox_).c_str());
    settings::Write(settings::kLastMode, static_cast<int32_t>(SendMessageA(typeBox_, CB_GETCURSEL, 0, 0)));
}

void BurnDialog::SaveCheckBoxes(HWND window) {
    settings::Write(settings::kUnderrun, IsChecked(window, IDC_UNDERRUN));
    settings::Write(settings::kSimulate, IsChecked(window, IDC_SIMULATE));
}

INT_PTR BurnDialog::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == kBurnOverMessage) {
        OnBurnOver();
        return 1;
    }
    if (message == kBurnEndedMessage) {
        OnBurnEnded(window);
        return 1;
    }
    if (message != WM_SYSCOMMAND || wParam != SC_CLOSE) return 0;
    if (MayClose()) Close(0);
    return 1;
}

void BurnDialog::ShowBusyLook(HWND window) {
    SetDlgItemTextA(window, IDC_STATUS, kScanningText);
    ShowButtonBitmap(GetDlgItem(window, IDC_EXIT_BUTTON), cancelFace_.get());
}

void BurnDialog::ShowIdleLook(HWND window) {
    ShowButtonBitmap(GetDlgItem(window, IDC_EXIT_BUTTON), exitFace_.get());
    SetDlgItemTextA(window, IDC_STATUS, "");
    SendDlgItemMessageA(window, IDC_PROGRESS, PBM_SETPOS, 0, 0);
}

// Nothing handled on this thread can fall between the two: a Burn or Exit that follows the idle
// look also finds the dialog idle.
//
// Once shutdown has begun the player's window is gone and shutdown waits for this dialog, so
// nobody is left to press Exit: the dialog closes itself as soon as the outcome has been seen.
void BurnDialog::OnBurnEnded(HWND window) {
    busy = false;
    ShowIdleLook(window);
    if (shutdownBegun && MayClose()) Close(0);
}

void BurnDialog::StartBurn() {
    HWND window = this->window();
    char text[kGapFieldSize] = {};
    GetDlgItemTextA(window, IDC_GAP, text, kGapFieldSize);
    gap_ = ClampGapSeconds(text);
    settings::Write(settings::kAudioGap, gap_);
    SetDlgItemInt(window, IDC_GAP, static_cast<UINT>(gap_), FALSE);
    // Raised here with the busy look, not by the thread: a second Burn or an Exit arriving
    // before the thread runs must find the dialog busy, and a Yes to the cancel question given
    // that early must not be cleared by the thread.
    abortFlag = 0;
    burnOver_ = false;
    busy = true;
    ShowBusyLook(window);
    if (StartThread(BurnWorker, this, THREAD_PRIORITY_NORMAL, 0, 0) != 0) return;
    busy = false;
    ShowIdleLook(window);
    MessageBoxA(window, kBurnCannotStartText, kMessageBoxCaption, MB_ICONERROR | MB_OK);
}

std::unique_ptr<DialogBase> BurnDialogFactory::Create(HWND window) {
    return std::make_unique<BurnDialog>(window, wholePlaylist_);
}
