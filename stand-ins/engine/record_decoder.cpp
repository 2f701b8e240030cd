#include "record_decoder.h"
#include "record_sizes.h"

#include <windows.h>

#include <set>

#include "ledger.h"
#include "log_writer.h"
#include "raw_memory.h"

namespace standin {
namespace {

// Byte layouts, written out here on purpose instead of taken from the plug-in's structs.
constexpr size_t kVideoHeaderSize = 400;
constexpr size_t kVideoEntrySize = 264;
constexpr size_t kImageRecordSize = 260;
constexpr size_t kTrackModeHeaderSize = 168;
constexpr size_t kTrackModeEntrySize = 680;
constexpr uint32_t kMostEntriesDecoded = 1000;

struct DeviceLayout {
    const char* name;
    size_t size;
    size_t nameWidth, shortText, words, letter, capabilities;
    size_t count1, speeds1, count2, speeds2, tableEntries;
    size_t word1, text, textWidth, word2;
};
constexpr DeviceLayout kCurrentDevice{"current", kDeviceRecordSize, 64, 64, 72, 84, 88, 92, 356, 740, 1004, 64,
                                      1388, 1392, 64, 1456};
constexpr DeviceLayout kOlderDevice{"older", kOlderDeviceRecordSize, 32, 32, 40, 52, 56, 60, 64, 144, 148, 20,
                                    228, 232, 32, 264};

std::vector<uint32_t> SpeedTable(const void* record, size_t countOffset, size_t entriesOffset, size_t capacity) {
    uint32_t count = ReadU32(record, countOffset);
    std::vector<uint32_t> entries;
    for (uint32_t i = 0; i < count && i < capacity; ++i) entries.push_back(ReadU32(record, entriesOffset + 4 * i));
    return entries;
}

std::string WordList(const void* record, size_t offset) {
    return std::to_string(ReadU32(record, offset)) + "," + std::to_string(ReadU32(record, offset + 4)) + "," +
           std::to_string(ReadU32(record, offset + 8));
}

std::string IsoTrackName(const void* track) {
    if (!track) return "\"\"";
    LedgerLock lock;
    BlockInfo info;
    if (!TheLedger().FindLive(track, info) || info.kind != BlockKind::IsoTrack) return "<unknown>";
    return QuoteText(info.isoName);
}

bool KnownIsoItem(const void* item) {
    LedgerLock lock;
    BlockInfo info;
    return TheLedger().FindLive(item, info) &&
           (info.kind == BlockKind::IsoItem || info.kind == BlockKind::ImportedItem);
}

std::vector<uint32_t> Dirty(const void* base, std::initializer_list<std::pair<size_t, size_t>> zeroRanges) {
    std::vector<uint32_t> offsets;
    for (const auto& range : zeroRanges) NonZeroOffsets(base, range.first, range.second, offsets);
    return offsets;
}

class IsoChainWriter {
public:
    void Write(const void* root) {
        WriteChain(root, 0, "");
        if (!error_.empty()) {
            LogLine line("rec", "isochain");
            line.Raw("error", error_);
            if (errorItem_) line.Pointer("item", errorItem_);
            WriteLog(line);
        }
        WriteLog(LogLine("rec", "isochain").Number("items", static_cast<long long>(count_)));
    }

private:
    void WriteChain(const void* item, int depth, const std::string& parentPath) {
        for (int index = 0; item && error_.empty(); ++index) {
            if (!seen_.insert(item).second) {
                error_ = "loop";
                return;
            }
            if (++count_ > kMostIsoItems) {
                error_ = "too-long";
                return;
            }
            if (!Readable(item, kIsoItemSize)) {
                error_ = "unreadable";
                errorItem_ = item;
                return;
            }
            std::string name = FieldText(item, 0, 256);
            std::string path = parentPath.empty() ? name : parentPath + "/" + name;
            uint32_t folder = ReadU32(item, 256);
            WriteItem(item, depth, index, path, name, folder);
            if (folder) WriteChain(ReadPointer(item, 520), depth + 1, path);
            item = ReadPointer(item, 524);
        }
    }

    void WriteItem(const void* item, int depth, int index, const std::string& path, const std::string& name,
                   uint32_t folder) {
        std::string time;
        for (size_t field = 0; field < 9; ++field) {
            if (field) time += ',';
            time += std::to_string(ReadI32(item, 544 + 4 * field));
        }
        WriteLog(LogLine("rec", "isoitem")
                     .Number("depth", depth)
                     .Number("index", index)
                     .Text("path", path)
                     .Pointer("item", item)
                     .Flag("known", KnownIsoItem(item))
                     .Text("name", name)
                     .Number("folder", folder)
                     .Number("reference", ReadU32(item, 260))
                     .Text("source", folder ? std::string() : FieldText(item, 264, 256))
                     .Raw("time", time));
    }

    std::set<const void*> seen_;
    size_t count_ = 0;
    std::string error_;
    const void* errorItem_ = nullptr;
};

void LogAudioRecord(const void* record) {
    if (!Readable(record, kAudioHeaderSize)) {
        WriteLog(LogLine("rec", "audio").Raw("error", "unreadable"));
        return;
    }
    uint32_t count = ReadU32(record, 20);
    const void* isoTrack = ReadPointer(record, 8);
    WriteLog(LogLine("rec", "audio")
                 .PointerText("discText1", ReadPointer(record, 0))
                 .PointerText("discText2", ReadPointer(record, 4))
                 .Pointer("isoTrack", isoTrack)
                 .Raw("isoTrackName", IsoTrackName(isoTrack))
                 .Number("recordFlag", ReadU32(record, 12))
                 .Pointer("stamp", ReadPointer(record, 16))
                 .Number("count", count)
                 .Hex("medium", ReadU32(record, 24))
                 .List("dirty", Dirty(record, {{28, kAudioHeaderSize}})));
    for (uint32_t i = 0; i < count && i < kMostEntriesDecoded; ++i) {
        const uint8_t* entry = static_cast<const uint8_t*>(record) + kAudioHeaderSize + kAudioEntrySize * i;
        if (!Readable(entry, kAudioEntrySize)) {
            WriteLog(LogLine("rec", "audiotrack").Number("index", i).Raw("error", "unreadable"));
            return;
        }
        uint32_t kind = ReadU32(entry, 408);
        LogLine line("rec", "audiotrack");
        line.Number("index", i).Number("pause", ReadU32(entry, 0)).Number("kind", kind);
        if (kind == 1) {
            line.Pointer("user", ReadPointer(entry, 412))
                .Flag("read", ReadPointer(entry, 416) != nullptr)
                .Flag("eof", ReadPointer(entry, 420) != nullptr)
                .Flag("error", ReadPointer(entry, 424) != nullptr)
                .Number("blocks", ReadU32(entry, 668))
                .List("dirty", Dirty(entry, {{4, 408}, {428, 668}, {672, kAudioEntrySize}}));
        } else {
            line.Text("file", FieldText(entry, 412, 256))
                .Number("blocks", ReadU32(entry, 668))
                .List("dirty", Dirty(entry, {{4, 408}, {672, kAudioEntrySize}}));
        }
        WriteLog(line);
    }
}

void LogVideoRecord(const void* record) {
    if (!Readable(record, kVideoHeaderSize)) {
        WriteLog(LogLine("rec", "video").Raw("error", "unreadable"));
        return;
    }
    uint32_t count = ReadU32(record, 4);
    const void* isoTrack = ReadPointer(record, 8);
    WriteLog(LogLine("rec", "video")
                 .Number("still", ReadU32(record, 0))
                 .Number("count", count)
                 .Pointer("isoTrack", isoTrack)
                 .Raw("isoTrackName", IsoTrackName(isoTrack))
                 .Text("text", FieldText(record, 12, 256))
                 .List("dirty", Dirty(record, {{268, kVideoHeaderSize}})));
    for (uint32_t i = 0; i < count && i < kMostEntriesDecoded; ++i) {
        const uint8_t* entry = static_cast<const uint8_t*>(record) + kVideoHeaderSize + kVideoEntrySize * i;
        if (!Readable(entry, kVideoEntrySize)) {
            WriteLog(LogLine("rec", "videoitem").Number("index", i).Raw("error", "unreadable"));
            return;
        }
        WriteLog(LogLine("rec", "videoitem")
                     .Number("index", i)
                     .Number("field0", ReadI32(entry, 0))
                     .Text("file", FieldText(entry, 4, 236))
                     .Number("kind", ReadU32(entry, 260))
                     .List("dirty", Dirty(entry, {{240, 260}})));
    }
}

void LogImageRecord(const void* record) {
    if (!Readable(record, kImageRecordSize)) {
        WriteLog(LogLine("rec", "image").Raw("error", "unreadable"));
        return;
    }
    WriteLog(LogLine("rec", "image").Number("field0", ReadU32(record, 0)).Text("file", FieldText(record, 4, 256)));
}

void LogTrackModeRecord(const void* record) {
    if (!Readable(record, kTrackModeHeaderSize)) {
        WriteLog(LogLine("rec", "trackmode").Raw("error", "unreadable"));
        return;
    }
    uint32_t count = ReadU32(record, 24);
    const void* isoTrack = ReadPointer(record, 12);
    WriteLog(LogLine("rec", "trackmode")
                 .Number("const", ReadU32(record, 0))
                 .PointerText("discText1", ReadPointer(record, 4))
                 .PointerText("discText2", ReadPointer(record, 8))
                 .Pointer("isoTrack", isoTrack)
                 .Raw("isoTrackName", IsoTrackName(isoTrack))
                 .Number("recordFlag", ReadU32(record, 16))
                 .Pointer("stamp", ReadPointer(record, 20))
                 .Number("count", count)
                 .Hex("medium", ReadU32(record, 36))
                 .List("dirty", Dirty(record, {{28, 36}, {40, kTrackModeHeaderSize}})));
    for (uint32_t i = 0; i < count && i < kMostEntriesDecoded; ++i) {
        const uint8_t* entry = static_cast<const uint8_t*>(record) + kTrackModeHeaderSize + kTrackModeEntrySize * i;
        if (!Readable(entry, kTrackModeEntrySize)) {
            WriteLog(LogLine("rec", "tmtrack").Number("index", i).Raw("error", "unreadable"));
            return;
        }
        WriteLog(LogLine("rec", "tmtrack")
                     .Number("index", i)
                     .Number("source", ReadU32(entry, 412))
                     .Text("file", FieldText(entry, 416, 256))
                     .Number("mode", ReadU32(entry, 676))
                     .List("dirty", Dirty(entry, {{0, 412}, {672, 676}})));
    }
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

void LogEngineSettings(const void* settings) {
    if (!Readable(settings, 40)) {
        WriteLog(LogLine("rec", "settings").Raw("error", settings ? "unreadable" : "null"));
        return;
    }
    WriteLog(LogLine("rec", "settings")
                 .PointerText("filesPath", ReadPointer(settings, 0))
                 .PointerText("vendor", ReadPointer(settings, 4))
                 .PointerText("software", ReadPointer(settings, 8))
                 .PointerText("languageFile", ReadPointer(settings, 12))
                 .Flag("idle", ReadPointer(settings, 16) != nullptr)
                 .Pointer("idleUserData", ReadPointer(settings, 20))
                 .Flag("userDialog", ReadPointer(settings, 24) != nullptr)
                 .Pointer("userDialogUserData", ReadPointer(settings, 28))
                 .Number("overburn", ReadU32(settings, 32))
                 .Number("overburnSize", ReadU32(settings, 36)));
}

void LogProgressRecord(const void* progress) {
    if (!Readable(progress, 32)) {
        WriteLog(LogLine("rec", "progress").Raw("error", progress ? "unreadable" : "null"));
        return;
    }
    WriteLog(LogLine("rec", "progress")
                 .Flag("progress", ReadPointer(progress, 0) != nullptr)
                 .Flag("aborted", ReadPointer(progress, 4) != nullptr)
                 .Flag("addLogLine", ReadPointer(progress, 8) != nullptr)
                 .Flag("setPhase", ReadPointer(progress, 12) != nullptr)
                 .Pointer("userData", ReadPointer(progress, 16))
                 .Flag("disableAbort", ReadPointer(progress, 20) != nullptr)
                 .Flag("setMajorPhase", ReadPointer(progress, 24) != nullptr)
                 .Pointer("further", ReadPointer(progress, 28)));
}

int32_t DriveListIndex(const void* device) {
    LedgerLock lock;
    auto address = reinterpret_cast<uintptr_t>(device);
    for (const auto& entry : TheLedger().LiveBlocks(BlockKind::DriveList)) {
        auto first = reinterpret_cast<uintptr_t>(entry.first) + 4;
        if (address < first || address >= first + (entry.second.size - 4)) continue;
        if ((address - first) % kDeviceRecordSize != 0) continue;
        return static_cast<int32_t>((address - first) / kDeviceRecordSize);
    }
    return -1;
}

void LogDeviceRecord(const void* device, uint32_t apiVersion) {
    const DeviceLayout& layout = apiVersion < 5555 ? kOlderDevice : kCurrentDevice;
    if (!Readable(device, layout.size)) {
        WriteLog(LogLine("rec", "device").Raw("layout", layout.name).Raw("error", device ? "unreadable" : "null"));
        return;
    }
    bool terminated = false;
    std::string name = FieldText(device, 0, layout.nameWidth, &terminated);
    WriteLog(LogLine("rec", "device")
                 .Raw("layout", layout.name)
                 .Number("listIndex", DriveListIndex(device))
                 .Text("name", name)
                 .Flag("nameTerminated", terminated)
                 .Text("shortText", FieldText(device, layout.shortText, 8))
                 .Raw("words", WordList(device, layout.words))
                 .Number("letter", static_cast<const uint8_t*>(device)[layout.letter])
                 .Hex("capabilities", ReadU32(device, layout.capabilities))
                 .Number("count1", ReadU32(device, layout.count1))
                 .List("speeds1", SpeedTable(device, layout.count1, layout.speeds1, layout.tableEntries))
                 .Number("count2", ReadU32(device, layout.count2))
                 .List("speeds2", SpeedTable(device, layout.count2, layout.speeds2, layout.tableEntries))
                 .Number("word1388", ReadU32(device, layout.word1))
                 .Text("text1392", FieldText(device, layout.text, layout.textWidth))
                 .Number("word1456", ReadU32(device, layout.word2)));
}

void LogIsoChain(const void* root) { IsoChainWriter().Write(root); }

void LogBurnRecord(int32_t format, const void* record) {
    switch (format) {
    case 0: LogAudioRecord(record); break;
    case 1: LogVideoRecord(record); break;
    case 2: LogImageRecord(record); break;
    case 3: LogTrackModeRecord(record); break;
    default: WriteLog(LogLine("rec", "unknown").Number("format", format)); break;
    }
}

void LogDvdrState(uint32_t apiVersion, const std::string& engineFolder) {
    bool dll = FileExists(engineFolder + "\\DVDR.DLL");
    bool moved = FileExists(engineFolder + "\\DVDR._DLL");
    WriteLog(LogLine("rec", "dvdr")
                 .Number("version", apiVersion)
                 .Flag("dll", dll)
                 .Flag("moved", moved)
                 .Flag("movedAside", !dll && moved));
}

std::vector<PcmSource> PcmSources(const void* audioRecord) {
    std::vector<PcmSource> sources;
    if (!Readable(audioRecord, kAudioHeaderSize)) return sources;
    uint32_t count = ReadU32(audioRecord, 20);
    for (uint32_t i = 0; i < count && i < kMostEntriesDecoded; ++i) {
        const uint8_t* entry = static_cast<const uint8_t*>(audioRecord) + kAudioHeaderSize + kAudioEntrySize * i;
        if (!Readable(entry, kAudioEntrySize)) break;
        if (ReadU32(entry, 408) != 1) continue;
        PcmSource source;
        source.index = i;
        source.userData = const_cast<void*>(ReadPointer(entry, 412));
        source.read = ReadPointer(entry, 416);
        source.endOfFile = ReadPointer(entry, 420);
        source.error = ReadPointer(entry, 424);
        sources.push_back(source);
    }
    return sources;
}

}  // namespace standin
