#include <windows.h>

#include <cstdio>
#include <utility>

#include "base/handles.h"
#include "base/text.h"
#include "burn/builder_support.h"
#include "burn/burn.h"
#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_session.h"

namespace {

constexpr uint32_t kFirstTrackPauseBlocks = 2 * kBlocksPerSecond;

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

// 20 for a name without a known extension.
int32_t SourceKindOf(const char* fileName, uint32_t& kind) {
    const char* extension = FileExtension(fileName);
    if (extension == nullptr) return EXITCODE_UNKNOWN_FILE_TYPE;
    for (const AudioExtension& known : kAudioExtensions) {
        if (EqualIgnoringCase(extension, known.text)) {
            kind = known.kind;
            return EXITCODE_OK;
        }
    }
    return EXITCODE_UNKNOWN_FILE_TYPE;
}

int32_t PcmLengthInBlocks(const char* fileName, uint32_t& blocks) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (!GetFileAttributesExA(fileName, GetFileExInfoStandard, &attributes)) return EXITCODE_FILE_LENGTH;
    const unsigned long long size =
        (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    blocks = static_cast<uint32_t>(size / kAudioBlockBytes);
    return EXITCODE_OK;
}

// A ".pcm" track is read by the engine through our callbacks from a file we keep open.
int32_t PreparePcmEntry(AudioTrackEntry& entry, const char* fileName, OpenPcmFiles& pcmFiles) {
    int32_t code = PcmLengthInBlocks(fileName, entry.lengthBlocks);
    if (code != EXITCODE_OK) return code;
    UniqueCFile file(std::fopen(fileName, "rb"));
    if (!file) return EXITCODE_FILE_OPEN;
    entry.source.pcm.userData = file.get();
    entry.source.pcm.read = ReadPcm;
    entry.source.pcm.endOfFile = PcmAtEnd;
    entry.source.pcm.error = PcmFailed;
    pcmFiles.Keep(std::move(file));
    return EXITCODE_OK;
}

int32_t FillAudioEntry(AudioTrackEntry& entry, uint32_t index, const BurnJob& job, OpenPcmFiles& pcmFiles) {
    entry.pauseBlocks =
        index == 0 ? kFirstTrackPauseBlocks : static_cast<uint32_t>(job.trackGapSeconds) * kBlocksPerSecond;
    const char* fileName = job.track(index).name;
    int32_t code = SourceKindOf(fileName, entry.sourceKind);
    if (code != EXITCODE_OK) return code;
    if (entry.sourceKind == kAudioSourceCallbacks) return PreparePcmEntry(entry, fileName, pcmFiles);
    return CopyPathField(entry.source.fileName, fileName) ? EXITCODE_OK : EXITCODE_PATH_TOO_LONG;
}

// The first failing track ends the build before the engine is asked to burn. Declared in this
// order, the owners release the data track first, then the files, then the record.
int32_t BuildAudio(Burner& burner, const BurnJob& job) {
    RecordBlock<AudioRecordHeader, AudioTrackEntry> record(job.trackCount);
    if (!record.allocated()) return EXITCODE_OUT_OF_MEMORY;
    AudioRecordHeader& header = record.header();
    header.trackCount = job.trackCount;
    header.discText1 = job.discText1;
    header.discText2 = job.discText2;
    header.recordFlag = job.recordFlag ? 1 : 0;
    header.mediumType = job.mediumType;

    OpenPcmFiles pcmFiles;
    OwnedDataTrack dataTrack(header.dataTrack);
    int32_t code = burner.BuildIsoTrack(job, dataTrack.track(), dataTrack.root());
    if (code != EXITCODE_OK) return code;
    header.discStamp = burner.session().discStamp();
    pcmFiles.Reserve(job.trackCount);
    for (uint32_t i = 0; i < job.trackCount; ++i) {
        code = FillAudioEntry(record.entry(i), i, job, pcmFiles);
        if (code == EXITCODE_PATH_TOO_LONG) burner.NoteFailedFile(job.track(i).name);
        if (code != EXITCODE_OK) return code;
    }
    return burner.BurnStep(job, kEngineFormatAudio, record.data());
}

}  // namespace

int32_t Burner::BuildAudioCompilation(const BurnJob& job) noexcept {
    return AtBuilderBoundary([&] { return BuildAudio(*this, job); });
}
