#include "burn/burn_job.h"

BurnJob processBurnJob;

namespace {
// The job reuses codes of the result table: 9 when a kind is already chosen, 11 when the track
// table is full. Callers rely on these numbers.
constexpr int32_t kKindAlreadyChosen = EXITCODE_NO_DRIVE_LIST;
constexpr int32_t kTrackTableFull = EXITCODE_DRIVE_ACCESS;

// The flag word NeroBurn receives. The meaning of the bits without a name of ours is the
// engine's; they are set the same way for every burn.
constexpr uint32_t kSimulateFlag = 0x2;             // try the burn, write nothing
constexpr uint32_t kWriteFlag = 0x4;                // write the disc
constexpr uint32_t kUnderrunProtectionFlag = 0x40;  // buffer underrun protection
constexpr uint32_t kEveryBurnFlags = 0x8 | 0x80;
constexpr uint32_t kDataDiscFlags = 0x10 | 0x100;
// Never set: 0x1, 0x20, 0x200, 0x400, 0x1000, and 0x800, the bit of an explicit speed.

}  // namespace

// Everything zero first (the track slots stay zero for good), then the reset values.
BurnJob::BurnJob()
    : writeDisc(false), trackGapSeconds(0), underrunProtection(false), dataDisc(false), discText1(nullptr),
      discText2(nullptr), recordFlag(false), importTrack(0), audioMayReplaceKind(false), volumeName(nullptr),
      collectIsoFiles(false), compilationKind(kKindNone), imageFile(nullptr), trackCount(0), tracks(),
      videoText(nullptr), includeFolders(false) {
    Reset();
}

// The track slots are left as they are: only the first trackCount of them count.
void BurnJob::Reset() {
    driveName = nullptr;
    writeDisc = false;
    trackGapSeconds = 0;
    underrunProtection = false;
    dataDisc = false;
    discText1 = nullptr;
    discText2 = nullptr;
    recordFlag = false;
    importTrack = -1;
    audioMayReplaceKind = false;
    volumeName = nullptr;
    collectIsoFiles = false;
    compilationKind = kKindNone;
    imageFile = nullptr;
    trackCount = 0;
    isoFiles.clear();
    videoText = "";
    includeFolders = false;
    mediumType = 0;
}

void BurnJob::SetDriveName(const char* name) { driveName = name; }

void BurnJob::SetWriteDisc(bool write) { writeDisc = write; }

void BurnJob::SetTrackGap(int32_t seconds) { trackGapSeconds = seconds < 0 ? 0 : seconds; }

void BurnJob::SetUnderrunProtection(bool on) { underrunProtection = on; }

int32_t BurnJob::SetAudio(bool on) {
    if (!on) {
        compilationKind = kKindNone;
        return EXITCODE_OK;
    }
    if (compilationKind != kKindNone && !audioMayReplaceKind) return kKindAlreadyChosen;
    compilationKind = kKindAudio;
    return EXITCODE_OK;
}

// Only a track-mode job may be told again that it is one.
int32_t BurnJob::SetCompilationKind(uint32_t kind) {
    if (compilationKind != kKindNone && !(compilationKind == kKindTrackMode && kind == kKindTrackMode))
        return kKindAlreadyChosen;
    compilationKind = kind;
    return EXITCODE_OK;
}

void BurnJob::MakeDataDisc(const char* name) {
    compilationKind = kKindAudio;
    dataDisc = true;
    SetVolumeName(name);
}

void BurnJob::SetVolumeName(const char* name) {
    volumeName = name;
    collectIsoFiles = name != nullptr;
}

int32_t BurnJob::AddFile(const char* path) {
    if (collectIsoFiles || compilationKind == kKindTrackMode) {
        isoFiles.push_back(path);
        return EXITCODE_OK;
    }
    if (trackCount >= kMaxTracks) return kTrackTableFull;
    tracks[trackCount].name = path;
    ++trackCount;
    return EXITCODE_OK;
}

int32_t BurnJob::EffectiveSpeed() const { return 0; }

uint32_t BurnJob::BurnFlags() const {
    uint32_t flags = kEveryBurnFlags | (writeDisc ? kWriteFlag : kSimulateFlag);
    if (underrunProtection) flags |= kUnderrunProtectionFlag;
    if (dataDisc) flags |= kDataDiscFlags;
    return flags;
}
