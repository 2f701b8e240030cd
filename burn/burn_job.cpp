#include "burn/burn_job.h"

BurnJob processBurnJob;

namespace {
// The job reuses codes of the result table: 9 when a kind is already chosen, 11 when the track
// table is full. Callers rely on these numbers.
constexpr int32_t kKindAlreadyChosen = EXITCODE_NO_DRIVE_LIST;
constexpr int32_t kTrackTableFull = EXITCODE_DRIVE_ACCESS;
}  // namespace

// Everything zero first (the track slots stay zero for good), then the reset values.
BurnJob::BurnJob()
    : writeDisc(false), trackGapSeconds(0), burnFlag08Off(false),
      underrunProtection(false), discText1(nullptr), discText2(nullptr), fallbackSpeed(0), speed(0),
      recordFlag(false), burnFlag80Off(false), burnFlag01(false), burnFlag10(false), importTrack(0),
      burnFlag100(false), burnFlag20(false), isoFlag04(false), isoFlag08(false), isoFlag10(false),
      isoFlag40(false), importFlag02(false), importFlag08(false), importFlag04(false),
      burnFlag200(false), burnFlag400(false), audioMayReplaceKind(false), volumeName(nullptr),
      isoFlag01Off(false), isoFlag02(false), collectIsoFiles(false), mediumBits0C(false),
      burnFlag1000(false), compilationKind(kKindNone), imageFile(nullptr), trackCount(0), tracks(),
      videoText(nullptr), includeFolders(false) {
    Reset();
}

// The track slots are left as they are: only the first trackCount of them count.
void BurnJob::Reset() {
    driveName = nullptr;
    writeDisc = false;
    trackGapSeconds = 0;
    burnFlag08Off = false;
    underrunProtection = false;
    discText1 = nullptr;
    discText2 = nullptr;
    fallbackSpeed = -1;
    speed = -1;
    recordFlag = false;
    burnFlag80Off = false;
    burnFlag01 = false;
    burnFlag10 = false;
    importTrack = -1;
    burnFlag100 = false;
    burnFlag20 = false;
    isoFlag04 = false;
    isoFlag08 = false;
    isoFlag10 = false;
    isoFlag40 = false;
    importFlag02 = false;
    importFlag08 = false;
    importFlag04 = false;
    burnFlag200 = false;
    burnFlag400 = false;
    audioMayReplaceKind = false;
    volumeName = nullptr;
    isoFlag01Off = false;
    isoFlag02 = false;
    collectIsoFiles = false;
    mediumBits0C = false;
    burnFlag1000 = false;
    compilationKind = kKindNone;
    imageFile = nullptr;
    trackCount = 0;
    isoFiles.clear();
    videoText = "";
    includeFolders = false;
    mediumType = 0;
}

int32_t BurnJob::SetDriveName(const char* name) {
    driveName = name;
    return EXITCODE_OK;
}

int32_t BurnJob::SetWriteDisc(bool write) {
    writeDisc = write;
    return EXITCODE_OK;
}

int32_t BurnJob::SetTrackGap(int32_t seconds) {
    trackGapSeconds = seconds < 0 ? 0 : seconds;
    return EXITCODE_OK;
}

int32_t BurnJob::SetUnderrunProtection(bool on) {
    underrunProtection = on;
    return EXITCODE_OK;
}

int32_t BurnJob::SetBurnFlag10(bool on) {
    burnFlag10 = on;
    return EXITCODE_OK;
}

int32_t BurnJob::SetBurnFlag100(bool on) {
    burnFlag100 = on;
    return EXITCODE_OK;
}

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

int32_t BurnJob::SetVolumeName(const char* name) {
    volumeName = name;
    collectIsoFiles = name != nullptr;
    return EXITCODE_OK;
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

int32_t BurnJob::EffectiveSpeed() const {
    if (speed >= 0) return speed;
    if (fallbackSpeed >= 0) return fallbackSpeed;
    return 0;
}

uint32_t BurnJob::BurnFlags() const {
    struct FlagRule {
        bool set;
        uint32_t bit;
    };
    const FlagRule rules[] = {
        {burnFlag01, 0x1},        {!writeDisc, 0x2},       {writeDisc, 0x4},
        {!burnFlag08Off, 0x8},    {burnFlag10, 0x10},      {burnFlag20, 0x20},
        {underrunProtection, 0x40}, {!burnFlag80Off, 0x80}, {burnFlag100, 0x100},
        {burnFlag200, 0x200},     {burnFlag400, 0x400},    {speed >= 0, 0x800},
        {burnFlag1000, 0x1000},
    };
    uint32_t flags = 0;
    for (const FlagRule& rule : rules)
        if (rule.set) flags |= rule.bit;
    return flags;
}
