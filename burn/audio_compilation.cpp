#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "burn/builder_support.h"
#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_session.h"

namespace {

constexpr uint32_t kFirstTrackPauseBlocks = 2 * kBlocksPerSecond;
constexpr uint32_t kMediumBits0C = 0x0C;

struct AudioExtension {
    const char* text;
    AudioSourceKind kind;
};
// Compared in this order.
constexpr AudioExtension kAudioExtensions[] = {
    {".wav", kAudioSourceWav},
    {".mp3", kAudioSourceMp3},
    {".wma", kAudioSourceWma},
    {".pcm", kAudioSourceCallbacks},
};

extern "C" DWORD __cdecl ReadPcm(void* userData, BYTE* buffer, DWORD size) {
    return static_cast<DWORD>(std::fread(buffer, 1, size, static_cast<std::FILE*>(userData)));
}

extern "C" BOOL __cdecl PcmAtEnd(void* userData) {
    return std::feof(static_cast<std::FILE*>(userData)) != 0;
}

extern "C" BOOL __cdecl PcmFailed(void* userData) {
    return std::ferror(static_cast<std::FILE*>(userData)) != 0;
}

AudioSourceKind SourceKindOf(const char* fileName) {
    const char* extension = FileExtension(fileName);
    if (extension == nullptr) throw EXITCODE_UNKNOWN_FILE_TYPE;
    for (const AudioExtension& known : kAudioExtensions) {
        if (EqualIgnoringCase(extension, known.text)) return known.kind;
    }
    throw EXITCODE_UNKNOWN_FILE_TYPE;
}

uint32_t PcmLengthInBlocks(const char* fileName) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(fileName, GetFileExInfoStandard, &attributes)) throw EXITCODE_FILE_LENGTH;
    const unsigned long long size =
        (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    return static_cast<uint32_t>(size / kAudioBlockBytes);
}

// A ".pcm" track is read by the engine through our callbacks from a file we keep open.
void PreparePcmEntry(AudioTrackEntry& entry, const char* fileName, std::vector<UniqueCFile>& openFiles) {
    entry.lengthBlocks = PcmLengthInBlocks(fileName);
    UniqueCFile file(std::fopen(fileName, "rb"));
    if (!file) throw EXITCODE_FILE_OPEN;
    entry.source.pcm.userData = file.get();
    entry.source.pcm.read = ReadPcm;
    entry.source.pcm.endOfFile = PcmAtEnd;
    entry.source.pcm.error = PcmFailed;
    openFiles.push_back(std::move(file));
}

void FillAudioEntry(AudioTrackEntry& entry, uint32_t index, const BurnJob& job,
                    std::vector<UniqueCFile>& openFiles) {
    entry.pauseBlocks =
        index == 0 ? kFirstTrackPauseBlocks : static_cast<uint32_t>(job.trackGapSeconds) * kBlocksPerSecond;
    const char* fileName = job.track(index).name;
    entry.sourceKind = SourceKindOf(fileName);
    if (entry.sourceKind == kAudioSourceCallbacks) {
        PreparePcmEntry(entry, fileName, openFiles);
    } else {
        CopyTextField(entry.source.fileName, kRecordTextChars, fileName);
    }
}

void CloseInOrder(std::vector<UniqueCFile>& files) {
    for (UniqueCFile& file : files) file.reset();
}

}  // namespace

int32_t EngineSession::BuildAudioCompilation(const BurnJob& job) {
    RecordBlock<AudioRecordHeader, AudioTrackEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    AudioRecordHeader& header = record.header();
    header.trackCount = job.trackCount;
    header.discText1 = job.discText1;
    header.discText2 = job.discText2;
    header.recordFlag = job.recordFlag ? 1 : 0;
    header.mediumType = job.mediumType | (job.mediumBits0C ? kMediumBits0C : 0);

    IsoItem* isoItems = nullptr;
    std::vector<UniqueCFile> openFiles;
    int32_t code = EXITCODE_OK;
    try {
        code = BuildIsoTrack(job, &header.dataTrack, &isoItems);
        if (code != EXITCODE_OK) throw static_cast<EXITCODE>(code);
        header.discStamp = discStamp_;
        openFiles.reserve(job.trackCount);
        for (uint32_t i = 0; i < job.trackCount; ++i) FillAudioEntry(record.entry(i), i, job, openFiles);
        code = BurnStep(job, kEngineFormatAudio, record.data());
    } catch (...) {
        code = CodeOfCurrentException();
    }
    ReleaseDataTrack(header.dataTrack, isoItems);
    CloseInOrder(openFiles);
    return code;
}
