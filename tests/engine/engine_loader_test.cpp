#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "base/text.h"
#include "engine/engine_library.h"
#include "support/code_page.h"
#include "support/engine_registry.h"
#include "support/registry_fixture.h"
#include "support/engine_standin.h"
#include "support/test_paths.h"

namespace reg = engine_registry;

namespace {

// Directories that hold no engine: these tests watch the registry and the search path only.
const char kMissingDir[] = "Z:\\tmp\\tolvane-no-engine\\Nero";

class EngineLoaderRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = reg::Path();
        reg::Clear();
    }
    void TearDown() override {
        releaseEngine();
        reg::Clear();
        reg::SetPath(savedPath_);
    }
    std::string savedPath_;
};

}  // namespace

TEST_F(EngineLoaderRegistry, NoSourceLeavesEverythingAlone) {
    reg::SetPath("C:\\windows");
    EXPECT_FALSE(loadEngine());
    EXPECT_FALSE(engineLoaded());
    EXPECT_STREQ(engineDirectory(), "");
    EXPECT_EQ(reg::Path(), "C:\\windows");
    EXPECT_EQ(reg::Shared(), "<missing>");
}

TEST_F(EngineLoaderRegistry, TrailingBackslashIsCutInTheRegistryOnly) {
    reg::SetShared(std::string(kMissingDir) + "\\");
    reg::SetPath("C:\\windows");
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(reg::Shared(), kMissingDir);
    EXPECT_EQ(std::string(engineDirectory()), std::string(kMissingDir) + "\\");
    EXPECT_EQ(reg::Path(), std::string(kMissingDir) + "\\;C:\\windows");
}

TEST_F(EngineLoaderRegistry, AppPathsIsCopiedToTheSharedKey) {
    reg::SetAppPath(kMissingDir);
    reg::SetPath("C:\\windows");
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(reg::Shared(), kMissingDir);
    EXPECT_STREQ(engineDirectory(), kMissingDir);
    EXPECT_EQ(reg::Path(), std::string(kMissingDir) + ";C:\\windows");
}

TEST_F(EngineLoaderRegistry, FirstSourceWins) {
    reg::SetShared("Z:\\tmp\\first");
    reg::SetAppPath("Z:\\tmp\\second");
    EXPECT_FALSE(loadEngine());
    EXPECT_STREQ(engineDirectory(), "Z:\\tmp\\first");
    EXPECT_EQ(reg::Shared(), "Z:\\tmp\\first");
}

TEST_F(EngineLoaderRegistry, EmptyFirstSourceFallsToTheSecond) {
    reg::SetShared("");
    reg::SetPath("C:\\windows");
    EXPECT_FALSE(loadEngine());
    EXPECT_STREQ(engineDirectory(), "");
    EXPECT_EQ(reg::Path(), "C:\\windows");

    reg::SetAppPath("Z:\\tmp\\second");
    EXPECT_FALSE(loadEngine());
    EXPECT_STREQ(engineDirectory(), "Z:\\tmp\\second");
    EXPECT_EQ(reg::Shared(), "Z:\\tmp\\second");
}

TEST_F(EngineLoaderRegistry, PathAlreadyHoldingTheDirectoryIsUnchanged) {
    reg::SetShared(kMissingDir);
    const char* paths[] = {
        "Z:\\tmp\\tolvane-no-engine\\Nero",
        "C:\\windows;Z:\\tmp\\tolvane-no-engine\\Nero",
        "C:\\windows;Z:\\tmp\\tolvane-no-engine\\Nero\\Bin;C:\\other",  // part of a longer entry
    };
    for (const char* path : paths) {
        reg::SetPath(path);
        EXPECT_FALSE(loadEngine());
        EXPECT_EQ(reg::Path(), path);
    }
    reg::SetPath("C:\\windows;z:\\tmp\\tolvane-no-engine\\nero");  // the search is case-sensitive
    loadEngine();
    EXPECT_EQ(reg::Path(), std::string(kMissingDir) + ";C:\\windows;z:\\tmp\\tolvane-no-engine\\nero");
}

TEST_F(EngineLoaderRegistry, MissingPathBecomesTheDirectory) {
    reg::SetShared(kMissingDir);
    SetEnvironmentVariableA("PATH", nullptr);
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(reg::Path(), kMissingDir);
}

TEST_F(EngineLoaderRegistry, LongDirectoryIsNotUsedAndBlocksTheSecondSource) {
    const std::string longDir = "Z:\\" + std::string(240, 'd');  // 243 characters
    reg::SetShared(longDir);
    reg::SetAppPath("Z:\\tmp\\second");
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(std::string(engineDirectory()), longDir);
    EXPECT_EQ(reg::Shared(), longDir);
}

// A text stored without its terminator still ends as a text. At 254 characters it reaches the
// 255 bytes read: Windows hands over the characters alone, Wine one more for the terminator.
TEST_F(EngineLoaderRegistry, DirectoryStoredWithoutTerminatorIsTerminated) {
    const std::string value = "Z:\\" + std::string(251, 'x');
    reg::SetSharedRaw(REG_SZ, value);
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(std::string(engineDirectory()), value);
}

TEST_F(EngineLoaderRegistry, FailedQueryLeavesTheDirectoryEmpty) {
    reg::SetShared("Z:\\tmp\\before");
    loadEngine();
    ASSERT_STREQ(engineDirectory(), "Z:\\tmp\\before");
    reg::SetShared(std::string(300, 'y'));  // too long for the read: the query fails
    EXPECT_FALSE(loadEngine());
    EXPECT_STREQ(engineDirectory(), "");
}

TEST(EngineBinders, FallbacksWithoutAnEngine) {
    releaseEngine();
    EXPECT_EQ(engine::NeroInit(nullptr, nullptr), 1);
    EXPECT_EQ(engine::NeroBurn(nullptr, 0, nullptr, 0, 0, nullptr), 1);
    EXPECT_EQ(engineApiVersion(), 0u);
    WORD parts[4] = {7, 7, 7, 7};
    EXPECT_EQ(engineApiVersionParts(&parts[0], &parts[1], &parts[2], &parts[3]), 0);
    EXPECT_EQ(parts[0], 7);
    EXPECT_EQ(setExpectedEngineVersion(5, 5, 9, 14), 0);
    EXPECT_EQ(engine::NeroGetAvailableDrivesEx(0, nullptr), nullptr);
    EXPECT_EQ(engine::NeroOpenDevice(nullptr), nullptr);
    EXPECT_EQ(engine::NeroGetLastError(), nullptr);
    EXPECT_EQ(engine::NeroGetLocalizedWaitCDTexts(1), nullptr);
    engine::NeroDone();
    engine::NeroFreeMem(nullptr);
}

namespace {

class EngineLoaderWithStandin : public EngineLoaderRegistry {
protected:
    void TearDown() override {
        EngineLoaderRegistry::TearDown();
        ExpectNoLedgerReports(standin_.ReadLog());
    }
    EngineStandin standin_;
};

}  // namespace

TEST_F(EngineLoaderWithStandin, LoadsFromADirectoryWithTrailingBackslash) {
    reg::SetShared(standin_.EngineFolder() + "\\");
    EXPECT_TRUE(loadEngine());
    EXPECT_TRUE(engineLoaded());
    EXPECT_EQ(reg::Shared(), standin_.EngineFolder());
    EXPECT_NE(reg::Path().find(standin_.EngineFolder() + "\\;"), std::string::npos);
}

TEST_F(EngineLoaderWithStandin, LoadsThroughAppPathsAndRemembersIt) {
    reg::SetAppPath(standin_.EngineFolder());
    EXPECT_TRUE(loadEngine());
    EXPECT_EQ(reg::Shared(), standin_.EngineFolder());
    releaseEngine();
    reg::Clear();
    reg::SetShared(standin_.EngineFolder());
    EXPECT_TRUE(loadEngine()) << "the copied value serves the next load";
}

namespace {

// A folder path of exactly `length` characters below `base`, made of short components.
std::string PathOfLength(const std::string& base, size_t length) {
    std::string path = base;
    while (path.size() + 120 < length) path += "\\" + std::string(50, 'd');
    EXPECT_GE(length, path.size() + 2) << "the base folder is too long for this length";
    path += "\\" + std::string(length - path.size() - 1, 'e');
    return path;
}

// Creates every folder of the path and puts a copy of the stand-in engine in the last.
void PutEngineIn(const std::string& base, const std::string& folder, const std::string& engineDll) {
    for (size_t at = FindCharacter(folder, '\\', base.size()); at != std::string::npos;
         at = FindCharacter(folder, '\\', at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size();
    ASSERT_TRUE(CopyFileA(engineDll.c_str(), (folder + "\\NeroAPI.dll").c_str(), FALSE)) << folder.size();
}

}  // namespace

// The engine really lies in each long folder: only the length decides.
TEST_F(EngineLoaderWithStandin, DirectoryLengthsAroundTheLimitAndAVeryLongPath) {
    const std::string base = MakeTempDir("tolvane-long");
    std::string longPath;
    while (longPath.size() < 32000) longPath += "C:\\Program Files\\Something;";
    longPath.resize(32000);
    const struct {
        const char* what;
        size_t length;
        size_t pathLength;
        bool read;   // the first source's value is read into the engine directory
        bool loads;
    } cases[] = {
        {"242 characters: used", 242, 10, true, true},
        {"243 characters: not used, and the second source is not asked", 243, 10, true, false},
        {"255 characters and a terminator: more than is read, so the second source serves", 255, 10, false, true},
        {"242 characters before a PATH of 32,000", 242, 32000, true, true},
    };
    int caseNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = PathOfLength(base + "\\" + std::to_string(++caseNumber), c.length);
        ASSERT_EQ(folder.size(), c.length);
        if (c.length < 248) PutEngineIn(base, folder, standin_.EngineDll());
        reg::Clear();
        reg::SetShared(folder);
        reg::SetAppPath(standin_.EngineFolder());
        const std::string oldPath = longPath.substr(0, c.pathLength);
        reg::SetPath(oldPath);

        EXPECT_EQ(loadEngine(), c.loads);
        const std::string directory = c.read ? folder : standin_.EngineFolder();
        EXPECT_EQ(std::string(engineDirectory()), directory);
        EXPECT_EQ(reg::Shared(), directory);
        EXPECT_EQ(reg::Path(), directory + ";" + oldPath);
        releaseEngine();
    }
}

// In 932 能 and ソ end in the byte 0x5C, in 936 淺: a folder ending in one is not a folder with a
// trailing backslash, and the engine's value, which its own programs read too, stays as it is.
class CodePageEngineLoader : public EngineLoaderWithStandin {};

TEST_F(CodePageEngineLoader, EngineInAFolderWhoseLastByteIsABackslash) {
    const std::string base = MakeTempDir("tolvane-cp");
    const struct {
        const char* what;
        const char* folder;      // below the temporary folder
        const char* trailing;    // after it in the registry
    } cases[] = {
        {"ending in 能", "エンジン能", ""},
        {"ending in ソ, below a folder ending in 表", "表\\ソ", ""},
        {"ending in 能 and a real backslash", "ソフト能", "\\"},
        {"ending in 淺", "引擎淺", ""},
        {"ending in 淺 and a real backslash", "数据淺", "\\"},
        {"ending in 功", "引擎功", ""},
        {"ending in an accented letter", "Moteur gravure \xc3\xa9", ""},
    };
    int ran = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnsiTexts ansi;
        const std::string folder = base + "\\" + ansi(c.folder);
        if (!ansi.representable()) continue;
        ++ran;
        PutEngineIn(base, folder, standin_.EngineDll());
        reg::Clear();
        reg::SetShared(folder + c.trailing);
        reg::SetPath("C:\\windows");

        EXPECT_TRUE(loadEngine()) << "the engine lies in " << folder;
        EXPECT_EQ(reg::Shared(), folder) << "the value as it was, or without its real backslash";
        EXPECT_EQ(std::string(engineDirectory()), folder + c.trailing);
        EXPECT_EQ(reg::Path(), folder + c.trailing + ";C:\\windows");
        releaseEngine();
    }
    EXPECT_GE(ran, 1);
}

TEST_F(EngineLoaderWithStandin, EachBinderLooksItsEntryPointUpAtEveryCall) {
    reg::SetShared(standin_.EngineFolder());
    standin_.Use(EngineScenario().Version(5561));
    ASSERT_TRUE(loadEngine());
    EXPECT_EQ(engineApiVersion(), 5561u);
    releaseEngine();
    EXPECT_EQ(engineApiVersion(), 0u) << "no stale entry point after release";
}

namespace {

// The loader tests' own engine, whose helper DLL lies beside it.
std::string EngineWithHelper() { return BinDir() + "\\engine-with-helper"; }

// Where the engine's helper DLL was loaded from; empty while none is loaded.
std::string LoadedHelper() {
    HMODULE helper = GetModuleHandleA("nerodep.dll");
    if (helper == nullptr) return "";
    char path[MAX_PATH] = {};
    GetModuleFileNameA(helper, path, MAX_PATH);
    return path;
}

// A copy of a file for the length of one case.
class PlantedFile {
public:
    PlantedFile(const std::string& from, const std::string& to) : path_(to) {
        EXPECT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE)) << to;
    }
    ~PlantedFile() { DeleteFileA(path_.c_str()); }
    PlantedFile(const PlantedFile&) = delete;
    PlantedFile& operator=(const PlantedFile&) = delete;

private:
    std::string path_;
};

// The engine and its helper planted together in a folder.
struct PlantedEngine {
    PlantedEngine(const std::string& folder)
        : engine(EngineWithHelper() + "\\NeroAPI.dll", folder + "\\NeroAPI.dll"),
          helper(EngineWithHelper() + "\\nerodep.dll", folder + "\\nerodep.dll") {}
    PlantedFile engine;
    PlantedFile helper;
};

class InCurrentFolder {
public:
    explicit InCurrentFolder(const std::string& folder) {
        GetCurrentDirectoryA(MAX_PATH, saved_);
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
    }
    ~InCurrentFolder() { SetCurrentDirectoryA(saved_); }
    InCurrentFolder(const InCurrentFolder&) = delete;
    InCurrentFolder& operator=(const InCurrentFolder&) = delete;

private:
    char saved_[MAX_PATH] = {};
};

}  // namespace

// Copies of the engine's helper in the player's folder (this program's) and in the current
// folder come before the engine's folder in the ordinary search; the engine gets its own.
TEST_F(EngineLoaderRegistry, TheEngineGetsItsOwnHelperDllWhateverLiesElsewhere) {
    const std::string ownHelper = EngineWithHelper() + "\\nerodep.dll";
    const std::string current = MakeTempDir("tolvane-current");
    InCurrentFolder inCurrent(current);
    const struct {
        const char* what;
        bool inPlayerFolder;
        bool inCurrentFolder;
    } cases[] = {
        {"a copy in the player's folder", true, false},
        {"a copy in the current folder", false, true},
        {"copies in both", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<PlantedFile> inPlayer, inCurrentCopy;
        if (c.inPlayerFolder) inPlayer.reset(new PlantedFile(ownHelper, BinDir() + "\\nerodep.dll"));
        if (c.inCurrentFolder) inCurrentCopy.reset(new PlantedFile(ownHelper, current + "\\nerodep.dll"));
        reg::Clear();
        reg::SetShared(EngineWithHelper());
        ASSERT_TRUE(loadEngine());
        EXPECT_TRUE(EqualIgnoringCase(LoadedHelper(), ownHelper)) << LoadedHelper();
        releaseEngine();
        EXPECT_EQ(LoadedHelper(), "") << "the helper goes with the engine";
    }
}

// Only an absolute folder, read as a text or an expanded one, is an engine directory. Anything
// else is no directory: nothing loaded, "PATH" and the registry as they were.
TEST_F(EngineLoaderRegistry, OnlyAnAbsoluteFolderInATextValueIsAnEngineDirectory) {
    const std::string current = MakeTempDir("tolvane-current");
    InCurrentFolder inCurrent(current);
    CreateDirectoryA((current + "\\engine").c_str(), nullptr);
    PlantedEngine relativeEngine(current + "\\engine");
    // The stand-in engine imports nothing of its own, so only where it is looked for decides.
    PlantedFile rootEngine(BinDir() + "\\engine\\NeroAPI.dll", current.substr(0, 3) + "NeroAPI.dll");
    SetEnvironmentVariableA("TOLVANE_OWN_ENGINE", EngineWithHelper().c_str());
    const std::string own = EngineWithHelper();
    const std::string dword("\x01\x00\x00\x00", 4);

    const struct {
        const char* what;
        DWORD type;  // REG_NONE: no "NeroAPI" value
        std::string value;
        const char* appPath;  // null: no App Paths key
        bool loads;
        std::string directory;    // empty: none, and "PATH" is left alone
        std::string sharedAfter;  // empty: the value as it was
    } cases[] = {
        {"empty, with an engine at the current drive's root", REG_SZ, std::string("\0", 1), nullptr, false, "", ""},
        {"relative, with an engine below the current folder", REG_SZ, std::string("engine\0", 7), nullptr, false, "", ""},
        {"rooted without a drive", REG_SZ, std::string("\\engine\0", 8), nullptr, false, "", ""},
        {"drive-relative", REG_SZ, std::string("C:engine\0", 9), nullptr, false, "", ""},
        {"a server without a share", REG_SZ, std::string("\\\\server\0", 9), nullptr, false, "", ""},
        {"a device path", REG_SZ, std::string("\\\\.\\C:\\nero\0", 12), nullptr, false, "", ""},
        {"a server's share", REG_SZ, std::string("\\\\server\\share\\Nero\0", 20), nullptr, false,
         "\\\\server\\share\\Nero", ""},
        {"expandable", REG_EXPAND_SZ, "%TOLVANE_OWN_ENGINE%" + std::string(1, '\0'), nullptr, true, own, ""},
        {"a number", REG_DWORD, dword, nullptr, false, "", ""},
        {"bytes naming the engine's folder", REG_BINARY, own + std::string(1, '\0'), nullptr, false, "", ""},
        {"relative, with a usable second source", REG_SZ, std::string("engine\0", 7), own.c_str(), true, own, own},
        {"no value, an empty second source", REG_NONE, "", "", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reg::Clear();
        if (c.type != REG_NONE) reg::SetSharedRaw(c.type, c.value);
        if (c.appPath != nullptr) reg::SetAppPath(c.appPath);
        const RawValue before = QueryRawValue(HKEY_LOCAL_MACHINE, kSharedEngineKey, "NeroAPI");
        reg::SetPath("C:\\windows");

        EXPECT_EQ(loadEngine(), c.loads);
        EXPECT_EQ(std::string(engineDirectory()), c.directory);
        EXPECT_EQ(reg::Path(), c.directory.empty() ? "C:\\windows" : c.directory + ";C:\\windows");
        const RawValue after = QueryRawValue(HKEY_LOCAL_MACHINE, kSharedEngineKey, "NeroAPI");
        if (c.sharedAfter.empty()) {
            EXPECT_EQ(after.exists, before.exists);
            EXPECT_EQ(after.type, before.type);
            EXPECT_EQ(after.bytes, before.bytes);
        } else {
            EXPECT_EQ(reg::Shared(), c.sharedAfter);
        }
        releaseEngine();
    }
    SetEnvironmentVariableA("TOLVANE_OWN_ENGINE", nullptr);
}
