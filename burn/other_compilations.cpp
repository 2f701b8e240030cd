#include "base/text.h"
#include "burn/builder_support.h"
#include "burn/burn.h"
#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_session.h"

namespace {

struct VideoExtension {
    const char* text;
    VideoItemKind kind;
    int32_t stillPicture;
};
// Compared in this order.
constexpr VideoExtension kVideoExtensions[] = {
    {".mpg", kVideoItemMpeg, 0},
    {".mpeg", kVideoItemMpeg, 0},
    {".avi", kVideoItemAvi, 0},
    {".jpg", kVideoItemJpeg, -1},
    {".jpeg", kVideoItemJpeg, -1},
};

// Null for a name without one of the known extensions.
const VideoExtension* VideoExtensionOf(const char* fileName) {
    const char* extension = FileExtension(fileName);
    if (extension == nullptr) return nullptr;
    for (const VideoExtension& known : kVideoExtensions) {
        if (EqualIgnoringCase(extension, known.text)) return &known;
    }
    return nullptr;
}

int32_t FillVideoEntry(VideoItemEntry& entry, const char* fileName) {
    CopyTextField(entry.fileName, kVideoNameChars, fileName);
    const VideoExtension* kind = VideoExtensionOf(fileName);
    if (kind == nullptr) return EXITCODE_UNKNOWN_FILE_TYPE;
    entry.itemKind = kind->kind;
    entry.stillPicture = kind->stillPicture;
    return EXITCODE_OK;
}

void FillTrackModeEntry(TrackModeEntry& entry, const TrackSlot& slot) {
    entry.sourceKind = kTrackModeSourceFile;
    CopyTextField(entry.fileName, kRecordTextChars, slot.name);
    entry.trackMode = slot.trackMode;
}

}  // namespace

// The data track is released before the record, by the order the owners are declared in. Only
// the data track allocates as it grows, and it keeps that to itself: no boundary is needed here.
int32_t Burner::BuildVideoCompilation(const BurnJob& job) noexcept {
    RecordBlock<VideoRecordHeader, VideoItemEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    VideoRecordHeader& header = record.header();
    header.stillPictureDisc = job.compilationKind == kKindVideoStill ? 1 : 0;
    header.itemCount = job.trackCount;
    CopyTextField(header.text, kRecordTextChars, job.videoText);

    OwnedDataTrack dataTrack(header.dataTrack);
    int32_t code = BuildIsoTrack(job, dataTrack.track(), dataTrack.root());
    if (code != EXITCODE_OK) return code;
    for (uint32_t i = 0; i < job.trackCount; ++i) {
        code = FillVideoEntry(record.entry(i), job.track(i).name);
        if (code != EXITCODE_OK) return code;
    }
    return BurnStep(job, kEngineFormatVideo, record.data());
}

int32_t Burner::BuildImageBurn(const BurnJob& job) noexcept {
    // Without an image there is nothing the engine could burn.
    if (job.imageFile == nullptr || job.imageFile[0] == '\0') return EXITCODE_BAD_USAGE;
    ImageRecord record = {};
    CopyTextField(record.imageFile, kRecordTextChars, job.imageFile);
    return BurnStep(job, kEngineFormatImage, &record);
}

int32_t Burner::BuildTrackModeRecord(const BurnJob& job) noexcept {
    RecordBlock<TrackModeHeader, TrackModeEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    TrackModeHeader& header = record.header();
    header.tag = kTrackModeRecordTag;
    header.trackCount = job.trackCount;
    header.discText1 = job.discText1;
    header.discText2 = job.discText2;
    header.recordFlag = job.recordFlag ? 1 : 0;

    OwnedDataTrack dataTrack(header.dataTrack);
    const int32_t code = BuildIsoTrack(job, dataTrack.track(), dataTrack.root());
    if (code != EXITCODE_OK) return code;
    header.discStamp = session_.discStamp();
    for (uint32_t i = 0; i < job.trackCount; ++i) FillTrackModeEntry(record.entry(i), job.track(i));
    header.mediumType = job.mediumType;
    return BurnStep(job, kEngineFormatTrackMode, record.data());
}
