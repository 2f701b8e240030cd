#include "base/text.h"
#include "burn/builder_support.h"
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

const VideoExtension& VideoExtensionOf(const char* fileName) {
    const char* extension = FileExtension(fileName);
    if (extension == nullptr) throw EXITCODE_UNKNOWN_FILE_TYPE;
    for (const VideoExtension& known : kVideoExtensions) {
        if (EqualIgnoringCase(extension, known.text)) return known;
    }
    throw EXITCODE_UNKNOWN_FILE_TYPE;
}

void FillVideoEntry(VideoItemEntry& entry, const char* fileName) {
    CopyTextField(entry.fileName, kVideoNameChars, fileName);
    const VideoExtension& kind = VideoExtensionOf(fileName);
    entry.itemKind = kind.kind;
    entry.stillPicture = kind.stillPicture;
}

void FillTrackModeEntry(TrackModeEntry& entry, const TrackSlot& slot) {
    entry.sourceKind = kTrackModeSourceFile;
    CopyTextField(entry.fileName, kRecordTextChars, slot.name);
    entry.trackMode = slot.trackMode;
}

}  // namespace

int32_t EngineSession::BuildVideoCompilation(const BurnJob& job) {
    RecordBlock<VideoRecordHeader, VideoItemEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    VideoRecordHeader& header = record.header();
    header.stillPictureDisc = job.compilationKind == kKindVideoStill ? 1 : 0;
    header.itemCount = job.trackCount;
    CopyTextField(header.text, kRecordTextChars, job.videoText);

    IsoItem* isoItems = nullptr;
    int32_t code = EXITCODE_OK;
    try {
        code = BuildIsoTrack(job, &header.dataTrack, &isoItems);
        if (code != EXITCODE_OK) throw static_cast<EXITCODE>(code);
        for (uint32_t i = 0; i < job.trackCount; ++i) FillVideoEntry(record.entry(i), job.track(i).name);
        code = BurnStep(job, kEngineFormatVideo, record.data());
    } catch (...) {
        code = CodeOfCurrentException();
    }
    ReleaseDataTrack(header.dataTrack, isoItems);
    return code;
}

int32_t EngineSession::BuildImageBurn(const BurnJob& job) {
    // Without an image there is nothing the engine could burn.
    if (job.imageFile == nullptr || job.imageFile[0] == '\0') return EXITCODE_BAD_USAGE;
    ImageRecord record = {};
    CopyTextField(record.imageFile, kRecordTextChars, job.imageFile);
    try {
        return BurnStep(job, kEngineFormatImage, &record);
    } catch (...) {
        return CodeOfCurrentException();
    }
}

int32_t EngineSession::BuildTrackModeRecord(const BurnJob& job) {
    RecordBlock<TrackModeHeader, TrackModeEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    TrackModeHeader& header = record.header();
    header.tag = kTrackModeRecordTag;
    header.trackCount = job.trackCount;
    header.discText1 = job.discText1;
    header.discText2 = job.discText2;
    header.recordFlag = job.recordFlag ? 1 : 0;

    IsoItem* isoItems = nullptr;
    int32_t code = EXITCODE_OK;
    try {
        code = BuildIsoTrack(job, &header.dataTrack, &isoItems);
        if (code != EXITCODE_OK) throw static_cast<EXITCODE>(code);
        header.discStamp = discStamp_;
        for (uint32_t i = 0; i < job.trackCount; ++i) FillTrackModeEntry(record.entry(i), job.track(i));
        header.mediumType = job.mediumType;
        code = BurnStep(job, kEngineFormatTrackMode, record.data());
    } catch (...) {
        code = CodeOfCurrentException();
    }
    ReleaseDataTrack(header.dataTrack, isoItems);
    return code;
}
