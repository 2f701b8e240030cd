#include "engine/engine_callbacks.h"

#include <cstdio>
#include <string>

#include "base/plugin_controls.h"
#include "base/plugin_state.h"
#include "base/text.h"
#include "base/trace.h"
#include "base/user_texts.h"
#include "engine/engine_library.h"

std::atomic<uint8_t> abortFlag{0};

namespace {

std::atomic<HWND> dialogWindow{nullptr};
std::atomic<HWND> statusWindow{nullptr};
std::atomic<HWND> progressWindow{nullptr};

constexpr UINT kProgressSetPosition = WM_USER + 2;  // the progress bar's set-position message
const char kUnknownPhase[] = "unknown";
constexpr size_t kPhaseTextSize = 100;
constexpr size_t kMediaTextSize = 256;

EngineSettings settingsRecord = {
    nullptr,                       // engine files path
    "ahead",                       // vendor
    "Nero - Burning Rom",          // software
    "Nero.txt",                    // language file
    EngineIdleCallbackImpl,        // idle callback
    &settingsRecord,               // idle callback user data
    EngineUserDialogCallbackImpl,  // user-dialog callback
    nullptr,                       // user-dialog user data: the session, set when it initialises
    0,                             // overburn off
    0,                             // overburn size
};

ProgressRecord progressRecord = {
    EngineProgressCallbackImpl,      EngineAbortedCallbackImpl,     EngineAddLogLineCallbackImpl,
    EngineSetPhaseCallbackImpl,      &settingsRecord,               EngineDisableAbortCallbackImpl,
    EngineSetMajorPhaseCallbackImpl, nullptr,
};

struct MajorPhaseRow {
    int32_t phase;
    const char* text;
};

const MajorPhaseRow kMajorPhases[] = {
    {-1, "Unspecified"},
    {24, "Start cache"},
    {25, "Done cache"},
    {28, "Start test"},
    {29, "Done test"},
    {32, "Start simulate"},
    {33, "Done simulate"},
    {36, "Start write"},
    {37, "Done write"},
    {61, "Start simulate nospd"},
    {62, "Done simulate nospd"},
    {65, "Start write nospd"},
    {66, "Done write nospd"},
    {82, "Encode video"},
    {87, "Seamlesslink activated"},
    {90, "BUP activated"},
    {99, "Continue formatting"},
    {100, "Formatting successful"},
    {111, "Dvdvideo detected"},
    {112, "Dvdvideo realloc started"},
    {113, "Dvdvideo realloc completed"},
    {114, "Dvdvideo realloc not needed"},
    {115, "Dvdvideo realloc failed"},
};

enum class UserDialogAction { Error, Warning };

struct UserDialogRow {
    int32_t code;
    UserDialogAction action;
    const char* text;
};

const char kDisconnectOff[] =
    "Disconnect is turned off in the system configuration.\n\t\t\t\t\tThis may cause serious problems while "
    "burning: your CD\n\t\t\t\t\tmight be damaged, or the system might hang up.\nBurning Cancelled";
const char kRestartWindows[] = "Please restart Windows now.";
const char kTrackAtOnce[] =
    "Disc must be written as 'track at once' ('disc at once' not\nsupported or not able to write such a disc).";

// The engine's questions and warnings that reach the user as a box; codes 15 and 28 write to
// the status box instead, every other code shows nothing.
const UserDialogRow kUserDialogs[] = {
    {2, UserDialogAction::Error, kDisconnectOff},
    {6, UserDialogAction::Error, kDisconnectOff},
    {7, UserDialogAction::Error,
     "Auto Insert Notification is turned on in the system configuration.\n\t\t\t\t\tThis may cause serious "
     "problems while burning: your CD might be damaged,\n\t\t\t\t\tor the system might hang up.\nBurning "
     "Cancelled."},
    {10, UserDialogAction::Warning, kRestartWindows},
    {12, UserDialogAction::Warning, kRestartWindows},
    {11, UserDialogAction::Warning, "Auto Insert Notification is now OFF. You should restart Windows."},
    {13, UserDialogAction::Error,
     "Sorry, this compilation contains too much data to fit on the CD\n\t\t\t\twith respect to the normal CD "
     "capacity."},
    {14, UserDialogAction::Error,
     "Nero detected some problems with the audio settings.\nPlease try burning the CD in Nero instead."},
    {18, UserDialogAction::Error, kTrackAtOnce},
    {19, UserDialogAction::Error, kTrackAtOnce},
    {22, UserDialogAction::Error, "The Tolvane Plugin Can Not Write On Non Empty CDRW."},
    {23, UserDialogAction::Error,
     "The compilation cannot be written on this recorder!\nYou should modify your compilation settings or "
     "burn\nthe disc on another recorder, that supports the required medium type."},
    {24, UserDialogAction::Error, "Another type of medium must be used to burn this compilation!"},
};

constexpr int32_t kUserDialogWaitForDisc = 15;
constexpr int32_t kUserDialogMediaMismatch = 28;
constexpr int32_t kFirstExaminedCode = 2;
constexpr int32_t kLastExaminedCode = 28;

BOOL AbortRequested() { return abortFlag.load() != 0 ? TRUE : FALSE; }

void SetStatusText(const char* text) { SetWindowTextA(statusWindow.load(), text); }

void ShowBox(UserDialogAction action, const char* text) {
    const UINT icon = action == UserDialogAction::Error ? MB_ICONSTOP : MB_ICONEXCLAMATION;
    PluginMessageBox(playerWindow.load(), text, kMessageBoxCaption, MB_OK | icon);
}

void ShowWaitText(void* data) {
    char* text = engine::NeroGetLocalizedWaitCDTexts(static_cast<int32_t>(reinterpret_cast<intptr_t>(data)));
    if (text == nullptr) return;
    SetStatusText(text);
    MessageBeep(MB_ICONEXCLAMATION);
    engine::NeroFreeMem(text);
}

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

void ShowMediaMismatch(const void* data) {
    if (data == nullptr) return;
    const MediaMismatchRecord* mismatch = static_cast<const MediaMismatchRecord*>(data);
    // The engine's texts may be long: the line is cut to whole characters.
    const std::string line = std::string("Last detected media: ") + TextOrEmpty(mismatch->lastDetectedMedia) +
                             "\nRequested media: " + TextOrEmpty(mismatch->requestedMedia);
    char text[kMediaTextSize];
    CopyWholeCharacters(text, sizeof text - 1, line);
    SetStatusText(text);
}

const UserDialogRow* FindUserDialog(int32_t code) {
    for (const UserDialogRow& row : kUserDialogs)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace

EngineSettings& engineSettingsRecord() { return settingsRecord; }
ProgressRecord& engineProgressRecord() { return progressRecord; }

void SetCallbackDialogWindow(HWND window) { dialogWindow.store(window); }
void SetCallbackStatusWindow(HWND window) { statusWindow.store(window); }
void SetCallbackProgressWindow(HWND window) { progressWindow.store(window); }

const char* MajorPhaseText(int32_t phase) {
    for (const MajorPhaseRow& row : kMajorPhases)
        if (row.phase == phase) return row.text;
    return kUnknownPhase;
}

extern "C" {

BOOL __cdecl EngineIdleCallbackImpl(void* /*userData*/) {
    MSG message;
    while (PeekMessageA(&message, dialogWindow.load(), 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return AbortRequested();
}

BOOL __cdecl EngineProgressCallbackImpl(void* /*userData*/, DWORD percent) {
    SendMessageA(progressWindow.load(), kProgressSetPosition, percent, 0);
    return AbortRequested();
}

BOOL __cdecl EngineAbortedCallbackImpl(void* /*userData*/) { return AbortRequested(); }

void __cdecl EngineAddLogLineCallbackImpl(void* /*userData*/, int32_t /*kind*/, const char* /*text*/) {}

void __cdecl EngineSetPhaseCallbackImpl(void* /*userData*/, const char* text) { SetStatusText(text); }

void __cdecl EngineDisableAbortCallbackImpl(void* /*userData*/, BOOL enable) {
    Trace(enable == 0 ? "[i] The current process cannot be interrupted" : "[i] The process can be interrupted again");
}

void __cdecl EngineSetMajorPhaseCallbackImpl(void* /*userData*/, int32_t phase, void* /*reserved*/) {
    char text[kPhaseTextSize] = "unknown";
    std::snprintf(text, sizeof text, "%s", MajorPhaseText(phase));
    SetStatusText(text);
}

int32_t __cdecl EngineUserDialogCallbackImpl(void* /*userData*/, int32_t code, void* data) {
    if (code < kFirstExaminedCode || code > kLastExaminedCode) return 0;
    if (code == kUserDialogWaitForDisc) {
        ShowWaitText(data);
    } else if (code == kUserDialogMediaMismatch) {
        ShowMediaMismatch(data);
    } else if (const UserDialogRow* row = FindUserDialog(code)) {
        ShowBox(row->action, row->text);
    }
    return 0;
}

}  // extern "C"
