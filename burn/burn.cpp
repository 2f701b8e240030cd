#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"

namespace {

int32_t BuildForKind(EngineSession& session, const BurnJob& job) {
    switch (job.compilationKind) {
        case kKindAudio:
            return session.BuildAudioCompilation(job);
        case kKindVideo:
        case kKindVideoStill:
            return session.BuildVideoCompilation(job);
        case kKindImage:
            return session.BuildImageBurn(job);
        case kKindTrackMode:
            return session.BuildTrackModeRecord(job);
        default:
            return EXITCODE_INTERNAL;
    }
}

}  // namespace

EngineResult EngineSession::Burn(BurnJob& job) {
    failedFile_.clear();
    const int32_t code = BuildForKind(*this, job);
    return EngineResult(code, failedFile_.c_str());
}

int32_t EngineSession::BurnStep(const BurnJob& job, int32_t format, void* record) {
    const DWORD speed = static_cast<DWORD>(job.EffectiveSpeed());
    const DWORD flags = job.BurnFlags();
    const int32_t engineResult =
        engine::NeroBurn(deviceHandle_, format, record, flags, speed, &engineProgressRecord());
    return MapBurnResult(engineResult);
}
