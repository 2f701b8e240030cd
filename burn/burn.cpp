#include "burn/burn.h"

#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"

namespace {

int32_t BuildForKind(Burner& burner, const BurnJob& job) {
    switch (job.compilationKind) {
        case kKindAudio:
            return burner.BuildAudioCompilation(job);
        case kKindVideo:
        case kKindVideoStill:
            return burner.BuildVideoCompilation(job);
        case kKindImage:
            return burner.BuildImageBurn(job);
        case kKindTrackMode:
            return burner.BuildTrackModeRecord(job);
        default:
            return EXITCODE_INTERNAL;
    }
}

}  // namespace

EngineResult Burner::Burn(const BurnJob& job) {
    failedFile_.clear();
    const int32_t code = BuildForKind(*this, job);
    return EngineResult(code, failedFile_.c_str());
}

int32_t Burner::BurnStep(const BurnJob& job, int32_t format, void* record) {
    const DWORD speed = static_cast<DWORD>(job.EffectiveSpeed());
    const DWORD flags = job.BurnFlags();
    const int32_t engineResult =
        engine::NeroBurn(session_.deviceHandle(), format, record, flags, speed, &engineProgressRecord());
    return MapBurnResult(engineResult);
}
