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

// As the real one answers an empty playlist.
void OpenBurnDialog() {
    MessageBoxA(playerWindow, "Select some tracks first !", "Tolvane", MB_OK | MB_ICONINFORMATION);
}



EngineResult::EngineResult(int32_t code) : code_(code) {}

EngineSession::EngineSession(BurnJob& job) : job_(job) {}
EngineResult EngineSession::Load() { return EngineResult(0); }
EngineResult EngineSession::Initialise() { return EngineResult(0); }
void EngineSession::Destroy() {}

BOOL engineApiVersionParts(WORD*, WORD*, WORD*, WORD*) { return FALSE; }

BurnJob::BurnJob() {}
BurnJob processBurnJob;
