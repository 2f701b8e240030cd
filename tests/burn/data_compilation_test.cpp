// The data track built from real folder trees, as the engine receives it.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include "burn/builder_support.h"
#include "burn/compilation_records.h"
#include "burn/data_compilation.h"
#include "compilation_fixture.h"

namespace {

std::vector<std::string> Reversed(std::vector<std::string> names) {
    std::reverse(names.begin(), names.end());
    return names;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class DataTrackTest : public CompilationTest {
protected:
    // BuildIsoTrack on the job; the track and items are released before it returns.
    int32_t BuildAndRelease(void** trackSeen = nullptr) {
        void* track = nullptr;
        IsoItem* root = nullptr;
        int32_t code = burner_->BuildIsoTrack(job_, &track, &root);
        if (code != 0) {
            EXPECT_EQ(nullptr, track) << "a failed data track hands out no track";
            EXPECT_EQ(nullptr, root) << "a failed data track hands out no items";
        }
        if (trackSeen != nullptr) *trackSeen = track;
        if (track != nullptr || root != nullptr) ReleaseDataTrack(track, root);
        return code;
    }
    void AddData(const std::string& path) {
        job_.SetVolumeName("QCD1a2b");
        job_.AddFile(Keep(path));
    }
};

TEST_F(DataTrackTest, LaterPathsStandBeforeEarlierOnesWithTheirFullSources) {
    MakeFolder("a");
    MakeFolder("b");
    const std::string x = MakeFile("a\\x.mp3");
    const std::string y = MakeFile("b\\y.mp3");
    AddData(x);
    AddData(y);

    void* track = nullptr;
    IsoItem* root = nullptr;
    ASSERT_EQ(0, burner_->BuildIsoTrack(job_, &track, &root));
    ASSERT_NE(nullptr, track);
    ASSERT_NE(nullptr, root);
    EXPECT_STREQ("y.mp3", root->name);
    ReleaseDataTrack(track, root);

    EXPECT_EQ((std::vector<std::string>{"y.mp3", "x.mp3"}), TrackItems());
    auto items = Records("isoitem");
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(y, items[0].Get("source"));
    EXPECT_EQ(x, items[1].Get("source"));
    EXPECT_EQ("0", items[0].Get("folder"));
    auto created = Calls("NeroCreateIsoTrackEx");
    ASSERT_EQ(1u, created.size());
    EXPECT_EQ("QCD1a2b", created[0].Get("name"));
    EXPECT_EQ(0x1, created[0].Int("flags")) << "the data track's options";
}

TEST_F(DataTrackTest, WildcardWithoutFoldersTakesOnlyTheMatchingFiles) {
    MakeFolder("a");
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3", "notes.txt"}) MakeFile(std::string("a\\") + name);
    MakeFolder("a\\sub");
    MakeFile("a\\sub\\four.mp3");
    AddData(Path("a\\*.mp3"));

    ASSERT_EQ(0, BuildAndRelease());
    EXPECT_EQ(Reversed(FindNames(Path("a\\*.mp3")).files), TrackItems());
}

TEST_F(DataTrackTest, WildcardWithFoldersSearchesSubFoldersAndDropsThoseWithoutMatches) {
    MakeFolder("a");
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3", "notes.txt"}) MakeFile(std::string("a\\") + name);
    MakeFolder("a\\sub");
    MakeFile("a\\sub\\four.mp3");
    MakeFile("a\\sub\\four.txt");
    MakeFolder("a\\sub\\deeper");
    MakeFile("a\\sub\\deeper\\five.mp3");
    MakeFolder("a\\nomatch");
    MakeFile("a\\nomatch\\readme.txt");
    MakeFolder("a\\empty");
    AddData(Path("a\\*.mp3"));
    job_.includeFolders = true;

    ASSERT_EQ(0, BuildAndRelease());
    const std::vector<std::string> sub = {"sub/", "sub/deeper/", "sub/deeper/five.mp3", "sub/four.mp3"};
    EXPECT_EQ(Joined(sub, Reversed(FindNames(Path("a\\*.mp3")).files)), TrackItems());
    for (const EngineLogEntry& item : Records("isoitem")) {
        if (item.Get("path") == "sub/deeper/five.mp3") {
            EXPECT_EQ(Path("a\\sub\\deeper\\five.mp3"), item.Get("source"));
        }
        if (item.Get("folder") == "1") {
            EXPECT_EQ("", item.Get("source")) << "folders carry no source path";
        }
    }
}

TEST_F(DataTrackTest, FolderPathBurnsTheFolderWithEverythingInItButEmptyFolders) {
    MakeFolder("music");
    MakeFile("music\\a.wav");
    MakeFile("music\\b.mp3");
    MakeFile("music\\c.txt");
    MakeFolder("music\\cd1");
    MakeFile("music\\cd1\\d.mp3");
    MakeFolder("music\\blank");
    MakeFolder("music\\blank\\blanker");
    AddData(Path("music"));
    job_.includeFolders = true;

    ASSERT_EQ(0, BuildAndRelease());
    std::vector<std::string> inside = Reversed(FindNames(Path("music\\*")).files);
    for (std::string& name : inside) name = "music/" + name;
    EXPECT_EQ(Joined({"music/", "music/cd1/", "music/cd1/d.mp3"}, inside), TrackItems());
}

TEST_F(DataTrackTest, FolderAloneWithoutFoldersIncludedGivesNoTrackAndSuccess) {
    MakeFolder("music");
    MakeFile("music\\a.mp3");
    AddData(Path("music"));

    void* track = reinterpret_cast<void*>(1);
    ASSERT_EQ(0, BuildAndRelease(&track));
    EXPECT_EQ(nullptr, track);
    EXPECT_EQ(0u, CallCount("NeroCreateIsoItemOfSize"));
    EXPECT_EQ(0u, CallCount("NeroCreateIsoTrackEx"));
}

TEST_F(DataTrackTest, NothingToBurnGivesNoTrackAndNoEngineCall) {
    void* track = reinterpret_cast<void*>(1);
    ASSERT_EQ(0, BuildAndRelease(&track));
    EXPECT_EQ(nullptr, track);
    EXPECT_EQ(0u, Log().CallSequence().size()) << "no engine call for an empty data track";
}

TEST_F(DataTrackTest, MissingPathEndsTheTrackAndReleasesWhatWasBuilt) {
    MakeFile("here.mp3");
    AddData(Path("here.mp3"));
    AddData(Path("gone.mp3"));

    EXPECT_EQ(28, BuildAndRelease());
    EXPECT_EQ(1u, CallCount("NeroCreateIsoItemOfSize"));
    EXPECT_EQ(1u, CallCount("NeroFreeIsoItem"));
    EXPECT_EQ(0u, CallCount("NeroCreateIsoTrackEx"));
}

TEST_F(DataTrackTest, PathsWithoutAFolderAreTakenFromTheCurrentFolder) {
    MakeFolder("cwd");
    MakeFile("cwd\\song.mp3");
    MakeFile("cwd\\other.mp3");
    MakeFolder("cwd\\inner");
    MakeFile("cwd\\inner\\deep.mp3");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(Path("cwd").c_str()));
    AddData("song.mp3");
    AddData("*.mp3");
    job_.includeFolders = true;
    int32_t code = BuildAndRelease();
    SetCurrentDirectoryA(previous);

    ASSERT_EQ(0, code);
    auto items = Records("isoitem");
    ASSERT_FALSE(items.empty());
    // The song named first keeps its name on the disc; the pattern's song is its later namesake.
    std::vector<std::string> matched = Reversed(FindNames(Path("cwd\\*.mp3")).files);
    std::replace(matched.begin(), matched.end(), std::string("song.mp3"), std::string("song (2).mp3"));
    EXPECT_EQ(Joined({"inner/", "inner/deep.mp3"}, Joined(matched, {"song.mp3"})), TrackItems());
    EXPECT_EQ(Path("cwd\\song.mp3"), items.back().Get("source"));
}

// A folder item carries no source path: a folder whose own path is too long for that field is
// searched like any other (and dropped when nothing in it can be burned), not refused.
TEST_F(DataTrackTest, FolderWithALongPathAndNothingInItIsDropped) {
    const size_t base = Path("").size();
    const std::string outer(std::max<size_t>(1, 240 - base), 'o');
    MakeFolder(outer);
    MakeFile(outer + "\\s.mp3");
    // Made through the wide call: only that one takes a path beyond the usual limit.
    const std::string deepPath = "\\\\?\\" + Path(outer + "\\" + std::string(20, 'd'));
    const std::wstring deep(deepPath.begin(), deepPath.end());
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << deepPath;
    AddData(Path(outer));
    job_.includeFolders = true;

    EXPECT_EQ(0, BuildAndRelease());
    EXPECT_EQ(std::vector<std::string>({outer + "/", outer + "/s.mp3"}), TrackItems());
    RemoveDirectoryW(deep.c_str());
}

TEST_F(DataTrackTest, EngineFailuresEndTheTrackAndReleaseEveryItem) {
    struct Case {
        const char* name;
        EngineScenario scenario;
        int32_t expected;
    };
    const Case cases[] = {
        {"fourth item refused", EngineScenario().IsoItemLimit(3), 23},
        {"no ISO track", EngineScenario().CreateIsoTrackSucceeds(false), 27},
    };
    MakeFolder("a");
    MakeFolder("a\\sub");
    for (const char* name : {"a\\1.mp3", "a\\2.mp3", "a\\sub\\3.mp3", "a\\sub\\4.mp3"}) MakeFile(name);
    AddData(Path("a"));
    job_.includeFolders = true;
    for (const Case& c : cases) {
        UseScenario(c.scenario);
        EXPECT_EQ(c.expected, BuildAndRelease()) << c.name;
        EXPECT_EQ(CallCount("NeroCreateIsoItemOfSize") - (c.expected == 23 ? 1 : 0), CallCount("NeroFreeIsoItem"))
            << c.name << ": every item the engine gave is released";
    }
}

TEST_F(DataTrackTest, ImportedItemsStandLastAndEveryImportFailureHasItsCode) {
    struct Case {
        const char* name;
        EngineScenario scenario;
        int32_t importTrack;
        int32_t expected;
    };
    const Case cases[] = {
        {"no disc info", EngineScenario(), 0, 18},
        {"track beyond the disc", EngineScenario().DiscTracks(2), 2, 26},
        {"engine imports nothing", EngineScenario().DiscTracks(2).ImportSucceeds(false), 1, 6},
        {"import of track 1", EngineScenario().DiscTracks(2).ImportItems(2), 1, 0},
    };
    MakeFile("new.mp3");
    AddData(Path("new.mp3"));
    for (const Case& c : cases) {
        UseScenario(WithRecorder(c.scenario));
        OpenRecorder();
        job_.importTrack = c.importTrack;
        EXPECT_EQ(c.expected, BuildAndRelease()) << c.name;
        if (c.expected == 0) {
            EXPECT_EQ((std::vector<std::string>{"new.mp3", "IMPORTED0", "IMPORTED1"}), TrackItems());
            auto imports = Calls("NeroImportIsoTrackEx");
            ASSERT_EQ(1u, imports.size());
            EXPECT_EQ(1, imports[0].Int("track"));
            EXPECT_EQ(0, imports[0].Int("flags")) << "no import options";
            EXPECT_NE(nullptr, session_->discStamp());
        }
        session_->Close();
    }
}

TEST_F(DataTrackTest, HeldDiscInfoImportsTheLastTrackAndReplacesWhatWasHeld) {
    UseScenario(WithRecorder(EngineScenario().DiscTracks(3)));
    OpenRecorder();
    job_.importTrack = 0;
    ASSERT_EQ(0, BuildAndRelease());
    void* firstStamp = session_->discStamp();
    ASSERT_NE(nullptr, firstStamp);

    job_.importTrack = -1;
    ASSERT_EQ(0, BuildAndRelease());
    auto imports = Calls("NeroImportIsoTrackEx");
    ASSERT_EQ(2u, imports.size());
    EXPECT_EQ(2, imports[1].Int("track")) << "the held disc's last track";
    EXPECT_EQ(1u, CallCount("NeroFreeCDStamp")) << "the first stamp is released before the next import";
    // The first disc information is released when replaced: the ledger sees no leak.
}

TEST_F(DataTrackTest, EntryTimeIsTheLocalCreationTime) {
    MakeFile("dated.mp3");
    AddData(Path("dated.mp3"));
    ASSERT_EQ(0, BuildAndRelease());

    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExA(Path("dated.mp3").c_str(), GetFileExInfoStandard, &attributes));
    IsoEntryTime t = EntryTimeFromCreationTime(attributes.ftCreationTime);
    char expected[128];
    std::snprintf(expected, sizeof expected, "%d,%d,%d,%d,%d,%d,%d,%d,%d", t.seconds, t.minutes, t.hours,
                  t.dayOfMonth, t.month, t.yearsSince1900, t.dayOfWeek, t.dayOfYear, t.daylightSaving);
    ASSERT_EQ(1u, Records("isoitem").size());
    EXPECT_EQ(expected, Records("isoitem")[0].Get("time"));
    EXPECT_GE(t.yearsSince1900, 120) << "a file made today";
}

TEST(EntryTime, CreationTimesTheRuntimeCannotConvertGiveTheFirstOf1970) {
    const unsigned long long epoch = 116444736000000000ULL;
    const unsigned long long tick = 10000000ULL;
    struct Case {
        const char* name;
        unsigned long long ticks;
    };
    const Case unconvertible[] = {
        {"zero", 0},
        {"1969", epoch - 86400ULL * 200 * tick},
        {"one tick before 1970", epoch - 1},
        {"year 30000", 0x7FFFFFFFFFFFFFFFULL},
    };
    for (const Case& c : unconvertible) {
        FILETIME time = {static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
        IsoEntryTime t = EntryTimeFromCreationTime(time);
        EXPECT_EQ(70, t.yearsSince1900) << c.name;
        EXPECT_EQ(0, t.month) << c.name;
        EXPECT_EQ(1, t.dayOfMonth) << c.name;
        EXPECT_EQ(0, t.hours + t.minutes + t.seconds + t.dayOfYear + t.daylightSaving) << c.name;
        EXPECT_EQ(4, t.dayOfWeek) << c.name << ": a Thursday";
    }

    const std::time_t noon = 1700000000;  // 14 November 2023
    const unsigned long long ticks = epoch + static_cast<unsigned long long>(noon) * tick;
    FILETIME time = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    IsoEntryTime t = EntryTimeFromCreationTime(time);
    const std::tm local = *std::localtime(&noon);
    EXPECT_EQ(local.tm_year, t.yearsSince1900);
    EXPECT_EQ(local.tm_yday, t.dayOfYear);
    EXPECT_EQ(local.tm_hour, t.hours);
    EXPECT_EQ(local.tm_min, t.minutes);
    EXPECT_EQ(local.tm_isdst, t.daylightSaving);
}

TEST_F(DataTrackTest, ScanDeliversEveryFileBeforeEveryFolderInTheOrderFound) {
    MakeFolder("s");
    for (const char* name : {"s\\b.mp3", "s\\a.txt", "s\\c.mp3"}) MakeFile(name);
    for (const char* name : {"s\\f1", "s\\f2.mp3", "s\\f3"}) MakeFolder(name);
    for (const char* pattern : {"s\\*", "s\\*.mp3", "s\\c.mp3", "s\\f1"}) {
        std::vector<std::string> files, folders;
        DirectoryScan scan(Path(pattern));
        for (; scan.HasEntry(); scan.Advance()) {
            std::string name = scan.CurrentEntry().cFileName;
            if (name == "." || name == "..") continue;
            (scan.CurrentIsFolder() ? folders : files).push_back(name);
            EXPECT_EQ(scan.CurrentIsFolder(), (scan.CurrentEntry().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
            EXPECT_TRUE(folders.empty() || scan.CurrentIsFolder()) << pattern << ": a file after a folder";
        }
        FoundNames expected = FindNames(Path(pattern));
        // Wildcards other than "*" search sub-folders by the whole folder.
        if (std::string(pattern) == "s\\*.mp3") expected.folders = FindNames(Path("s\\*")).folders;
        EXPECT_EQ(expected.files, files) << pattern;
        EXPECT_EQ(expected.folders, folders) << pattern;
        EXPECT_EQ(std::string(pattern).find('*') != std::string::npos ? std::string(pattern).substr(2) : "*",
                  scan.pattern());
    }
}

}  // namespace
