#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "burn/burn_job.h"

namespace {

// Fills a job the way the burn worker does for the two disc types.
void FillLikeWorker(BurnJob& job, bool data, bool simulate, bool underrun) {
    job.Reset();
    job.SetDriveName("RECORDER");
    job.SetAudio(!data);
    job.SetTrackGap(2);
    job.SetVolumeName(nullptr);
    if (data) {
        job.SetCompilationKind(kKindAudio);
        job.SetBurnFlag100(true);
        job.SetVolumeName("QCD1a2b");
        job.SetBurnFlag10(true);
    }
    job.SetUnderrunProtection(underrun);
    job.SetWriteDisc(!simulate);
}

std::vector<std::string> Names(size_t count) {
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.push_back("C:\\music\\" + std::to_string(i) + ".wav");
    return names;
}

}  // namespace

TEST(BurnJob, ResetValues) {
    BurnJob job;
    EXPECT_EQ(job.driveName, nullptr);
    EXPECT_EQ(job.fallbackSpeed, -1);
    EXPECT_EQ(job.speed, -1);
    EXPECT_EQ(job.importTrack, -1);
    EXPECT_EQ(job.compilationKind, 0u);
    EXPECT_EQ(job.trackCount, 0u);
    ASSERT_NE(job.videoText, nullptr);
    EXPECT_STREQ(job.videoText, "");
    EXPECT_EQ(job.tracks[0].trackMode, 0u);
    EXPECT_EQ(job.tracks[98].name, nullptr);
}

TEST(BurnJob, ResetClearsAUsedJob) {
    BurnJob job;
    std::vector<std::string> names = Names(3);
    FillLikeWorker(job, true, false, true);
    for (const std::string& name : names) job.AddFile(name.c_str());
    job.speed = 8;
    job.importTrack = 2;
    job.Reset();
    EXPECT_EQ(job.isoFileCount(), 0u);
    EXPECT_EQ(job.trackCount, 0u);
    EXPECT_EQ(job.compilationKind, 0u);
    EXPECT_EQ(job.volumeName, nullptr);
    EXPECT_FALSE(job.collectIsoFiles);
    EXPECT_FALSE(job.burnFlag100);
    EXPECT_FALSE(job.underrunProtection);
    EXPECT_EQ(job.speed, -1);
    EXPECT_EQ(job.importTrack, -1);
    // A second burn starts from a clean job: audio can be chosen again.
    EXPECT_EQ(job.SetAudio(true), 0);
    EXPECT_EQ(job.compilationKind, 1u);
}

TEST(BurnJob, AudioJobStopsAt99Tracks) {
    BurnJob job;
    std::vector<std::string> names = Names(120);
    FillLikeWorker(job, false, false, false);
    for (size_t i = 0; i < names.size(); ++i) {
        const int32_t expected = i < 99 ? 0 : 11;
        EXPECT_EQ(job.AddFile(names[i].c_str()), expected) << "file number " << i + 1;
    }
    EXPECT_EQ(job.trackCount, 99u);
    EXPECT_EQ(job.isoFileCount(), 0u);
    EXPECT_EQ(job.track(0).name, names[0].c_str());
    EXPECT_EQ(job.track(98).name, names[98].c_str());
}

TEST(BurnJob, DataJobDivertsEveryFileToIsoFiles) {
    BurnJob job;
    std::vector<std::string> names = Names(150);
    FillLikeWorker(job, true, false, false);
    EXPECT_EQ(job.compilationKind, 1u);
    for (const std::string& name : names) EXPECT_EQ(job.AddFile(name.c_str()), 0);
    EXPECT_EQ(job.trackCount, 0u);
    ASSERT_EQ(job.isoFileCount(), 150u);
    EXPECT_EQ(job.isoFile(0), names[0].c_str());
    EXPECT_EQ(job.isoFile(149), names[149].c_str());
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
    EXPECT_EQ(job.SetCompilationKind(kKindAudio), 9) << "a data disc after audio keeps the audio kind";
    EXPECT_EQ(job.SetCompilationKind(kKindTrackMode), 9);
    EXPECT_EQ(job.compilationKind, 1u);

    job.audioMayReplaceKind = true;
    job.compilationKind = kKindImage;
    EXPECT_EQ(job.SetAudio(true), 0);
    EXPECT_EQ(job.compilationKind, 1u);

    EXPECT_EQ(job.SetAudio(false), 0);
    EXPECT_EQ(job.compilationKind, 0u);
}

TEST(BurnJob, NoDiscTypeLeavesKindNone) {
    BurnJob job;
    job.SetAudio(false);
    job.SetTrackGap(2);
    job.SetVolumeName(nullptr);
    EXPECT_EQ(job.compilationKind, 0u);
}

TEST(BurnJob, EffectiveSpeed) {
    BurnJob job;
    EXPECT_EQ(job.EffectiveSpeed(), 0);
    EXPECT_EQ(job.BurnFlags() & 0x800u, 0u);
    job.speed = 0;
    EXPECT_EQ(job.EffectiveSpeed(), 0);
    EXPECT_EQ(job.BurnFlags() & 0x800u, 0x800u);
    job.speed = -1;
    job.fallbackSpeed = 4;
    EXPECT_EQ(job.EffectiveSpeed(), 4);
    EXPECT_EQ(job.BurnFlags() & 0x800u, 0u) << "only an explicit speed sets 0x800";
    job.speed = 16;
    EXPECT_EQ(job.EffectiveSpeed(), 16);
}

TEST(BurnJob, FlagWordsOfTheWorker) {
    struct Case {
        bool data, simulate, underrun;
        uint32_t flags;
    };
    const Case cases[] = {
        {false, false, false, 0x8C}, {false, true, false, 0x8A}, {true, false, false, 0x19C},
        {true, true, false, 0x19A},  {false, false, true, 0xCC}, {false, true, true, 0xCA},
        {true, false, true, 0x1DC},  {true, true, true, 0x1DA},
    };
    BurnJob job;
    for (const Case& c : cases) {
        FillLikeWorker(job, c.data, c.simulate, c.underrun);
        EXPECT_EQ(job.BurnFlags(), c.flags)
            << "data=" << c.data << " simulate=" << c.simulate << " underrun=" << c.underrun;
    }
}

TEST(BurnJob, EveryFlagSwitchHasItsBit) {
    struct Case {
        bool BurnJob::*field;
        bool value;
        uint32_t bit;
    };
    const Case cases[] = {
        {&BurnJob::burnFlag01, true, 0x1},       {&BurnJob::burnFlag08Off, true, 0x8},
        {&BurnJob::burnFlag20, true, 0x20},      {&BurnJob::burnFlag80Off, true, 0x80},
        {&BurnJob::burnFlag200, true, 0x200},    {&BurnJob::burnFlag400, true, 0x400},
        {&BurnJob::burnFlag1000, true, 0x1000},
    };
    for (const Case& c : cases) {
        BurnJob job;
        const uint32_t before = job.BurnFlags();
        job.*c.field = c.value;
        EXPECT_EQ(job.BurnFlags() ^ before, c.bit);
    }
}
