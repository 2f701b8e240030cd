#pragma once
// The engine records the compilation builders fill: the ISO item, and the audio, video, image
// and track-mode records. Zero-filled blocks of 32-bit little-endian fields and 32-bit pointers;
// every offset is pinned, since the engine reads them by position.

#include <cstddef>
#include <cstdint>

#include "engine/engine_api.h"

// Every text field of these records holds this many characters before its NUL.
constexpr size_t kRecordTextChars = 255;
constexpr size_t kVideoNameChars = 235;

// One block of audio: 2352 bytes, 1/75 of a second.
constexpr uint32_t kAudioBlockBytes = 2352;
constexpr uint32_t kBlocksPerSecond = 75;

// ---- ISO item ----

// A broken-down calendar time, nine 32-bit fields in the order of the C runtime's tm.
struct IsoEntryTime {
    int32_t seconds;          // 0
    int32_t minutes;          // 4
    int32_t hours;            // 8
    int32_t dayOfMonth;       // 12
    int32_t month;            // 16: 0 to 11
    int32_t yearsSince1900;   // 20
    int32_t dayOfWeek;        // 24
    int32_t dayOfYear;        // 28
    int32_t daylightSaving;   // 32
};

// The engine's record for one file or folder of a data track; only these fields are ours.
struct IsoItem {
    char name[256];           // 0: name on the disc
    uint32_t isFolder;        // 256
    uint32_t isReference;     // 260: set by the engine on imported items
    char sourcePath[256];     // 264: files only
    IsoItem* firstItem;       // 520: folders only
    IsoItem* nextItem;        // 524
    uint8_t engine528[16];
    IsoEntryTime entryTime;   // 544
    uint8_t engine580[12];
};
constexpr size_t kIsoItemSize = 592;

// ---- audio record ----

enum AudioSourceKind : uint32_t {
    kAudioSourceWav = 0,
    kAudioSourceCallbacks = 1,
    kAudioSourceMp3 = 2,
    kAudioSourceWma = 3,
};

struct AudioRecordHeader {
    const char* discText1;    // 0
    const char* discText2;    // 4
    void* dataTrack;          // 8
    uint32_t recordFlag;      // 12
    void* discStamp;          // 16
    uint32_t trackCount;      // 20
    uint32_t mediumType;      // 24
    uint8_t reserved28[128];
};

struct PcmSource {
    void* userData;           // 0: the open file
    PcmReadCallback read;     // 4
    PcmEofCallback endOfFile; // 8
    PcmErrorCallback error;   // 12
};

union AudioSource {
    char fileName[256];       // file kinds
    PcmSource pcm;            // read callbacks
};

struct AudioTrackEntry {
    uint32_t pauseBlocks;     // 0
    uint8_t reserved4[396];
    const char* title;        // 400
    const char* artist;       // 404
    uint32_t sourceKind;      // 408
    AudioSource source;       // 412
    uint32_t lengthBlocks;    // 668: read callbacks only
    uint8_t reserved672[128];
};

// ---- video record ----

enum VideoItemKind : uint32_t {
    kVideoItemMpeg = 0,
    kVideoItemJpeg = 1,
    kVideoItemAvi = 2,
};

struct VideoRecordHeader {
    uint32_t stillPictureDisc; // 0: 1 for kind 3
    uint32_t itemCount;        // 4
    void* dataTrack;           // 8
    char text[256];            // 12
    uint8_t reserved268[132];
};

struct VideoItemEntry {
    int32_t stillPicture;     // 0: 0 motion video, -1 still picture
    char fileName[236];       // 4
    uint8_t reserved240[20];
    uint32_t itemKind;        // 260
};

// ---- image record ----

struct ImageRecord {
    uint32_t reserved0;       // 0
    char imageFile[256];      // 4
};

// ---- track-mode record ----

constexpr uint32_t kTrackModeRecordTag = 4;
constexpr uint32_t kTrackModeSourceFile = 4;

struct TrackModeHeader {
    uint32_t tag;             // 0: always 4
    const char* discText1;    // 4
    const char* discText2;    // 8
    void* dataTrack;          // 12
    uint32_t recordFlag;      // 16
    void* discStamp;          // 20
    uint32_t trackCount;      // 24
    uint8_t reserved28[8];
    uint32_t mediumType;      // 36
    uint8_t reserved40[128];
};

struct TrackModeEntry {
    uint8_t reserved0[412];
    uint32_t sourceKind;      // 412: always 4
    char fileName[256];       // 416
    uint32_t reserved672;
    uint32_t trackMode;       // 676
};

static_assert(offsetof(IsoEntryTime, seconds) == 0, "entry time layout");
static_assert(offsetof(IsoEntryTime, minutes) == 4, "entry time layout");
static_assert(offsetof(IsoEntryTime, hours) == 8, "entry time layout");
static_assert(offsetof(IsoEntryTime, dayOfMonth) == 12, "entry time layout");
static_assert(offsetof(IsoEntryTime, month) == 16, "entry time layout");
static_assert(offsetof(IsoEntryTime, yearsSince1900) == 20, "entry time layout");
static_assert(offsetof(IsoEntryTime, dayOfWeek) == 24, "entry time layout");
static_assert(offsetof(IsoEntryTime, dayOfYear) == 28, "entry time layout");
static_assert(offsetof(IsoEntryTime, daylightSaving) == 32, "entry time layout");
static_assert(sizeof(IsoEntryTime) == 36, "entry time size");

static_assert(offsetof(IsoItem, name) == 0, "ISO item layout");
static_assert(offsetof(IsoItem, isFolder) == 256, "ISO item layout");
static_assert(offsetof(IsoItem, isReference) == 260, "ISO item layout");
static_assert(offsetof(IsoItem, sourcePath) == 264, "ISO item layout");
static_assert(offsetof(IsoItem, firstItem) == 520, "ISO item layout");
static_assert(offsetof(IsoItem, nextItem) == 524, "ISO item layout");
static_assert(offsetof(IsoItem, entryTime) == 544, "ISO item layout");
static_assert(sizeof(IsoItem) == kIsoItemSize, "ISO item size");

static_assert(offsetof(AudioRecordHeader, discText1) == 0, "audio header layout");
static_assert(offsetof(AudioRecordHeader, discText2) == 4, "audio header layout");
static_assert(offsetof(AudioRecordHeader, dataTrack) == 8, "audio header layout");
static_assert(offsetof(AudioRecordHeader, recordFlag) == 12, "audio header layout");
static_assert(offsetof(AudioRecordHeader, discStamp) == 16, "audio header layout");
static_assert(offsetof(AudioRecordHeader, trackCount) == 20, "audio header layout");
static_assert(offsetof(AudioRecordHeader, mediumType) == 24, "audio header layout");
static_assert(offsetof(AudioRecordHeader, reserved28) == 28, "audio header layout");
static_assert(sizeof(AudioRecordHeader) == 156, "audio header size");

static_assert(offsetof(PcmSource, userData) == 0, "PCM source layout");
static_assert(offsetof(PcmSource, read) == 4, "PCM source layout");
static_assert(offsetof(PcmSource, endOfFile) == 8, "PCM source layout");
static_assert(offsetof(PcmSource, error) == 12, "PCM source layout");
static_assert(sizeof(PcmSource) == 16, "PCM source size");
static_assert(sizeof(AudioSource) == 256, "audio source size");

static_assert(offsetof(AudioTrackEntry, pauseBlocks) == 0, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, reserved4) == 4, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, title) == 400, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, artist) == 404, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, sourceKind) == 408, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, source) == 412, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, lengthBlocks) == 668, "audio entry layout");
static_assert(offsetof(AudioTrackEntry, reserved672) == 672, "audio entry layout");
static_assert(sizeof(AudioTrackEntry) == 800, "audio entry size");

static_assert(offsetof(VideoRecordHeader, stillPictureDisc) == 0, "video header layout");
static_assert(offsetof(VideoRecordHeader, itemCount) == 4, "video header layout");
static_assert(offsetof(VideoRecordHeader, dataTrack) == 8, "video header layout");
static_assert(offsetof(VideoRecordHeader, text) == 12, "video header layout");
static_assert(offsetof(VideoRecordHeader, reserved268) == 268, "video header layout");
static_assert(sizeof(VideoRecordHeader) == 400, "video header size");

static_assert(offsetof(VideoItemEntry, stillPicture) == 0, "video entry layout");
static_assert(offsetof(VideoItemEntry, fileName) == 4, "video entry layout");
static_assert(offsetof(VideoItemEntry, reserved240) == 240, "video entry layout");
static_assert(offsetof(VideoItemEntry, itemKind) == 260, "video entry layout");
static_assert(sizeof(VideoItemEntry) == 264, "video entry size");

static_assert(offsetof(ImageRecord, reserved0) == 0, "image record layout");
static_assert(offsetof(ImageRecord, imageFile) == 4, "image record layout");
static_assert(sizeof(ImageRecord) == 260, "image record size");

static_assert(offsetof(TrackModeHeader, tag) == 0, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, discText1) == 4, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, discText2) == 8, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, dataTrack) == 12, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, recordFlag) == 16, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, discStamp) == 20, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, trackCount) == 24, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, reserved28) == 28, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, mediumType) == 36, "track-mode header layout");
static_assert(offsetof(TrackModeHeader, reserved40) == 40, "track-mode header layout");
static_assert(sizeof(TrackModeHeader) == 168, "track-mode header size");

static_assert(offsetof(TrackModeEntry, sourceKind) == 412, "track-mode entry layout");
static_assert(offsetof(TrackModeEntry, fileName) == 416, "track-mode entry layout");
static_assert(offsetof(TrackModeEntry, reserved672) == 672, "track-mode entry layout");
static_assert(offsetof(TrackModeEntry, trackMode) == 676, "track-mode entry layout");
static_assert(sizeof(TrackModeEntry) == 680, "track-mode entry size");
