#pragma once
// The single description of a burn: recorder, compilation kind, files, write options and engine
// switches. It holds texts by pointer: the caller keeps them alive and unmoved until the burn ends.

#include <cstdint>
#include <vector>

#include "engine/exit_code.h"
#include "engine/recorder_choice.h"

constexpr uint32_t kMaxTracks = 99;

struct TrackSlot {
    const char* name;
    uint32_t trackMode;
};

// Compilation kinds.
enum CompilationKind : uint32_t {
    kKindNone = 0,
    kKindAudio = 1,        // audio record, with a data track when isoFiles is not empty
    kKindVideo = 2,        // video record, first header field 0
    kKindVideoStill = 3,   // video record, first header field 1
    kKindImage = 4,
    kKindTrackMode = 5,
};

class BurnJob : public RecorderChoice {
public:
    BurnJob();

    void Reset();

    int32_t SetDriveName(const char* name);
    int32_t SetWriteDisc(bool write);
    int32_t SetTrackGap(int32_t seconds);
    int32_t SetUnderrunProtection(bool on);
    int32_t SetBurnFlag10(bool on);
    int32_t SetBurnFlag100(bool on);
    int32_t SetAudio(bool on);
    int32_t SetCompilationKind(uint32_t kind);
    int32_t SetVolumeName(const char* name);
    int32_t AddFile(const char* path);

    // The speed for NeroBurn, and the flag word.
    int32_t EffectiveSpeed() const;
    uint32_t BurnFlags() const;

    size_t isoFileCount() const { return isoFiles.size(); }
    const char* isoFile(size_t index) const { return isoFiles[index]; }
    const TrackSlot& track(uint32_t index) const { return tracks[index]; }

    // Fields, in declared order; read directly by the builders. The recorder's name and the
    // medium type are the RecorderChoice part.
    bool writeDisc;
    int32_t trackGapSeconds;
    bool burnFlag08Off;
    bool underrunProtection;
    const char* discText1;
    const char* discText2;
    int32_t fallbackSpeed;
    int32_t speed;
    bool recordFlag;
    bool burnFlag80Off;
    bool burnFlag01;
    bool burnFlag10;
    int32_t importTrack;
    bool burnFlag100;
    bool burnFlag20;
    bool isoFlag04;
    bool isoFlag08;
    bool isoFlag10;
    bool isoFlag40;
    bool importFlag02;
    bool importFlag08;
    bool importFlag04;
    bool burnFlag200;
    bool burnFlag400;
    bool audioMayReplaceKind;
    const char* volumeName;
    bool isoFlag01Off;
    bool isoFlag02;
    bool collectIsoFiles;
    bool mediumBits0C;
    bool burnFlag1000;
    uint32_t compilationKind;
    const char* imageFile;
    uint32_t trackCount;
    TrackSlot tracks[kMaxTracks];
    std::vector<const char*> isoFiles;
    const char* videoText;
    bool includeFolders;
};

// The process-wide job, shared by the engine session and the burn worker.
extern BurnJob processBurnJob;
