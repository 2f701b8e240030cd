#include "recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "iso_image.h"
#include "ledger.h"
#include "log_writer.h"
#include "mp3_decoder.h"
#include "base/handles.h"
#include "raw_memory.h"
#include "record_sizes.h"
#include "stand-ins/code_page_text.h"

namespace standin {
namespace {

// What an audio disc holds, and how it counts.
constexpr uint32_t kMostTracks = 99;
constexpr DWORD kSimulateFlag = 0x2;
constexpr size_t kBlockBytes = 2352;
constexpr uint32_t kBlocksPerSecond = 75;

enum SourceKind : uint32_t { kWav = 0, kCallbacks = 1, kMp3 = 2, kWma = 3 };

typedef DWORD(__cdecl* PcmReadFn)(void* userData, BYTE* buffer, DWORD size);
typedef BOOL(__cdecl* PcmTestFn)(void* userData);

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// "disc-N" with the first N that names no image yet, so burns never overwrite each other.
std::string NextImageBase(const std::string& folder) {
    for (int n = 1;; ++n) {
        std::string base = folder + "\\disc-" + std::to_string(n);
        if (!Exists(base + ".iso") && !Exists(base + ".bin") && !Exists(base + ".cue")) return base;
    }
}

// ---- data track ----

IsoTime ItemTime(const void* item) {
    IsoTime time;
    time.seconds = ReadI32(item, 544);
    time.minutes = ReadI32(item, 548);
    time.hours = ReadI32(item, 552);
    time.day = ReadI32(item, 556);
    time.month = ReadI32(item, 560);
    time.yearsSince1900 = ReadI32(item, 564);
    return time;
}

IsoTime Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    IsoTime time;
    time.seconds = now.wSecond;
    time.minutes = now.wMinute;
    time.hours = now.wHour;
    time.day = now.wDay;
    time.month = now.wMonth - 1;
    time.yearsSince1900 = now.wYear - 1900;
    return time;
}

class ChainReader {
public:
    bool Read(const void* item, IsoNode& folder, std::string& error) {
        for (; item; item = ReadPointer(item, 524)) {
            if (!Readable(item, kIsoItemSize) || !seen_.insert(item).second || seen_.size() > kMostIsoItems) {
                error = "the ISO item chain is broken";
                return false;
            }
            IsoNode node;
            node.name = FieldText(item, 0, 256);
            node.folder = ReadU32(item, 256) != 0;
            node.time = ItemTime(item);
            if (node.folder) {
                ++folders_;
                if (!Read(ReadPointer(item, 520), node, error)) return false;
            } else {
                ++files_;
                node.source = FieldText(item, 264, 256);
            }
            folder.children.push_back(std::move(node));
        }
        return true;
    }
    size_t files() const { return files_; }
    size_t folders() const { return folders_; }

private:
    std::set<const void*> seen_;
    size_t files_ = 0;
    size_t folders_ = 0;
};

bool RecordDataTrack(const void* track, const std::string& base, std::string& error) {
    BlockInfo info;
    {
        LedgerLock lock;
        if (!TheLedger().FindLive(track, info) || info.kind != BlockKind::IsoTrack) {
            error = "the data track is not a live ISO track";
            return false;
        }
    }
    IsoNode root;
    root.folder = true;
    root.time = Now();
    ChainReader reader;
    if (!reader.Read(info.isoRoot, root, error)) return false;
    std::string image = base + ".iso";
    if (!WriteIsoImage(image, info.isoName, root, error)) return false;
    WriteLog(LogLine("step", "record")
                 .Raw("kind", "data")
                 .Text("image", image)
                 .Text("volume", info.isoName)
                 .Number("files", static_cast<long long>(reader.files()))
                 .Number("folders", static_cast<long long>(reader.folders())));
    return true;
}

// ---- audio tracks ----

// Writes whole 2352-byte blocks; a track's last part block is padded or dropped at its end.
class BlockWriter {
public:
    explicit BlockWriter(std::FILE* file) : file_(file) {}

    bool Write(const uint8_t* data, size_t size) {
        partial_.insert(partial_.end(), data, data + size);
        size_t whole = partial_.size() / kBlockBytes * kBlockBytes;
        if (whole == 0) return true;
        bool ok = std::fwrite(partial_.data(), 1, whole, file_) == whole;
        partial_.erase(partial_.begin(), partial_.begin() + whole);
        blocks_ += static_cast<uint32_t>(whole / kBlockBytes);
        return ok;
    }
    bool EndTrack(bool padLastBlock) {
        bool ok = true;
        if (padLastBlock && !partial_.empty()) {
            partial_.resize(kBlockBytes, 0);
            ok = Write(nullptr, 0);
        }
        partial_.clear();
        return ok;
    }
    uint32_t blocks() const { return blocks_; }

private:
    std::FILE* file_;
    std::vector<uint8_t> partial_;
    uint32_t blocks_ = 0;
};

struct TrackEntry {
    uint32_t index = 0;
    uint32_t pauseBlocks = 0;
    uint32_t kind = 0;
    std::string file;
    const void* userData = nullptr;
    const void* read = nullptr;
    const void* endOfFile = nullptr;
    const void* error = nullptr;
};

bool CopyWavData(std::FILE* in, uint32_t size, BlockWriter& out, std::string& error) {
    std::vector<uint8_t> buffer(64 * 1024);
    while (size > 0) {
        size_t got = std::fread(buffer.data(), 1, std::min<size_t>(buffer.size(), size), in);
        if (got == 0) break;  // a short data chunk is burnt as far as it goes
        if (!out.Write(buffer.data(), got)) {
            error = "writing the image failed";
            return false;
        }
        size -= static_cast<uint32_t>(got);
    }
    return true;
}

// Only CD audio itself: 16-bit stereo PCM at 44.1 kHz.
bool WriteWavTrack(const std::string& path, BlockWriter& out, std::string& error) {
    UniqueCFile in(std::fopen(path.c_str(), "rb"));
    uint8_t riff[12];
    if (!in || std::fread(riff, 1, 12, in.get()) != 12) {
        error = "cannot read it";
        return false;
    }
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error = "it is not a WAV file";
        return false;
    }
    bool formatSeen = false;
    uint8_t chunk[8];
    while (std::fread(chunk, 1, 8, in.get()) == 8) {
        uint32_t size = ReadU32(chunk, 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16] = {};
            if (size < 16 || std::fread(format, 1, 16, in.get()) != 16) break;
            uint32_t tag = ReadU16(format, 0), channels = ReadU16(format, 2);
            uint32_t rate = ReadU32(format, 4), bits = ReadU16(format, 14);
            if (tag != 1 || channels != 2 || rate != 44100 || bits != 16) {
                error = "its WAV format is not CD audio (format " + std::to_string(tag) + ", " + std::to_string(channels) +
                        " channels, " + std::to_string(rate) + " Hz, " + std::to_string(bits) +
                        " bits; 16-bit stereo PCM at 44100 Hz is needed)";
                return false;
            }
            formatSeen = true;
            std::fseek(in.get(), static_cast<long>(size - 16 + (size & 1)), SEEK_CUR);
        } else if (std::memcmp(chunk, "data", 4) == 0 && formatSeen) {
            return CopyWavData(in.get(), size, out, error);
        } else {
            std::fseek(in.get(), static_cast<long>(size + (size & 1)), SEEK_CUR);
        }
    }
    error = "it has no format and data chunks";
    return false;
}

bool WriteCallbackTrack(const TrackEntry& track, uint32_t chunk, BlockWriter& out, std::string& error) {
    if (!track.read || !track.endOfFile || !track.error) {
        error = "its read callbacks are missing";
        return false;
    }
    std::vector<BYTE> buffer(chunk);
    void* user = const_cast<void*>(track.userData);
    for (;;) {
        DWORD got = reinterpret_cast<PcmReadFn>(const_cast<void*>(track.read))(user, buffer.data(), chunk);
        if (got > chunk || !out.Write(buffer.data(), got)) {
            error = "reading it through its callbacks failed";
            return false;
        }
        bool atEnd = reinterpret_cast<PcmTestFn>(const_cast<void*>(track.endOfFile))(user) != FALSE;
        if (atEnd || got == 0) break;
    }
    if (reinterpret_cast<PcmTestFn>(const_cast<void*>(track.error))(user)) {
        error = "its error callback reported a read error";
        return false;
    }
    return true;
}

bool WriteMp3Track(const std::string& path, BlockWriter& out, std::string& error) {
    return DecodeMp3File(path, [&](const uint8_t* data, size_t size) { return out.Write(data, size); }, error);
}

std::string TrackName(const TrackEntry& track) {
    return "track " + std::to_string(track.index + 1) +
           (track.kind == kCallbacks ? " (read callbacks)" : " (\"" + track.file + "\")");
}

bool WriteTrack(const TrackEntry& track, const Scenario& scenario, BlockWriter& out, std::string& error) {
    std::string why;
    bool ok = false;
    switch (track.kind) {
    case kWav: ok = WriteWavTrack(track.file, out, why); break;
    case kCallbacks: ok = WriteCallbackTrack(track, scenario.pcmChunk, out, why); break;
    case kMp3: ok = WriteMp3Track(track.file, out, why); break;
    case kWma: why = "the recorder cannot decode WMA"; break;
    default: why = "its source kind " + std::to_string(track.kind) + " is unknown"; break;
    }
    // Raw audio comes in whole blocks only; decoded files end in a padded block.
    ok = ok && out.EndTrack(track.kind != kCallbacks);
    if (!ok) error = "cannot write " + TrackName(track) + ": " + why;
    return ok;
}

std::vector<TrackEntry> TrackEntries(const void* record) {
    std::vector<TrackEntry> tracks;
    uint32_t count = ReadU32(record, 20);
    for (uint32_t i = 0; i < count && i < kMostTracks; ++i) {
        const uint8_t* entry = static_cast<const uint8_t*>(record) + kAudioHeaderSize + kAudioEntrySize * i;
        if (!Readable(entry, kAudioEntrySize)) break;
        TrackEntry track;
        track.index = i;
        track.pauseBlocks = ReadU32(entry, 0);
        track.kind = ReadU32(entry, 408);
        if (track.kind == kCallbacks) {
            track.userData = ReadPointer(entry, 412);
            track.read = ReadPointer(entry, 416);
            track.endOfFile = ReadPointer(entry, 420);
            track.error = ReadPointer(entry, 424);
        } else {
            track.file = FieldText(entry, 412, 256);
        }
        tracks.push_back(track);
    }
    return tracks;
}

std::string Msf(uint32_t blocks) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", blocks / (kBlocksPerSecond * 60), blocks / kBlocksPerSecond % 60,
                  blocks % kBlocksPerSecond);
    return text;
}

bool RecordAudioTracks(const void* record, const Scenario& scenario, const std::string& base, std::string& error) {
    std::vector<TrackEntry> tracks = TrackEntries(record);
    std::string binPath = base + ".bin";
    UniqueCFile bin(std::fopen(binPath.c_str(), "wb"));
    if (!bin) {
        error = "cannot create " + binPath;
        return false;
    }
    BlockWriter out(bin.get());
    std::string cue = "FILE \"" + NameOfPath(binPath) + "\" BINARY\r\n";
    for (const TrackEntry& track : tracks) {
        char number[8];
        std::snprintf(number, sizeof number, "%02u", track.index + 1);
        cue += std::string("  TRACK ") + number + " AUDIO\r\n";
        if (track.pauseBlocks) cue += "    PREGAP " + Msf(track.pauseBlocks) + "\r\n";
        cue += "    INDEX 01 " + Msf(out.blocks()) + "\r\n";
        if (!WriteTrack(track, scenario, out, error)) return false;
    }
    bin.reset();
    std::string cuePath = base + ".cue";
    UniqueCFile cueFile(std::fopen(cuePath.c_str(), "wb"));
    if (!cueFile || std::fwrite(cue.data(), 1, cue.size(), cueFile.get()) != cue.size()) {
        error = "cannot write " + cuePath;
        return false;
    }
    WriteLog(LogLine("step", "record")
                 .Raw("kind", "audio")
                 .Text("image", binPath)
                 .Text("cue", cuePath)
                 .Number("tracks", static_cast<long long>(tracks.size()))
                 .Number("blocks", out.blocks()));
    return true;
}

bool Record(const Scenario& scenario, const void* record, std::string& error) {
    if (!Readable(record, kAudioHeaderSize)) {
        error = "the audio record is unreadable";
        return false;
    }
    std::string base = NextImageBase(scenario.outputFolder);
    const void* dataTrack = ReadPointer(record, 8);
    bool written = (!dataTrack || RecordDataTrack(dataTrack, base, error)) &&
                   (ReadU32(record, 20) == 0 || RecordAudioTracks(record, scenario, base, error));
    // A failed burn leaves no half-written disc behind.
    if (!written) {
        for (const char* extension : {".iso", ".bin", ".cue"}) DeleteFileA((base + extension).c_str());
    }
    return written;
}

}  // namespace

int32_t RecordBurn(const Scenario& scenario, int32_t format, const void* record, DWORD flags, std::string& error) {
    if (flags & kSimulateFlag) {
        WriteLog(LogLine("step", "record").Flag("simulated", true).Raw("written", "none"));
        return 0;
    }
    if (format != 0) {
        WriteLog(LogLine("step", "record").Number("format", format).Raw("written", "none"));
        return 0;
    }
    if (Record(scenario, record, error)) return 0;
    WriteLog(LogLine("step", "record").Text("error", error).Number("result", kRecordFailedResult));
    return kRecordFailedResult;
}

}  // namespace standin
