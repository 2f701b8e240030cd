#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "burn/burn.h"
#include "burn/burn_job.h"
#include "engine/engine_callbacks.h"
#include "engine/engine_session.h"
#include "support/callback_windows.h"
#include "support/engine_standin.h"

namespace {

// The image record: the simplest record a burn step can hand over.
struct ImageRecord {
    uint32_t field0;
    char file[256];
};

class BurnStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin_.PointRegistry();
        abortFlag = 0;
    }
    void TearDown() override {
        abortFlag = 0;
        session_.Destroy();
        ExpectNoLedgerReports(standin_.ReadLog());
    }

    // Loads and initialises the engine (the user-dialog callback comes from there) and opens the one recorder; the log then starts empty.
    void OpenRecorder(EngineScenario scenario) {
        StandinDrive drive;
        drive.name = "WRITER";
        drive.letter = 'E';
        standin_.Use(scenario.AddDrive(drive));
        ASSERT_EQ(session_.Load().code(), 0);
        ASSERT_EQ(session_.Initialise().code(), 0);
        ASSERT_EQ(session_.QueryDrives().code(), 0);
        job_.SetDriveName("WRITER");
        ASSERT_EQ(session_.OpenDevice().code(), 0);
        standin_.ClearLog();
    }
    int32_t BurnImage() {
        ImageRecord record = {};
        std::strcpy(record.file, "Z:\\tmp\\disc.iso");
        return burner_.BurnStep(job_, kEngineFormatImage, &record);
    }

    EngineStandin standin_;
    BurnJob job_;
    EngineSession session_{job_};
    Burner burner_{session_};
};

}  // namespace

TEST_F(BurnStepTest, OneNeroBurnWithTheJobsSpeedAndFlags) {
    OpenRecorder(EngineScenario());
    job_.SetWriteDisc(true);
    job_.SetUnderrunProtection(true);
    EXPECT_EQ(BurnImage(), 0);
    EngineLog log = standin_.ReadLog();
    ASSERT_EQ(log.CallCount("NeroBurn"), 1u);
    const EngineLogEntry burn = log.Calls("NeroBurn")[0];
    EXPECT_EQ(burn.Int("device"), reinterpret_cast<intptr_t>(session_.deviceHandle()));
    EXPECT_EQ(burn.Int("format"), 2);
    EXPECT_EQ(burn.Int("flags"), 0xCC);
    EXPECT_EQ(burn.Int("speed"), 0);
    EXPECT_EQ(burn.Int("progress"), reinterpret_cast<intptr_t>(&engineProgressRecord()));
    const std::vector<EngineLogEntry> progress = log.Records("progress");
    ASSERT_EQ(progress.size(), 1u);
    for (const char* callback : {"progress", "aborted", "addLogLine", "setPhase", "disableAbort", "setMajorPhase"})
        EXPECT_EQ(progress[0].Get(callback), "1") << callback;
    EXPECT_EQ(progress[0].Int("userData"), reinterpret_cast<intptr_t>(&engineSettingsRecord()));
    EXPECT_EQ(progress[0].Get("further"), "null");
    ASSERT_EQ(log.Records("image").size(), 1u);
    EXPECT_EQ(log.Records("image")[0].Get("file"), "Z:\\tmp\\disc.iso");

    standin_.ClearLog();
    job_.SetWriteDisc(false);
    job_.SetUnderrunProtection(false);
    BurnImage();
    const EngineLogEntry simulated = standin_.ReadLog().Calls("NeroBurn")[0];
    EXPECT_EQ(simulated.Int("flags"), 0x8A);
    EXPECT_EQ(simulated.Int("speed"), 0);
}

TEST_F(BurnStepTest, EngineAnswerIsMapped) {
    OpenRecorder(EngineScenario());
    const int32_t expected[][2] = {{0, 0}, {1, 13}, {2, 14},   {3, 15},    {4, 16},        {5, 17},
                                   {6, 30}, {7, 2}, {-1, 2}, {1000, 2}, {INT32_MAX, 2}, {INT32_MIN, 2}};
    for (const auto& row : expected) {
        StandinDrive drive;
        drive.name = "WRITER";
        standin_.Use(EngineScenario().AddDrive(drive).BurnResult(row[0]));
        EXPECT_EQ(BurnImage(), row[1]) << "engine answered " << row[0];
    }
}

TEST_F(BurnStepTest, CallbacksDuringTheBurnReachTheDialog) {
    CallbackWindows windows;
    OpenRecorder(EngineScenario()
                     .WaitText("Please insert a blank disc")
                     .Progress(40)
                     .Phase("Writing track 1")
                     .MajorPhase(36)
                     .UserDialog(15, 3)
                     .UserDialog(16));
    EXPECT_EQ(BurnImage(), 0);
    EXPECT_EQ(windows.ProgressPosition(), 40);
    EXPECT_EQ(windows.StatusText(), "Please insert a blank disc");
    EngineLog log = standin_.ReadLog();
    ASSERT_EQ(log.CallCount("NeroGetLocalizedWaitCDTexts"), 1u);
    EXPECT_EQ(log.Calls("NeroGetLocalizedWaitCDTexts")[0].Int("reason"), 3);
    ASSERT_EQ(log.CallCount("NeroFreeMem"), 1u);
    EXPECT_EQ(log.Calls("NeroFreeMem")[0].Int("block"), log.Result("NeroGetLocalizedWaitCDTexts").Int("result"));
    for (const EngineLogEntry& step : log.Steps("user_dialog")) EXPECT_EQ(step.Int("result"), 0);

    standin_.Use(EngineScenario().MediaMismatch("CD-RW", "DVD+R").UserDialog(28));
    BurnImage();
    EXPECT_EQ(windows.StatusText(), "Last detected media: CD-RW\nRequested media: DVD+R");
}

TEST_F(BurnStepTest, AbortFlagEndsTheBurnAsUserAborted) {
    OpenRecorder(EngineScenario().WaitUntilAborted(5000));
    abortFlag = 1;
    EngineResult result(burner_.BurnStep(job_, kEngineFormatImage, nullptr));
    EXPECT_EQ(result.code(), 30);
    EXPECT_STREQ(result.message(), "User aborted!");
    const std::vector<EngineLogEntry> waits = standin_.ReadLog().Steps("wait");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].Get("aborted"), "1");
}

TEST_F(BurnStepTest, KindsWithoutABuilderGiveInternalError) {
    OpenRecorder(EngineScenario().LastError("nothing to burn"));
    for (uint32_t kind : {0u, 6u, 100u}) {
        job_.compilationKind = kind;
        standin_.ClearLog();
        EngineResult result = burner_.Burn(job_);
        EXPECT_EQ(result.code(), 2) << "kind " << kind;
        EXPECT_STREQ(result.engineText(), "nothing to burn");
        EngineLog log = standin_.ReadLog();
        EXPECT_EQ(log.CallCount("NeroBurn"), 0u) << "kind " << kind;
        EXPECT_EQ(log.CallCount("NeroGetLastError"), 1u) << "kind " << kind;
    }
}
