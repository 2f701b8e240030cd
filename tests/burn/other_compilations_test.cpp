// The video, image and track-mode records as the engine receives them.

#include <gtest/gtest.h>

#include "compilation_fixture.h"

namespace {

class OtherRecordsTest : public CompilationTest {
protected:
    void UseKind(uint32_t kind, std::initializer_list<std::string> names) {
        job_.Reset();
        job_.SetCompilationKind(kind);
        for (const std::string& name : names) job_.AddFile(Keep(name));
    }
};

TEST_F(OtherRecordsTest, VideoItemsTakeTheirKindFromTheExtension) {
    UseKind(3, {"C:\\v\\clip.MPEG", "photo.JPG", "a.mpg", "b.avi", "c.jpeg"});
    ASSERT_EQ(0, burner_->BuildVideoCompilation(job_));

    auto header = Records("video");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ(1, header[0].Int("still")) << "kind 3";
    EXPECT_EQ(5, header[0].Int("count"));
    EXPECT_EQ("", header[0].Get("text"));
    const struct {
        long field0;
        long kind;
    } expected[] = {{0, 0}, {-1, 1}, {0, 0}, {0, 2}, {-1, 1}};
    auto items = Records("videoitem");
    ASSERT_EQ(5u, items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(expected[i].field0, items[i].Int("field0")) << items[i].Get("file");
        EXPECT_EQ(expected[i].kind, items[i].Int("kind")) << items[i].Get("file");
        EXPECT_EQ("", items[i].Get("dirty"));
    }
    EXPECT_EQ("C:\\v\\clip.MPEG", items[0].Get("file"));
    auto burns = Calls("NeroBurn");
    ASSERT_EQ(1u, burns.size());
    EXPECT_EQ(1, burns[0].Int("format"));
}

TEST_F(OtherRecordsTest, MotionVideoDiscAndLongNamesCutTo235) {
    const std::string longName = std::string(296, 'v') + ".avi";
    UseKind(2, {"movie.avi", longName});
    job_.videoText = Keep(std::string(300, 't'));
    ASSERT_EQ(0, burner_->BuildVideoCompilation(job_));

    auto header = Records("video");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ(0, header[0].Int("still"));
    EXPECT_EQ(std::string(255, 't'), header[0].Get("text"));
    auto items = Records("videoitem");
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(2, items[0].Int("kind"));
    EXPECT_EQ(0, items[0].Int("field0"));
    EXPECT_EQ(longName.substr(0, 235), items[1].Get("file"));
    EXPECT_EQ(2, items[1].Int("kind")) << "the kind comes from the whole name";
}

TEST_F(OtherRecordsTest, UnknownVideoTypeBurnsNothing) {
    for (const char* name : {"clip.mov", "noextension", "C:\\dir.avi\\clip"}) {
        UseScenario();
        UseKind(2, {"first.mpg", name});
        EXPECT_EQ(20, burner_->BuildVideoCompilation(job_)) << name;
        EXPECT_EQ(0u, CallCount("NeroBurn")) << name;
    }
}

TEST_F(OtherRecordsTest, VideoRecordCarriesTheDataTrackAndReleasesIt) {
    const std::string data = MakeFile("readme.txt");
    UseKind(2, {"movie.mpg"});
    job_.SetVolumeName("VIDEO");
    job_.AddFile(Keep(data));
    UseScenario(EngineScenario().BurnResult(6));
    EXPECT_EQ(30, burner_->BuildVideoCompilation(job_));
    auto header = Records("video");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ("VIDEO", header[0].Get("isoTrackName"));
    EXPECT_EQ(1u, CallCount("NeroFreeIsoTrack"));
}

TEST_F(OtherRecordsTest, ImageBurnNamesTheImageFile) {
    const std::string image = std::string(300, 'i');
    UseKind(4, {});
    job_.imageFile = Keep(image);
    ASSERT_EQ(0, burner_->BuildImageBurn(job_));
    auto records = Records("image");
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(0, records[0].Int("field0"));
    EXPECT_EQ(image.substr(0, 255), records[0].Get("file"));
    auto burns = Calls("NeroBurn");
    ASSERT_EQ(1u, burns.size());
    EXPECT_EQ(2, burns[0].Int("format"));
}

TEST_F(OtherRecordsTest, ImageBurnWithoutAnImageIsRefusedBeforeTheEngine) {
    for (const char* image : {static_cast<const char*>(nullptr), ""}) {
        UseKind(4, {});
        job_.imageFile = image;
        EXPECT_EQ(1, burner_->BuildImageBurn(job_)) << "\"Bad usage!\"";
    }
    EXPECT_EQ(0u, CallCount("NeroBurn"));
}

TEST_F(OtherRecordsTest, TrackModeOnAFreshJobSendsEveryFileToTheDataTrack) {
    UseKind(5, {});
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) job_.AddFile(Keep(MakeFile(name)));
    job_.SetVolumeName("MODES");
    job_.mediumType = 0x41;
    ASSERT_EQ(0u, job_.trackCount);
    ASSERT_EQ(0, burner_->BuildTrackModeRecord(job_));

    auto header = Records("trackmode");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ(4, header[0].Int("const"));
    EXPECT_EQ(0, header[0].Int("count"));
    EXPECT_EQ(0x41, header[0].Int("medium"));
    EXPECT_EQ("MODES", header[0].Get("isoTrackName"));
    EXPECT_EQ("", header[0].Get("dirty"));
    EXPECT_EQ(3u, TrackItems().size());
    auto burns = Calls("NeroBurn");
    ASSERT_EQ(1u, burns.size());
    EXPECT_EQ(3, burns[0].Int("format"));
}

TEST_F(OtherRecordsTest, TrackModeEntriesCarryTheNamesUnexamined) {
    job_.SetAudio(true);
    const std::string longName = std::string(300, 'n');
    for (const std::string& name : {std::string("whatever.xyz"), longName}) job_.AddFile(Keep(name));
    job_.tracks[1].trackMode = 7;
    job_.audioMayReplaceKind = true;
    job_.compilationKind = 5;
    job_.discText1 = "one";
    ASSERT_EQ(0, burner_->BuildTrackModeRecord(job_));

    auto entries = Records("tmtrack");
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(4, entries[0].Int("source"));
    EXPECT_EQ("whatever.xyz", entries[0].Get("file"));
    EXPECT_EQ(0, entries[0].Int("mode"));
    EXPECT_EQ(longName.substr(0, 255), entries[1].Get("file"));
    EXPECT_EQ(7, entries[1].Int("mode"));
    EXPECT_EQ("", entries[1].Get("dirty"));
    auto header = Records("trackmode");
    ASSERT_EQ(1u, header.size());
    EXPECT_EQ("one", header[0].Get("discText1"));
    EXPECT_EQ("null", header[0].Get("isoTrack"));
}

}  // namespace

namespace {

TEST_F(OtherRecordsTest, BurnReachesTheBuilderOfEveryKindWithItsFormat) {
    const struct {
        uint32_t kind;
        const char* file;
        long format;
    } cases[] = {{1, "a.wav", 0}, {2, "a.mpg", 1}, {3, "a.jpg", 1}, {4, nullptr, 2}, {5, nullptr, 3}};
    for (const auto& c : cases) {
        UseScenario();
        job_.Reset();
        job_.SetCompilationKind(c.kind);
        if (c.file != nullptr) job_.AddFile(c.file);
        job_.imageFile = "disc.iso";
        EXPECT_EQ(0, burner_->Burn(job_).code()) << "kind " << c.kind;
        auto burns = Calls("NeroBurn");
        ASSERT_EQ(1u, burns.size()) << "kind " << c.kind;
        EXPECT_EQ(c.format, burns[0].Int("format")) << "kind " << c.kind;
    }
}

}  // namespace
