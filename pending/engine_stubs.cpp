// Temporary: the builders land with the compilations branch.
#include "engine/engine_session.h"

int32_t EngineSession::BuildAudioCompilation(const BurnJob&) { return EXITCODE_INTERNAL; }
int32_t EngineSession::BuildVideoCompilation(const BurnJob&) { return EXITCODE_INTERNAL; }
int32_t EngineSession::BuildImageBurn(const BurnJob&) { return EXITCODE_INTERNAL; }
int32_t EngineSession::BuildTrackModeRecord(const BurnJob&) { return EXITCODE_INTERNAL; }
