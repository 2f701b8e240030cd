#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "burn/burn_job.h"
#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"

using BurnJobFromTheDialog = BurnDialogFixture;

// Every burn the dialog can start, as the engine receives it. Audio and data burns alternate in
// one dialog, so each also shows that nothing of the burn before it was left in the job.
TEST_F(BurnJobFromTheDialog, FlagWordsForEveryOptionCombination) {
    const std::vector<std::string> files = {MakeFile("a.wav", 4704), MakeFile("b.wav", 4704)};
    standin::Playlist playlist;
    for (const std::string& file : files) playlist.tracks.push_back(Track(file, file));
    StartPlugin(playlist, TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    enum { kAudio, kData };
    const struct {
        int type;
        bool simulate, underrun;
        const char* gap;
        long long flags;
    } cases[] = {
        {kAudio, false, false, "0", 0x8C}, {kData, false, false, "0", 0x19C},
        {kAudio, true, false, "3", 0x8A},  {kData, true, false, "3", 0x19A},
        {kAudio, false, true, "5", 0xCC},  {kData, false, true, "5", 0x1DC},
        {kAudio, true, true, "1", 0xCA},   {kData, true, true, "1", 0x1DA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type == kAudio ? "audio" : "data") + (c.simulate ? ", simulated" : ", written") +
                     (c.underrun ? ", underrun protection" : "") + ", gap " + c.gap);
        ChooseComboItem(dialog, IDC_TYPE_BOX, c.type);
        ClickCheckBox(dialog, IDC_SIMULATE, c.simulate);
        ClickCheckBox(dialog, IDC_UNDERRUN, c.underrun);
        SetControlText(dialog, IDC_GAP, c.gap);
        engine_->ClearLog();
        EXPECT_EQ(BurnAndWait(dialog).text, "Ok.");

        const EngineLog log = engine_->ReadLog();
        const auto burns = log.Calls("NeroBurn");
        ASSERT_EQ(burns.size(), 1u);
        EXPECT_EQ(burns[0].Int("format"), 0);
        EXPECT_EQ(burns[0].Int("flags"), c.flags);
        EXPECT_EQ(burns[0].Int("speed"), 0);
        const auto audio = log.Records("audio");
        ASSERT_EQ(audio.size(), 1u);
        EXPECT_EQ(audio[0].Int("medium"), 0);
        const auto isoTracks = log.Calls("NeroCreateIsoTrackEx");
        if (c.type == kAudio) {
            EXPECT_EQ(audio[0].Int("count"), 2);
            const auto tracks = log.Records("audiotrack");
            ASSERT_EQ(tracks.size(), 2u);
            EXPECT_EQ(tracks[1].Int("pause"), std::stoi(c.gap) * 75);
            EXPECT_TRUE(isoTracks.empty());
        } else {
            EXPECT_EQ(audio[0].Int("count"), 0);
            ASSERT_EQ(isoTracks.size(), 1u);
            EXPECT_EQ(isoTracks[0].Int("flags"), 0x1);
            EXPECT_TRUE(std::regex_match(isoTracks[0].Get("name"), std::regex("QCD[0-9a-f]{4}")));
            EXPECT_EQ(log.Records("isoitem").size(), 2u);
        }
    }
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST(BurnJob, ResetValues) {
    BurnJob job;
    EXPECT_EQ(job.driveName, nullptr);
    EXPECT_EQ(job.importTrack, -1);
    EXPECT_EQ(job.compilationKind, 0u);
    EXPECT_EQ(job.trackCount, 0u);
    ASSERT_NE(job.videoText, nullptr);
    EXPECT_STREQ(job.videoText, "");
    EXPECT_EQ(job.tracks[0].trackMode, 0u);
    EXPECT_EQ(job.tracks[98].name, nullptr);
}

TEST(BurnJob, TrackModeJobCollectsIsoFiles) {
    BurnJob job;
    ASSERT_EQ(job.SetCompilationKind(kKindTrackMode), 0);
    EXPECT_EQ(job.AddFile("a.bin"), 0);
    EXPECT_EQ(job.trackCount, 0u);
    EXPECT_EQ(job.isoFileCount(), 1u);
}

TEST(BurnJob, VolumeNameSwitchesCollection) {
    BurnJob job;
    job.SetVolumeName("QCD0000");
    EXPECT_TRUE(job.collectIsoFiles);
    job.SetVolumeName(nullptr);
    EXPECT_FALSE(job.collectIsoFiles);
    EXPECT_EQ(job.AddFile("a.wav"), 0);
    EXPECT_EQ(job.trackCount, 1u);
}

TEST(BurnJob, TrackGapIsNeverNegative) {
    BurnJob job;
    job.SetTrackGap(-3);
    EXPECT_EQ(job.trackGapSeconds, 0);
    job.SetTrackGap(5);
    EXPECT_EQ(job.trackGapSeconds, 5);
}

TEST(BurnJob, KindSettersRefuseAChosenKind) {
    BurnJob job;
    ASSERT_EQ(job.SetCompilationKind(kKindTrackMode), 0);
    EXPECT_EQ(job.SetAudio(true), 9);
    EXPECT_EQ(job.compilationKind, 5u);
    EXPECT_EQ(job.SetCompilationKind(kKindTrackMode), 0);
    EXPECT_EQ(job.SetCompilationKind(kKindImage), 9);
    EXPECT_EQ(job.compilationKind, 5u);

    job.Reset();
    ASSERT_EQ(job.SetAudio(true), 0);
    EXPECT_EQ(job.SetAudio(true), 9);
    EXPECT_EQ(job.SetCompilationKind(kKindAudio), 9);
    EXPECT_EQ(job.SetCompilationKind(kKindTrackMode), 9);
    EXPECT_EQ(job.compilationKind, 1u);

    job.audioMayReplaceKind = true;
    job.compilationKind = kKindImage;
    EXPECT_EQ(job.SetAudio(true), 0);
    EXPECT_EQ(job.compilationKind, 1u);

    EXPECT_EQ(job.SetAudio(false), 0);
    EXPECT_EQ(job.compilationKind, 0u);
}
