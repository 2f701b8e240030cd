#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"
#include "support/engine_standin.h"
#include "support/test_paths.h"

namespace {

StandinDrive Drive(const std::string& name, char letter, uint32_t capabilities = 1) {
    StandinDrive drive;
    drive.name = name;
    drive.letter = letter;
    drive.capabilities = capabilities;
    return drive;
}

// The entry points called, without the version queries the binders make for their gates.
std::vector<std::string> CallsWithoutVersion(const EngineLog& log) {
    std::vector<std::string> calls;
    for (const std::string& call : log.CallSequence())
        if (call != "NeroGetAPIVersion") calls.push_back(call);
    return calls;
}

bool EngineModuleLoaded() { return GetModuleHandleA("NeroAPI.dll") != nullptr; }

// A session against the stand-in engine. Every test ends with the engine torn down and its
// ledger checked: each block handed out released exactly once.
class EngineSessionTest : public ::testing::Test {
protected:
    explicit EngineSessionTest(EngineStandin::Variant variant = EngineStandin::Variant::Current)
        : standin_(variant) {}

    void SetUp() override { standin_.PointRegistry(); }
    void TearDown() override {
        session_.Destroy();
        ExpectNoLedgerReports(standin_.ReadLog());
        EXPECT_FALSE(EngineModuleLoaded());
    }

    // Loads the engine with a scenario, then starts a clean log.
    void LoadWith(const EngineScenario& scenario) {
        standin_.Use(scenario);
        ASSERT_EQ(session_.Load().code(), 0);
        standin_.ClearLog();
    }
    void LoadAndQuery(const EngineScenario& scenario) {
        LoadWith(scenario);
        ASSERT_EQ(session_.QueryDrives().code(), 0);
    }
    EngineLog Log() const { return standin_.ReadLog(); }

    EngineStandin standin_;
    BurnJob job_;
    EngineSession session_{job_};
};

class LegacyEngineSessionTest : public EngineSessionTest {
protected:
    LegacyEngineSessionTest() : EngineSessionTest(EngineStandin::Variant::Legacy) {}
};

}  // namespace

TEST_F(EngineSessionTest, LoadTellsTheExpectedVersion) {
    standin_.Use(EngineScenario());
    EngineResult result(session_.Load().code());
    EXPECT_EQ(result.code(), 0);
    EXPECT_TRUE(session_.loaded());
    EngineLog log = Log();
    ASSERT_EQ(log.CallCount("NeroSetExpectedAPIVersionEx"), 1u);
    const EngineLogEntry call = log.Calls("NeroSetExpectedAPIVersionEx")[0];
    EXPECT_EQ(call.Get("major") + "." + call.Get("minor") + "." + call.Get("release") + "." + call.Get("build"),
              "5.5.9.14");
    EXPECT_EQ(call.Get("reserved"), "null");
    EXPECT_EQ(log.CallCount("NeroSetExpectedAPIVersion"), 0u);
    EXPECT_EQ(log.CallCount("NeroGetLastError"), 0u) << "code 0 asks the engine nothing";
}

TEST_F(EngineSessionTest, RefusedVersionUnloadsAndFallsBack) {
    standin_.Use(EngineScenario().AcceptExpected(false).LastError("refused"));
    EngineResult loaded(session_.Load().code());
    EXPECT_EQ(loaded.code(), 3);
    EXPECT_STREQ(loaded.message(), "NEROAPI.DLL was not found!");
    EXPECT_FALSE(session_.loaded());
    EXPECT_FALSE(EngineModuleLoaded());
    EXPECT_EQ(session_.Initialise().code(), 2);
    standin_.ClearLog();
    session_.Close();
    EXPECT_TRUE(Log().CallSequence().empty()) << "close after a failed load calls nothing";
}

TEST_F(LegacyEngineSessionTest, OlderEngineGetsJoinedVersionAndDigitParts) {
    standin_.Use(EngineScenario().Version(5564));
    ASSERT_EQ(session_.Load().code(), 0);
    EngineLog log = Log();
    ASSERT_EQ(log.CallCount("NeroSetExpectedAPIVersion"), 1u);
    EXPECT_EQ(log.Calls("NeroSetExpectedAPIVersion")[0].Int("version"), 5599);
    WORD parts[4] = {};
    ASSERT_NE(engineApiVersionParts(&parts[0], &parts[1], &parts[2], &parts[3]), 0);
    EXPECT_EQ(std::vector<WORD>(parts, parts + 4), (std::vector<WORD>{5, 5, 6, 4}));
}

TEST_F(LegacyEngineSessionTest, ExpectedVersionPartsAreCappedAtNine) {
    LoadWith(EngineScenario());
    EXPECT_NE(setExpectedEngineVersion(1, 12, 0, 65535), 0);
    EXPECT_EQ(Log().Calls("NeroSetExpectedAPIVersion")[0].Int("version"), 1909);
}

TEST_F(EngineSessionTest, VersionPartsFromTheEngine) {
    LoadWith(EngineScenario().VersionParts(5, 5, 10, 0));
    WORD parts[4] = {};
    ASSERT_NE(engineApiVersionParts(&parts[0], &parts[1], &parts[2], &parts[3]), 0);
    EXPECT_EQ(std::vector<WORD>(parts, parts + 4), (std::vector<WORD>{5, 5, 10, 0}));
    standin_.Use(EngineScenario().NoVersionParts());
    EXPECT_EQ(engineApiVersionParts(&parts[0], &parts[1], &parts[2], &parts[3]), 0);
}

TEST_F(EngineSessionTest, InitialiseHandsTheSettingsRecord) {
    LoadWith(EngineScenario());
    EXPECT_EQ(session_.Initialise().code(), 0);
    EngineLog log = Log();
    ASSERT_EQ(log.CallCount("NeroInit"), 1u);
    EXPECT_EQ(log.Calls("NeroInit")[0].Get("reserved"), "null");
    const std::vector<EngineLogEntry> records = log.Records("settings");
    ASSERT_EQ(records.size(), 1u);
    const EngineLogEntry& settings = records[0];
    EXPECT_EQ(settings.Get("filesPath"), "null");
    EXPECT_EQ(settings.Get("vendor"), "ahead");
    EXPECT_EQ(settings.Get("software"), "Nero - Burning Rom");
    EXPECT_EQ(settings.Get("languageFile"), "Nero.txt");
    EXPECT_EQ(settings.Get("idle"), "1");
    EXPECT_EQ(settings.Get("userDialog"), "1");
    EXPECT_EQ(settings.Int("idleUserData"), reinterpret_cast<intptr_t>(&engineSettingsRecord()));
    EXPECT_EQ(settings.Int("userDialogUserData"), reinterpret_cast<intptr_t>(&session_));
    EXPECT_EQ(settings.Get("overburn"), "0");
    EXPECT_EQ(settings.Get("overburnSize"), "0");

    standin_.Use(EngineScenario().InitResult(7));
    EXPECT_EQ(session_.Initialise().code(), 2);
}

TEST_F(EngineSessionTest, NeroDoneSkippedFor5564To5566) {
    struct Case {
        DWORD version;
        bool done;
    };
    const Case cases[] = {{5563, true}, {5564, false}, {5565, false}, {5566, false}, {5567, true}, {5599, true}};
    for (const Case& c : cases) {
        LoadWith(EngineScenario().Version(c.version));
        session_.Destroy();
        EXPECT_EQ(Log().CallCount("NeroDone"), c.done ? 1u : 0u) << "version " << c.version;
        EXPECT_FALSE(EngineModuleLoaded()) << "version " << c.version;
    }
}

TEST_F(EngineSessionTest, QueryDrivesOnceAndLabels) {
    EngineScenario scenario;
    scenario.AddDrive(Drive("_NEC DVD_RW ND-3520A", 'E'))
        .AddDrive(Drive("READER", 'F', 0x41))
        .AddDrive(Drive("IMAGE RECORDER", 0, 0x3));
    LoadWith(scenario);
    EXPECT_EQ(session_.QueryDrives().code(), 0);
    EXPECT_EQ(session_.QueryDrives().code(), 0);
    EngineLog log = Log();
    ASSERT_EQ(log.CallCount("NeroGetAvailableDrivesEx"), 1u);
    EXPECT_EQ(log.Calls("NeroGetAvailableDrivesEx")[0].Int("mediumType"), 0);
    EXPECT_EQ(log.Calls("NeroGetAvailableDrivesEx")[0].Get("reserved"), "null");
    DriveLabels labels;
    ASSERT_EQ(session_.GetDriveLabels(labels), 2);
    EXPECT_STREQ(labels[0], "E: _NEC DVD_RW ND-3520A");
    EXPECT_STREQ(labels[1], "?: IMAGE RECORDER");
}

TEST_F(EngineSessionTest, NoDriveList) {
    LoadWith(EngineScenario().NoDriveList().LastError("no drives"));
    EngineResult result(session_.QueryDrives().code());
    EXPECT_EQ(result.code(), 9);
    EXPECT_STREQ(result.engineText(), "no drives");
    DriveLabels labels;
    EXPECT_EQ(session_.GetDriveLabels(labels), 0);
    job_.SetDriveName("ANY");
    EXPECT_EQ(session_.OpenDevice().code(), 12);
}

TEST_F(EngineSessionTest, OpenDeviceResults) {
    LoadAndQuery(EngineScenario().AddDrive(Drive("WRITER", 'E')));
    standin_.ClearLog();
    EXPECT_EQ(session_.OpenDevice().code(), 10);
    EXPECT_EQ(Log().CallCount("NeroOpenDevice"), 0u);

    job_.SetDriveName("OTHER");
    EngineResult notFound(session_.OpenDevice().code());
    EXPECT_EQ(notFound.code(), 12);
    EXPECT_STREQ(notFound.message(), "Drive was not found!");
    EXPECT_EQ(Log().CallCount("NeroOpenDevice"), 0u);

    standin_.Use(EngineScenario().AddDrive(Drive("WRITER", 'E')).OpenDeviceSucceeds(false));
    job_.SetDriveName("writer");
    EXPECT_EQ(session_.OpenDevice().code(), 11);
    EXPECT_EQ(session_.deviceHandle(), nullptr);

    standin_.Use(EngineScenario().AddDrive(Drive("WRITER", 'E')));
    job_.SetDriveName("e");
    EXPECT_EQ(session_.OpenDevice().code(), 0);
    EXPECT_NE(session_.deviceHandle(), nullptr);
    EngineLog log = Log();
    const std::vector<EngineLogEntry> devices = log.Records("device");
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices.back().Get("layout"), "current");
    EXPECT_EQ(devices.back().Int("listIndex"), 0);
    EXPECT_EQ(devices.back().Get("name"), "WRITER");
}

// A handle per burn must not leak: the device held from the last burn is closed first.
TEST_F(EngineSessionTest, OpeningAgainClosesTheHeldDevice) {
    LoadAndQuery(EngineScenario().AddDrive(Drive("WRITER", 'E')).AddDrive(Drive("SECOND", 'F')));
    job_.SetDriveName("WRITER");
    ASSERT_EQ(session_.OpenDevice().code(), 0);
    void* first = session_.deviceHandle();
    standin_.ClearLog();
    job_.SetDriveName("SECOND");
    ASSERT_EQ(session_.OpenDevice().code(), 0);
    EngineLog log = Log();
    EXPECT_EQ(CallsWithoutVersion(log), (std::vector<std::string>{"NeroCloseDevice", "NeroOpenDevice"}));
    ASSERT_EQ(log.CallCount("NeroCloseDevice"), 1u);
    EXPECT_EQ(log.Calls("NeroCloseDevice")[0].Int("device"), reinterpret_cast<intptr_t>(first));

    // A name that matches nothing keeps the held device.
    job_.SetDriveName("NOWHERE");
    EXPECT_EQ(session_.OpenDevice().code(), 0);
    EXPECT_NE(session_.deviceHandle(), nullptr);
}

// The burn dialog hands back the label after "X: ", upper-cased; long names are cut there.
TEST_F(EngineSessionTest, RecorderWithALongNameIsFoundFromItsLabel) {
    const std::string longName = "Optiarc DVD RW AD-7170A with a remarkably long model designation";  // 64
    ASSERT_EQ(longName.size(), 64u);
    LoadAndQuery(EngineScenario().AddDrive(Drive(longName, 'G')));
    DriveLabels labels;
    ASSERT_EQ(session_.GetDriveLabels(labels), 1);
    ASSERT_EQ(std::string(labels[0]).size(), 63u);
    std::string driveName = labels[0] + 3;
    CharUpperA(&driveName[0]);
    job_.SetDriveName(driveName.c_str());
    EXPECT_EQ(session_.OpenDevice().code(), 0);
    const std::vector<EngineLogEntry> devices = Log().Records("device");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].Get("nameTerminated"), "0");
}

TEST_F(EngineSessionTest, OlderEnginesGetTheOlderDeviceRecord) {
    StandinDrive drive = Drive("A WRITER WHOSE NAME IS LONGER THAN THIRTY-ONE", 'E', 0x21);
    for (uint32_t i = 0; i < 25; ++i) drive.speeds1.push_back(100 + i);
    drive.speedCount2 = 0;  // an empty table: nothing may be read before its first entry
    drive.shortText = "1.0Q";
    drive.words[0] = 7;
    drive.words[2] = 9;
    drive.word1388 = 1388;
    drive.text1392 = "firmware";
    drive.word1456 = 1456;
    LoadAndQuery(EngineScenario().Version(5554).AddDrive(drive));
    job_.SetDriveName("E");
    ASSERT_EQ(session_.OpenDevice().code(), 0);
    const std::vector<EngineLogEntry> devices = Log().Records("device");
    ASSERT_EQ(devices.size(), 1u);
    const EngineLogEntry& old = devices[0];
    EXPECT_EQ(old.Get("layout"), "older");
    EXPECT_EQ(old.Get("name"), std::string("A WRITER WHOSE NAME IS LONGER THAN THIRTY-ONE").substr(0, 31));
    EXPECT_EQ(old.Get("shortText"), "1.0Q");
    EXPECT_EQ(old.List("words"), (std::vector<uint32_t>{7, 0, 9}));
    EXPECT_EQ(old.Int("letter"), 'E');
    EXPECT_EQ(old.Int("capabilities"), 0x21);
    EXPECT_EQ(old.Int("count1"), 20);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 19; ++i) expected.push_back(100 + i);
    expected.push_back(124);
    EXPECT_EQ(old.List("speeds1"), expected);
    EXPECT_EQ(old.Int("count2"), 0);
    EXPECT_EQ(old.Int("word1388"), 1388);
    EXPECT_EQ(old.Get("text1392"), "firmware");
    EXPECT_EQ(old.Int("word1456"), 1456);

    standin_.ClearLog();
    session_.Close();
    standin_.Use(EngineScenario().Version(5555).AddDrive(drive));
    ASSERT_EQ(session_.QueryDrives().code(), 0);
    ASSERT_EQ(session_.OpenDevice().code(), 0);
    EXPECT_EQ(Log().Records("device").back().Get("layout"), "current");
}

TEST_F(EngineSessionTest, CloseReleasesInOrder) {
    LoadAndQuery(EngineScenario().AddDrive(Drive("WRITER", 'E')));
    job_.SetDriveName("WRITER");
    ASSERT_EQ(session_.OpenDevice().code(), 0);
    const intptr_t device = reinterpret_cast<intptr_t>(session_.deviceHandle());
    const intptr_t list = reinterpret_cast<intptr_t>(session_.driveList());
    standin_.ClearLog();
    session_.Close();
    EngineLog log = Log();
    EXPECT_EQ(CallsWithoutVersion(log), (std::vector<std::string>{"NeroCloseDevice", "NeroFreeMem", "NeroFreeMem",
                                                                 "NeroFreeCDStamp", "NeroClearErrors"}));
    EXPECT_EQ(log.Calls("NeroCloseDevice")[0].Int("device"), device);
    EXPECT_EQ(log.Calls("NeroFreeMem")[0].Int("block"), list);
    EXPECT_EQ(log.Calls("NeroFreeMem")[1].Get("block"), "null");
    EXPECT_EQ(session_.deviceHandle(), nullptr);
    EXPECT_EQ(session_.driveList(), nullptr);
    EXPECT_TRUE(session_.loaded());

    // The next dialog queries again.
    standin_.ClearLog();
    ASSERT_EQ(session_.QueryDrives().code(), 0);
    EXPECT_EQ(Log().CallCount("NeroGetAvailableDrivesEx"), 1u);
}

TEST_F(EngineSessionTest, DvdrLibraryMovedAsideOnlyFor5564) {
    const std::string dvdr = standin_.EngineFolder() + "\\DVDR.DLL";
    const std::string aside = standin_.EngineFolder() + "\\DVDR._DLL";
    struct Case {
        DWORD version;
        bool withFile;
        bool movedAside;
    };
    const Case cases[] = {{5564, true, true}, {5564, false, false}, {5565, true, false}, {5563, true, false}};
    for (const Case& c : cases) {
        DeleteFileA(aside.c_str());
        if (c.withFile) ASSERT_TRUE(WriteFileText(dvdr, "dvdr")); else DeleteFileA(dvdr.c_str());
        LoadAndQuery(EngineScenario().Version(c.version).AddDrive(Drive("WRITER", 'E')));
        const std::vector<EngineLogEntry> records = Log().Records("dvdr");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].Get("movedAside"), c.movedAside ? "1" : "0") << "version " << c.version;
        EXPECT_EQ(GetFileAttributesA(dvdr.c_str()) != INVALID_FILE_ATTRIBUTES, c.withFile) << "put back";
        EXPECT_EQ(GetFileAttributesA(aside.c_str()), INVALID_FILE_ATTRIBUTES);
        session_.Destroy();
    }
    DeleteFileA(dvdr.c_str());
}

TEST_F(EngineSessionTest, FailingResultKeepsTheEngineText) {
    LoadWith(EngineScenario().LastError("Drive not ready"));
    {
        EngineResult result(EXITCODE_BURN_FAILED);
        ASSERT_NE(result.engineText(), nullptr);
        EXPECT_STREQ(result.engineText(), "Drive not ready");
        EXPECT_STREQ(result.message(), "Burn process failed!");
        EngineLog log = Log();
        ASSERT_EQ(log.CallCount("NeroGetLastError"), 1u);
        ASSERT_EQ(log.CallCount("NeroFreeMem"), 1u);
        EXPECT_EQ(log.Calls("NeroFreeMem")[0].Int("block"), log.Result("NeroGetLastError").Int("result"));
    }
    EngineResult ok(EXITCODE_OK);
    EXPECT_EQ(ok.engineText(), nullptr);
    EXPECT_STREQ(ok.message(), "Ok.");
    EXPECT_EQ(Log().CallCount("NeroGetLastError"), 1u);

    standin_.Use(EngineScenario());
    EngineResult noText(EXITCODE_UNKNOWN);
    EXPECT_EQ(noText.engineText(), nullptr);
    EXPECT_STREQ(noText.message(), "Unknown error.");
    EngineResult unknown(1000);
    EXPECT_STREQ(unknown.message(), "Unknown error.");

    // A text of any length is kept whole, and released once.
    const std::string longText(10000, 'e');
    standin_.Use(EngineScenario().LastError(longText));
    standin_.ClearLog();
    {
        EngineResult result(EXITCODE_DRIVE_ACCESS);
        ASSERT_NE(result.engineText(), nullptr);
        EXPECT_EQ(std::string(result.engineText()), longText);
    }
    const EngineLog log = Log();
    ASSERT_EQ(log.CallCount("NeroFreeMem"), 1u);
    EXPECT_EQ(log.Calls("NeroFreeMem")[0].Int("block"), log.Result("NeroGetLastError").Int("result"));
}
