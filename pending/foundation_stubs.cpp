// Temporary stand-ins for pieces written in parallel, so the lifecycle links and runs.
#include <windows.h>

#include "burn/burn_job.h"
#include "engine/engine_library.h"
#include "engine/engine_result.h"
#include "engine/engine_session.h"
#include "plugin/host_playlist.h"
#include "plugin/lifecycle.h"
#include "plugin/player_menu.h"
#include "plugin/plugin_state.h"
#include "ui/about_dialog.h"

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && (wParam == kCommandBurnPlaylist || wParam == kCommandBurnSelected)) {
        burnWholePlaylist = wParam == kCommandBurnPlaylist;
        SignalBurnEvent();
    }
    return CallWindowProcA(previousPlayerWindowProc, window, message, wParam, lParam);
}

void DestroyBurnPopupMenu() {}

// As the real one answers an empty playlist.
void OpenBurnDialog() {
    MessageBoxA(playerWindow, "Select some tracks first !", "Tolvane", MB_OK | MB_ICONINFORMATION);
}

INT_PTR ShowAbout(HINSTANCE, HWND, const char*, const char*, const char*) { return 0; }

HostPlaylist::HostPlaylist(const HostRecord& host) : service_(host.service) {}

EngineResult::EngineResult(int32_t code) : code_(code) {}

EngineSession::EngineSession(BurnJob& job) : job_(job) {}
EngineResult EngineSession::Load() { return EngineResult(0); }
EngineResult EngineSession::Initialise() { return EngineResult(0); }
void EngineSession::Destroy() {}

BOOL engineApiVersionParts(WORD*, WORD*, WORD*, WORD*) { return FALSE; }

BurnJob::BurnJob() {}
BurnJob processBurnJob;
