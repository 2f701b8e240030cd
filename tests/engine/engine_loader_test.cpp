#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/engine_library.h"
#include "support/engine_registry.h"
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

// A stored value that fills the 255 bytes read, with no terminator, still ends as a text.
TEST_F(EngineLoaderRegistry, DirectoryFillingTheReadLimitIsTerminated) {
    reg::SetSharedBytes(std::string(255, 'x'));
    EXPECT_FALSE(loadEngine());
    EXPECT_EQ(std::strlen(engineDirectory()), 255u);
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
    for (size_t at = folder.find('\\', base.size()); at != std::string::npos; at = folder.find('\\', at + 1))
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

TEST_F(EngineLoaderWithStandin, EachBinderLooksItsEntryPointUpAtEveryCall) {
    reg::SetShared(standin_.EngineFolder());
    standin_.Use(EngineScenario().Version(5561));
    ASSERT_TRUE(loadEngine());
    EXPECT_EQ(engineApiVersion(), 5561u);
    releaseEngine();
    EXPECT_EQ(engineApiVersion(), 0u) << "no stale entry point after release";
}
