// The audio record as the engine receives it, and what the builder leaves behind.

#include <gtest/gtest.h>

#include "compilation_fixture.h"
#include "base/handles.h"

namespace {

class AudioRecordTest : public CompilationTest {
protected:
    void AddTracks(std::initializer_list<std::string> names) {
        job_.SetAudio(true);
        for (const std::string& name : names) job_.AddFile(Keep(name));
    }
    // True when nobody holds the file open: an exclusive open succeeds.
    bool NotOpen(const std::string& path) {
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return file.valid();
    }
};

TEST_F(AudioRecordTest, FirstTrackPausesTwoSecondsAndLaterOnesTheGap) {
    struct Case {
        int32_t gap;
        long pauses[3];
    };
    const Case cases[] = {{0, {150, 0, 0}}, {2, {150, 150, 150}}, {5, {150, 375, 375}}};
    for (const Case& c : cases) {
        UseScenario();
        job_.Reset();
        AddTracks({"one.wav", "two.wav", "three.wav"});
        job_.SetTrackGap(c.gap);
        ASSERT_EQ(0, burner_->BuildAudioCompilation(job_)) << "gap " << c.gap;
        auto entries = Records("audiotrack");
        ASSERT_EQ(3u, entries.size());
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(c.pauses[i], entries[i].Int("pause")) << "gap " << c.gap;
    }
}

TEST_F(AudioRecordTest, FileKindsComeFromTheExtensionWithoutRegardToCase) {
    AddTracks({"C:\\x\\a.wav", "Song.MP3", "C:\\y.z\\speech.WmA"});
    ASSERT_EQ(0, burner_->BuildAudioCompilation(job_));

    auto entries = Records("audiotrack");
    ASSERT_EQ(3u, entries.size());
    const struct {
        long kind;
        std::string file;
    } expected[] = {{0, "C:\\x\\a.wav"}, {2, "Song.MP3"}, {3, "C:\\y.z\\speech.WmA"}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].kind, entries[i].Int("kind")) << expected[i].file;
        EXPECT_EQ(expected[i].file, entries[i].Get("file"));
        EXPECT_EQ(0, entries[i].Int("blocks"));
        EXPECT_EQ("", entries[i].Get("dirty")) << "reserved bytes stay zero";
    }
    auto burns = Calls("NeroBurn");
    ASSERT_EQ(1u, burns.size());
    EXPECT_EQ(0, burns[0].Int("format"));
}

TEST_F(AudioRecordTest, UnknownFileTypesBurnNothing) {
    for (const char* name : {"C:\\Music.old\\track", "noextension", "clip.ogg", "song.wav.bak"}) {
        UseScenario();
        job_.Reset();
        AddTracks({"first.wav", name});
        EXPECT_EQ(20, burner_->BuildAudioCompilation(job_)) << name;
        EXPECT_EQ(0u, CallCount("NeroBurn")) << name;
    }
}

TEST_F(AudioRecordTest, PcmTrackIsReadWholeThroughTheCallbacks) {
    const std::string pcm = MakeFile("raw.PCM", 2352 * 10 + 100);
    UseScenario(EngineScenario().PcmChunk(1000).ReadPcmSources());
    AddTracks({pcm});
    ASSERT_EQ(0, burner_->BuildAudioCompilation(job_));

    auto entries = Records("audiotrack");
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(1, entries[0].Int("kind"));
    EXPECT_EQ(10, entries[0].Int("blocks")) << "a partial last block is not counted";
    EXPECT_EQ("1", entries[0].Get("read"));
    EXPECT_EQ("1", entries[0].Get("eof"));
    EXPECT_EQ("1", entries[0].Get("error"));
    auto reads = Log().Steps("read_pcm");
    ASSERT_EQ(1u, reads.size());
    EXPECT_EQ(2352 * 10 + 100, reads[0].Int("bytes"));
    EXPECT_EQ("1", reads[0].Get("eof"));
    EXPECT_EQ("0", reads[0].Get("error"));
    EXPECT_TRUE(NotOpen(pcm)) << "the file is closed after the burn";
}

TEST_F(AudioRecordTest, FailingFourthTrackClosesTheEarlierPcmFilesAndBurnsNothing) {
    const std::string first = MakeFile("first.pcm", 2352 * 3);
    const std::string second = MakeFile("second.pcm", 2352 * 4);
    AddTracks({first, second, "third.wav", "fourth.aiff"});
    EXPECT_EQ(20, burner_->BuildAudioCompilation(job_));
    EXPECT_EQ(0u, CallCount("NeroBurn"));
    EXPECT_TRUE(NotOpen(first));
    EXPECT_TRUE(NotOpen(second));
}

TEST_F(AudioRecordTest, PcmFilesThatCannotBeMeasuredOrOpenedHaveTheirOwnCodes) {
    const std::string earlier = MakeFile("earlier.pcm", 2352);
    AddTracks({earlier, Path("missing.pcm")});
    EXPECT_EQ(24, burner_->BuildAudioCompilation(job_));

    const std::string locked = MakeFile("locked.pcm", 2352);
    UniqueFile hold(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold.valid());
    job_.Reset();
    AddTracks({earlier, locked});
    UseScenario();
    EXPECT_EQ(22, burner_->BuildAudioCompilation(job_));
    hold.reset();
    EXPECT_EQ(0u, CallCount("NeroBurn"));
    EXPECT_TRUE(NotOpen(earlier));
}

TEST_F(AudioRecordTest, DataDiscCarriesOnlyTheDataTrack) {
    const std::string file = MakeFile("data.mp3");
    job_.SetAudio(true);
    job_.SetVolumeName("QCD00fe");
    job_.AddFile(Keep(file));
    ASSERT_EQ(0, burner_->BuildAudioCompilation(job_));

    auto records = Records("audio");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(0, records[0].Int("count"));
    EXPECT_EQ("QCD00fe", records[0].Get("isoTrackName"));
    EXPECT_EQ("null", records[0].Get("stamp"));
    EXPECT_EQ(0u, Records("audiotrack").size());
    EXPECT_EQ(1u, CallCount("NeroFreeIsoTrack"));
    EXPECT_EQ(1u, CallCount("NeroFreeIsoItem"));
}

TEST_F(AudioRecordTest, HeaderCarriesTheJobTextsFlagAndMedium) {
    AddTracks({"a.wav"});
    job_.discText1 = "Artist";
    job_.discText2 = "Album";
    job_.recordFlag = true;
    job_.mediumType = 0x41;
    ASSERT_EQ(0, burner_->BuildAudioCompilation(job_));

    auto records = Records("audio");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("Artist", records[0].Get("discText1"));
    EXPECT_EQ("Album", records[0].Get("discText2"));
    EXPECT_EQ(1, records[0].Int("recordFlag"));
    EXPECT_EQ(0x41, records[0].Int("medium"));
    EXPECT_EQ(1, records[0].Int("count"));
    EXPECT_EQ("null", records[0].Get("isoTrack"));
    EXPECT_EQ("", records[0].Get("dirty"));
}

TEST_F(AudioRecordTest, FailedBurnStillReleasesTheDataTrackAndFiles) {
    const std::string pcm = MakeFile("track.pcm", 2352 * 2);
    const std::string data = MakeFile("extra.mp3");
    UseScenario(EngineScenario().BurnResult(3));
    job_.SetAudio(true);
    job_.AddFile(Keep(pcm));
    job_.SetVolumeName("QCD0001");
    job_.AddFile(Keep(data));
    EXPECT_EQ(15, burner_->BuildAudioCompilation(job_));
    EXPECT_EQ(1u, CallCount("NeroFreeIsoTrack"));
    EXPECT_TRUE(NotOpen(pcm));
}

TEST_F(AudioRecordTest, DataTrackFailureEndsTheBuildBeforeAnyTrackIsLookedAt) {
    const std::string pcm = MakeFile("track.pcm", 2352 * 2);
    job_.SetAudio(true);
    job_.AddFile(Keep(pcm));
    job_.SetVolumeName("QCD0002");
    job_.AddFile(Keep(Path("absent.mp3")));
    EXPECT_EQ(28, burner_->BuildAudioCompilation(job_));
    EXPECT_EQ(0u, CallCount("NeroBurn"));
    EXPECT_TRUE(NotOpen(pcm));
}

}  // namespace
