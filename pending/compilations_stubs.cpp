// Link-only stand-ins for the job, the session and the engine binders until they land.
#include "burn/burn_job.h"
#include "engine/engine_library.h"
#include "engine/engine_result.h"
#include "engine/engine_session.h"

BurnJob::BurnJob() { Reset(); }
void BurnJob::Reset() {
    isoFiles.clear();
    trackCount = 0;
    compilationKind = 0;
    importTrack = -1;
    speed = -1;
    fallbackSpeed = -1;
    videoText = "";
}
int32_t BurnJob::SetVolumeName(const char* name) {
    volumeName = name;
    collectIsoFiles = name != nullptr;
    return 0;
}
int32_t BurnJob::AddFile(const char* path) {
    if (collectIsoFiles || compilationKind == 5) {
        isoFiles.push_back(path);
        return 0;
    }
    if (trackCount >= kMaxTracks) return 11;
    tracks[trackCount++].name = path;
    return 0;
}
int32_t BurnJob::SetCompilationKind(uint32_t kind) {
    compilationKind = kind;
    return 0;
}
int32_t BurnJob::SetTrackGap(int32_t seconds) {
    trackGapSeconds = seconds < 0 ? 0 : seconds;
    return 0;
}

EngineSession::EngineSession(BurnJob& job) : job_(job) {}
int32_t EngineSession::BurnStep(int32_t, void*) { return 2; }

bool loadEngine() { return false; }
void releaseEngine() {}
namespace engine {
void* NeroGetCDInfo(void*, DWORD) { return nullptr; }
void* NeroImportIsoTrackEx(void*, DWORD, void**, DWORD) { return nullptr; }
void NeroFreeCDStamp(void*) {}
void* NeroCreateIsoItemOfSize(size_t) { return nullptr; }
void NeroFreeIsoItem(void*) {}
void* NeroCreateIsoTrackEx(void*, const char*, DWORD) { return nullptr; }
void NeroFreeIsoTrack(void*) {}
void NeroFreeMem(void*) {}
}  // namespace engine
