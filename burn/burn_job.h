#pragma once
// The single description of a burn: recorder, compilation kind, files and write options. It holds
// texts by pointer: the caller keeps them alive and unmoved until the burn ends.

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

    void SetDriveName(const char* name);
    void SetWriteDisc(bool write);
    void SetTrackGap(int32_t seconds);
    void SetUnderrunProtection(bool on);
    // 0, or 9 when a kind is already chosen and may not be replaced.
    int32_t SetAudio(bool on);
    int32_t SetCompilationKind(uint32_t kind);
    // A data disc: an audio record without audio tracks, every file added later on one data
    // track named `volumeName`. Replaces whatever kind was chosen.
    void MakeDataDisc(const char* volumeName);
    // Files added after a volume name go to the data track.
    void SetVolumeName(const char* name);
    // 0, or 11 when the track table is full (the file is left out).
    int32_t AddFile(const char* path);

    // The speed for NeroBurn: always 0, as no burn chooses one.
    int32_t EffectiveSpeed() const;
    // The flag word for NeroBurn: simulate or write, underrun protection, data disc.
    uint32_t BurnFlags() const;

    size_t isoFileCount() const { return isoFiles.size(); }
    const char* isoFile(size_t index) const { return isoFiles[index]; }
    const TrackSlot& track(uint32_t index) const { return tracks[index]; }

    // Fields; read directly by the builders. The recorder's name and the medium type are the
    // RecorderChoice part.
    bool writeDisc;
    int32_t trackGapSeconds;
    bool underrunProtection;
    bool dataDisc;  // made by MakeDataDisc
    const char* discText1;
    const char* discText2;
    bool recordFlag;
    int32_t importTrack;  // -1: the disc's last track
    bool audioMayReplaceKind;
    const char* volumeName;
    bool collectIsoFiles;
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
