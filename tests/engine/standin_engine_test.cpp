// The stand-in engine itself, loaded directly: if its ledger or its decoding were wrong, every
// engine test built on it would pass or fail for the wrong reason.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/engine_standin.h"
#include "support/test_paths.h"

namespace {

typedef void*(__cdecl* GetDrivesFn)(int32_t, void*);
typedef void(__cdecl* ReleaseFn)(void*);
typedef char*(__cdecl* GetTextFn)();
typedef void*(__cdecl* OpenDeviceFn)(const void*);
typedef DWORD(__cdecl* GetVersionFn)();
typedef int(__cdecl* ReportFn)();
typedef void*(__cdecl* CreateItemFn)(size_t);
typedef void*(__cdecl* CreateTrackFn)(void*, const char*, DWORD);
typedef int32_t(__cdecl* InitFn)(const void*, const char*);
typedef int32_t(__cdecl* BurnFn)(void*, int32_t, void*, DWORD, DWORD, void*);

class LoadedEngine {
public:
    explicit LoadedEngine(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}
    bool loaded() const { return module_.valid(); }
    template <typename Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(GetProcAddress(module_.get(), name));
    }
    void Unload() { module_.reset(); }

private:
    UniqueModule module_;
};

void PutU32(std::vector<uint8_t>& block, size_t offset, uint32_t value) {
    std::memcpy(block.data() + offset, &value, sizeof value);
}
void PutPointer(std::vector<uint8_t>& block, size_t offset, const void* value) {
    PutU32(block, offset, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value)));
}
void PutText(std::vector<uint8_t>& block, size_t offset, const std::string& text) {
    std::memcpy(block.data() + offset, text.data(), text.size());
}
uint32_t GetU32(const void* block, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(block) + offset, sizeof value);
    return value;
}

std::string Hex(const void* pointer) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

class StandinEngineTest : public ::testing::Test {
protected:
    EngineStandin standin_;
};

TEST_F(StandinEngineTest, LedgerReportsEveryMisuseAndNothingElse) {
    standin_.Use(EngineScenario().LastError("bad").AddDrive(StandinDrive{}));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto freeMem = engine.Get<ReleaseFn>("NeroFreeMem");
    auto freeItem = engine.Get<ReleaseFn>("NeroFreeIsoItem");

    void* list = engine.Get<GetDrivesFn>("NeroGetAvailableDrivesEx")(0, nullptr);
    char* error = engine.Get<GetTextFn>("NeroGetLastError")();
    char* leaked = engine.Get<GetTextFn>("NeroGetLastError")();
    ASSERT_NE(nullptr, list);
    ASSERT_STREQ("bad", error);
    int local = 0;

    freeMem(list);
    freeMem(list);       // double
    freeItem(error);     // wrong function
    freeMem(&local);     // never handed out
    freeMem(nullptr);    // allowed
    engine.Get<ReleaseFn>("NeroCloseDevice")(nullptr);
    EXPECT_EQ(1, engine.Get<ReportFn>("StandinLedgerReport")());

    std::vector<std::string> lines;
    for (const auto& report : standin_.ReadLog().LedgerReports()) lines.push_back(report.name + " " + report.Get("ptr"));
    std::vector<std::string> expected = {"double-release " + Hex(list), "wrong-release " + Hex(error),
                                         "unknown-release " + Hex(&local), "leak " + Hex(leaked)};
    EXPECT_EQ(expected, lines);
    auto reports = standin_.ReadLog().LedgerReports();
    ASSERT_EQ(4u, reports.size());
    EXPECT_EQ("errortext", reports[1].Get("kind"));
    EXPECT_EQ("NeroFreeMem", reports[1].Get("expected"));
    EXPECT_EQ("NeroGetLastError", reports[3].Get("by"));
    freeMem(leaked);
}

TEST_F(StandinEngineTest, LeaksAreReportedWhenTheLibraryIsUnloaded) {
    standin_.Use(EngineScenario().AddDrive(StandinDrive{}));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    void* list = engine.Get<GetDrivesFn>("NeroGetAvailableDrivesEx")(0, nullptr);
    ASSERT_NE(nullptr, list);
    void* device = engine.Get<OpenDeviceFn>("NeroOpenDevice")(static_cast<uint8_t*>(list) + 4);
    ASSERT_NE(nullptr, device);
    engine.Get<ReleaseFn>("NeroFreeMem")(list);
    engine.Unload();

    auto reports = standin_.ReadLog().LedgerReports();
    ASSERT_EQ(1u, reports.size());
    EXPECT_EQ("leak", reports[0].name);
    EXPECT_EQ("device", reports[0].Get("kind"));
    EXPECT_EQ(Hex(device), reports[0].Get("ptr"));
}

// The stand-in's drive list carries each field at its offset, and a device record handed back is
// decoded from the same offsets, in either layout.
TEST_F(StandinEngineTest, DeviceRecordsAreWrittenAndDecodedAtTheirOffsets) {
    StandinDrive drive;
    drive.name = std::string(64, 'N');  // fills the field: no terminator
    drive.letter = 'E';
    drive.capabilities = 0x41;
    for (uint32_t i = 1; i <= 25; ++i) drive.speeds1.push_back(i * 100);
    drive.speeds2 = {7, 8};
    drive.shortText = "short";
    drive.words[0] = 11, drive.words[1] = 12, drive.words[2] = 13;
    drive.word1388 = 1388;
    drive.text1392 = "text";
    drive.word1456 = 1456;
    standin_.Use(EngineScenario().Version(5599).AddDrive(StandinDrive{}).AddDrive(drive));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto* list = static_cast<uint8_t*>(engine.Get<GetDrivesFn>("NeroGetAvailableDrivesEx")(0, nullptr));
    ASSERT_NE(nullptr, list);
    const uint8_t* record = list + 4 + 1720;
    EXPECT_EQ(2u, GetU32(list, 0));
    EXPECT_EQ(std::string(64, 'N'), std::string(reinterpret_cast<const char*>(record), 64));
    EXPECT_EQ('N', record[63]);
    EXPECT_STREQ("short", reinterpret_cast<const char*>(record + 64));
    EXPECT_EQ(12u, GetU32(record, 76));
    EXPECT_EQ('E', record[84]);
    EXPECT_EQ(0x41u, GetU32(record, 88));
    EXPECT_EQ(25u, GetU32(record, 92));
    EXPECT_EQ(2500u, GetU32(record, 356 + 24 * 4));
    EXPECT_EQ(2u, GetU32(record, 740));
    EXPECT_EQ(8u, GetU32(record, 1004 + 4));
    EXPECT_EQ(1388u, GetU32(record, 1388));
    EXPECT_STREQ("text", reinterpret_cast<const char*>(record + 1392));
    EXPECT_EQ(1456u, GetU32(record, 1456));

    void* current = engine.Get<OpenDeviceFn>("NeroOpenDevice")(record);

    // An older record by hand: 25 entries cut to the first 19 and the last.
    standin_.Use(EngineScenario().Version(5554));
    std::vector<uint8_t> older(360, 0);
    PutText(older, 0, std::string(32, 'o'));
    PutText(older, 32, "abc");
    PutU32(older, 40, 21), PutU32(older, 44, 22), PutU32(older, 48, 23);
    older[52] = 'F';
    PutU32(older, 56, 0x5);
    PutU32(older, 60, 20);
    for (uint32_t i = 0; i < 20; ++i) PutU32(older, 64 + 4 * i, i == 19 ? 2500 : (i + 1) * 100);
    PutU32(older, 144, 1);
    PutU32(older, 148, 9);
    PutU32(older, 228, 228);
    PutText(older, 232, "old text");
    PutU32(older, 264, 264);
    void* old = engine.Get<OpenDeviceFn>("NeroOpenDevice")(older.data());

    auto devices = standin_.ReadLog().Records("device");
    ASSERT_EQ(2u, devices.size());
    const EngineLogEntry& d = devices[0];
    EXPECT_EQ("current", d.Get("layout"));
    EXPECT_EQ(1, d.Int("listIndex"));
    EXPECT_EQ(std::string(64, 'N'), d.Get("name"));
    EXPECT_EQ(0, d.Int("nameTerminated"));
    EXPECT_EQ("11,12,13", d.Get("words"));
    EXPECT_EQ('E', d.Int("letter"));
    EXPECT_EQ(0x41, d.Int("capabilities"));
    EXPECT_EQ(25, d.Int("count1"));
    EXPECT_EQ(drive.speeds1, d.List("speeds1"));
    EXPECT_EQ(drive.speeds2, d.List("speeds2"));
    EXPECT_EQ("text", d.Get("text1392"));
    EXPECT_EQ(1456, d.Int("word1456"));

    const EngineLogEntry& o = devices[1];
    EXPECT_EQ("older", o.Get("layout"));
    EXPECT_EQ(-1, o.Int("listIndex"));
    EXPECT_EQ(std::string(32, 'o'), o.Get("name"));
    EXPECT_EQ(0, o.Int("nameTerminated"));
    EXPECT_EQ("abc", o.Get("shortText"));
    EXPECT_EQ("21,22,23", o.Get("words"));
    EXPECT_EQ('F', o.Int("letter"));
    EXPECT_EQ(20, o.Int("count1"));
    ASSERT_EQ(20u, o.List("speeds1").size());
    EXPECT_EQ(1900u, o.List("speeds1")[18]);
    EXPECT_EQ(2500u, o.List("speeds1")[19]);
    EXPECT_EQ(std::vector<uint32_t>{9}, o.List("speeds2"));
    EXPECT_EQ(228, o.Int("word1388"));
    EXPECT_EQ("old text", o.Get("text1392"));
    EXPECT_EQ(264, o.Int("word1456"));

    auto close = engine.Get<ReleaseFn>("NeroCloseDevice");
    close(current);
    close(old);
    engine.Get<ReleaseFn>("NeroFreeMem")(list);
    ExpectAllReleased(standin_);
}

TEST_F(StandinEngineTest, LegacyVariantLacksTheTwoVersionExEntryPoints) {
    for (auto variant : {EngineStandin::Variant::Current, EngineStandin::Variant::Legacy}) {
        EngineStandin standin(variant);
        LoadedEngine engine(standin.EngineDll());
        ASSERT_TRUE(engine.loaded()) << standin.EngineDll();
        bool legacy = variant == EngineStandin::Variant::Legacy;
        EXPECT_EQ(legacy, engine.Get<void*>("NeroGetAPIVersionEx") == nullptr);
        EXPECT_EQ(legacy, engine.Get<void*>("NeroSetExpectedAPIVersionEx") == nullptr);
        EXPECT_NE(nullptr, engine.Get<void*>("NeroSetExpectedAPIVersion"));
        EXPECT_NE(nullptr, engine.Get<void*>("NeroGetAPIVersion"));
    }
}

TEST_F(StandinEngineTest, ScenarioChangesAreSeenBetweenCalls) {
    standin_.Use(EngineScenario().Version(5564));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto version = engine.Get<GetVersionFn>("NeroGetAPIVersion");
    EXPECT_EQ(5564u, version());
    standin_.Use(EngineScenario().Version(5565));
    EXPECT_EQ(5565u, version());
}

// ---- the script inside NeroBurn, through callbacks of our own ----

struct Seen {
    std::vector<std::string> events;
    int abortAfter = -1;  // the aborted callback answers true from this call on
    int abortedCalls = 0;
};
Seen g_seen;

BOOL __cdecl OnProgress(void*, DWORD percent) {
    g_seen.events.push_back("progress " + std::to_string(percent));
    return FALSE;
}
BOOL __cdecl OnAborted(void*) {
    ++g_seen.abortedCalls;
    return g_seen.abortAfter >= 0 && g_seen.abortedCalls > g_seen.abortAfter;
}
BOOL __cdecl OnIdle(void*) { return FALSE; }
void __cdecl OnPhase(void*, const char* text) { g_seen.events.push_back(std::string("phase ") + text); }
void __cdecl OnMajorPhase(void*, int32_t code, void*) { g_seen.events.push_back("major " + std::to_string(code)); }
int32_t __cdecl OnUserDialog(void*, int32_t code, void* data) {
    std::string event = "dialog " + std::to_string(code);
    if (code == 28) {
        event += std::string(" ") + *reinterpret_cast<const char* const*>(static_cast<const uint8_t*>(data) + 12) +
                 "/" + *reinterpret_cast<const char* const*>(static_cast<const uint8_t*>(data) + 16);
    } else {
        event += " " + std::to_string(reinterpret_cast<uintptr_t>(data));
    }
    g_seen.events.push_back(event);
    return 0;
}
struct PcmSource {
    DWORD left;
    bool ended;
};
DWORD __cdecl OnRead(void* user, BYTE*, DWORD size) {
    auto* source = static_cast<PcmSource*>(user);
    DWORD got = source->left < size ? source->left : size;
    source->left -= got;
    source->ended = got < size;
    return got;
}
BOOL __cdecl OnEndOfFile(void* user) { return static_cast<PcmSource*>(user)->ended; }
BOOL __cdecl OnError(void*) { return FALSE; }

TEST_F(StandinEngineTest, BurnScriptCallsBackAndDecodesTheAudioRecord) {
    g_seen = Seen();
    g_seen.abortAfter = 2;
    standin_.Use(EngineScenario()
                     .MediaMismatch("CD-RW", "DVD+R")
                     .Progress(40)
                     .Phase("Writing")
                     .MajorPhase(-1)
                     .UserDialog(15, 3)
                     .UserDialog(28)
                     .ReadPcmSources()
                     .WaitUntilAborted(20000)
                     .Progress(99));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());

    std::vector<uint8_t> settings(40, 0);
    PutPointer(settings, 16, reinterpret_cast<const void*>(&OnIdle));
    PutPointer(settings, 24, reinterpret_cast<const void*>(&OnUserDialog));
    ASSERT_EQ(0, engine.Get<InitFn>("NeroInit")(settings.data(), nullptr));

    std::vector<uint8_t> progress(32, 0);
    PutPointer(progress, 0, reinterpret_cast<const void*>(&OnProgress));
    PutPointer(progress, 4, reinterpret_cast<const void*>(&OnAborted));
    PutPointer(progress, 12, reinterpret_cast<const void*>(&OnPhase));
    PutPointer(progress, 24, reinterpret_cast<const void*>(&OnMajorPhase));

    PcmSource pcm{2352 * 10 + 100, false};
    std::vector<uint8_t> audio(156 + 2 * 800, 0);
    PutU32(audio, 20, 2);
    PutU32(audio, 24, 0x0C);
    PutU32(audio, 156 + 0, 150);
    PutU32(audio, 156 + 408, 0);
    PutText(audio, 156 + 412, "Z:\\music\\a.wav");
    uint8_t* second = audio.data() + 156 + 800;
    std::vector<uint8_t> entry(800, 0);
    PutU32(entry, 0, 375);
    PutU32(entry, 408, 1);
    PutPointer(entry, 412, &pcm);
    PutPointer(entry, 416, reinterpret_cast<const void*>(&OnRead));
    PutPointer(entry, 420, reinterpret_cast<const void*>(&OnEndOfFile));
    PutPointer(entry, 424, reinterpret_cast<const void*>(&OnError));
    PutU32(entry, 668, 10);
    std::memcpy(second, entry.data(), entry.size());

    int32_t result = engine.Get<BurnFn>("NeroBurn")(nullptr, 0, audio.data(), 0x8A, 8, progress.data());

    EXPECT_EQ(6, result) << "an abort seen while waiting gives the abort result";
    std::vector<std::string> expected = {"progress 40", "phase Writing", "major -1", "dialog 15 3",
                                         "dialog 28 CD-RW/DVD+R"};
    EXPECT_EQ(expected, g_seen.events) << "the step after the abort must not run";

    EngineLog log = standin_.ReadLog();
    auto tracks = log.Records("audiotrack");
    ASSERT_EQ(2u, tracks.size());
    EXPECT_EQ(150, tracks[0].Int("pause"));
    EXPECT_EQ(0, tracks[0].Int("kind"));
    EXPECT_EQ("Z:\\music\\a.wav", tracks[0].Get("file"));
    EXPECT_EQ(375, tracks[1].Int("pause"));
    EXPECT_EQ(1, tracks[1].Int("kind"));
    EXPECT_EQ(10, tracks[1].Int("blocks"));
    EXPECT_EQ("", tracks[1].Get("dirty"));
    auto header = log.Records("audio");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ(2, header[0].Int("count"));
    EXPECT_EQ(0x0C, header[0].Int("medium"));
    EXPECT_EQ("null", header[0].Get("isoTrack"));
    auto reads = log.Steps("read_pcm");
    ASSERT_EQ(1u, reads.size());
    EXPECT_EQ(1, reads[0].Int("index"));
    EXPECT_EQ(2352 * 10 + 100, reads[0].Int("bytes"));
    EXPECT_EQ(1, reads[0].Int("eof"));
    auto waits = log.Steps("wait");
    ASSERT_EQ(1u, waits.size());
    EXPECT_EQ("aborted", waits[0].Get("by"));
    EXPECT_EQ(0x8A, log.Calls("NeroBurn")[0].Int("flags"));
    EXPECT_EQ(6, log.Result("NeroBurn").Int("result"));
}

// An ISO tree built by hand: the log lists it depth first, each chain in link order, with names,
// source paths and the nine time fields read from their offsets.
TEST_F(StandinEngineTest, IsoChainIsDecodedDepthFirstInLinkOrder) {
    standin_.Use(EngineScenario());
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto create = engine.Get<CreateItemFn>("NeroCreateIsoItemOfSize");
    auto* folder = static_cast<uint8_t*>(create(592));
    auto* inner = static_cast<uint8_t*>(create(592));
    auto* file = static_cast<uint8_t*>(create(592));
    ASSERT_TRUE(folder && inner && file);
    auto setItem = [](uint8_t* item, const char* name, uint32_t isFolder, const char* source, const void* next) {
        std::strcpy(reinterpret_cast<char*>(item), name);
        std::memcpy(item + 256, &isFolder, 4);
        std::strcpy(reinterpret_cast<char*>(item + 264), source);
        uint32_t link = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(next));
        std::memcpy(item + 524, &link, 4);
        for (uint32_t field = 0; field < 9; ++field) {
            uint32_t value = field + 1;
            std::memcpy(item + 544 + 4 * field, &value, 4);
        }
    };
    setItem(folder, "sub", 1, "", file);
    setItem(inner, "in.mp3", 0, "Z:\\a\\sub\\in.mp3", nullptr);
    uint32_t child = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(inner));
    std::memcpy(folder + 520, &child, 4);
    setItem(file, "top.mp3", 0, "Z:\\a\\top.mp3", nullptr);

    void* track = engine.Get<CreateTrackFn>("NeroCreateIsoTrackEx")(folder, "QCD1A2B", 1);
    ASSERT_NE(nullptr, track);

    EngineLog log = standin_.ReadLog();
    auto items = log.Records("isoitem");
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ("sub", items[0].Get("path"));
    EXPECT_EQ(1, items[0].Int("folder"));
    EXPECT_EQ("sub/in.mp3", items[1].Get("path"));
    EXPECT_EQ(1, items[1].Int("depth"));
    EXPECT_EQ("Z:\\a\\sub\\in.mp3", items[1].Get("source"));
    EXPECT_EQ("top.mp3", items[2].Get("name"));
    EXPECT_EQ(1, items[2].Int("index"));
    EXPECT_EQ(0, items[2].Int("depth"));
    EXPECT_EQ(1, items[2].Int("known"));
    EXPECT_EQ("1,2,3,4,5,6,7,8,9", items[2].Get("time"));
    EXPECT_EQ(3, log.Records("isochain").back().Int("items"));
    EXPECT_EQ("QCD1A2B", log.Calls("NeroCreateIsoTrackEx")[0].Get("name"));

    engine.Get<ReleaseFn>("NeroFreeIsoTrack")(track);
    auto freeItem = engine.Get<ReleaseFn>("NeroFreeIsoItem");
    freeItem(inner);
    freeItem(folder);
    freeItem(file);
    ExpectAllReleased(standin_);
}

}  // namespace

namespace {

// Texts cross two codecs (the stand-in's escaping, the client's parsing); any byte may occur.
TEST_F(StandinEngineTest, LoggedTextsSurviveTheRoundTripByteForByte) {
    const std::string names[] = {"plain", "a \"quoted\" name", "back\\slash and = sign", "tab\there\nnew line",
                                 "high \xE9\xFF bytes", "", " edges "};
    standin_.Use(EngineScenario().CreateIsoTrackSucceeds(false));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto createTrack = engine.Get<CreateTrackFn>("NeroCreateIsoTrackEx");
    for (const auto& name : names) EXPECT_EQ(nullptr, createTrack(nullptr, name.c_str(), 0x10));

    auto calls = standin_.ReadLog().Calls("NeroCreateIsoTrackEx");
    ASSERT_EQ(std::size(names), calls.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(names[i], calls[i].Get("name")) << calls[i].line;
        EXPECT_EQ(0x10, calls[i].Int("flags"));
    }
}

TEST_F(StandinEngineTest, QuietScenarioBehavesButLogsNothing) {
    StandinDrive drive;
    drive.name = "Recorder";
    standin_.Use(EngineScenario().Quiet(true).AddDrive(drive).BurnResult(3).Progress(50));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto* list = static_cast<uint8_t*>(engine.Get<GetDrivesFn>("NeroGetAvailableDrivesEx")(0, nullptr));
    ASSERT_NE(nullptr, list);
    EXPECT_STREQ("Recorder", reinterpret_cast<const char*>(list + 4));
    void* device = engine.Get<OpenDeviceFn>("NeroOpenDevice")(list + 4);
    std::vector<uint8_t> audio(156, 0);
    EXPECT_EQ(3, engine.Get<BurnFn>("NeroBurn")(device, 0, audio.data(), 0, 0, nullptr));
    engine.Get<ReleaseFn>("NeroCloseDevice")(device);
    engine.Get<ReleaseFn>("NeroFreeMem")(list);
    engine.Unload();
    EXPECT_TRUE(standin_.ReadLog().Entries().empty());
}

TEST_F(StandinEngineTest, DriveQueryRecordsWhetherDvdrDllWasMovedAside) {
    standin_.Use(EngineScenario().Version(5564));
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    auto getDrives = engine.Get<GetDrivesFn>("NeroGetAvailableDrivesEx");
    auto freeMem = engine.Get<ReleaseFn>("NeroFreeMem");
    const std::string present = standin_.EngineFolder() + "\\DVDR.DLL";
    const std::string aside = standin_.EngineFolder() + "\\DVDR._DLL";
    DeleteFileA(present.c_str());
    DeleteFileA(aside.c_str());

    freeMem(getDrives(0, nullptr));
    ASSERT_TRUE(WriteFileText(aside, "x"));
    freeMem(getDrives(0, nullptr));
    ASSERT_TRUE(WriteFileText(present, "x"));
    freeMem(getDrives(0, nullptr));
    DeleteFileA(present.c_str());
    DeleteFileA(aside.c_str());

    auto states = standin_.ReadLog().Records("dvdr");
    ASSERT_EQ(3u, states.size());
    EXPECT_EQ(5564, states[0].Int("version"));
    EXPECT_EQ(0, states[0].Int("movedAside"));
    EXPECT_EQ(1, states[1].Int("movedAside"));
    EXPECT_EQ(0, states[2].Int("movedAside")) << "both files present: nothing was moved";
    EXPECT_EQ(1, states[2].Int("dll"));
    ExpectAllReleased(standin_);
}

TEST_F(StandinEngineTest, ScenarioMistakesAreNotedAndTheRestStillApplies) {
    std::string path = standin_.Folder() + "\\hand.ini";
    ASSERT_TRUE(WriteFileText(path, "log = " + standin_.LogPath() +
                                        "\nversion = 5.5\ninit_result = 7\n[drive]\nspeeds1 = 1,x\n"
                                        "[burn]\nprogress\nteleport = 3\n[extra]\n"));
    SetEnvironmentVariableA("TOLVANE_ENGINE_SCENARIO", path.c_str());
    LoadedEngine engine(standin_.EngineDll());
    ASSERT_TRUE(engine.loaded());
    EXPECT_EQ(7, engine.Get<InitFn>("NeroInit")(nullptr, nullptr));
    EXPECT_EQ(5599u, engine.Get<GetVersionFn>("NeroGetAPIVersion")());

    std::vector<long long> lines;
    EngineLog log = standin_.ReadLog();
    for (const auto& entry : log.Entries()) {
        if (entry.tag == "note" && entry.name == "scenario-error") lines.push_back(entry.Int("line"));
    }
    EXPECT_EQ((std::vector<long long>{2, 5, 7, 8, 9}), lines);
}

}  // namespace
