// Names within one folder of a data disc are unique, compared as Windows compares names; a later
// namesake gets " (2)", " (3)"... before its extension, and its source stays the file it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "burn/builder_support.h"
#include "compilation_fixture.h"
#include "support/code_page.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Items;  // disc path, source below scratch

class UniqueNamesTest : public CompilationTest {
protected:
    // Makes the files (below the scratch folder, each in a folder of its own), adds the paths in
    // order, builds the data track and reads its items back, sorted.
    Items BuildItems(const std::vector<std::string>& files, const std::vector<std::string>& added,
                     bool includeFolders) {
        const std::string folder = "case" + std::to_string(++caseNumber_);
        MakeFolder(folder);
        for (const std::string& file : files) {
            for (size_t at = FindCharacter(file, '\\'); at != std::string::npos; at = FindCharacter(file, '\\', at + 1))
                CreateDirectoryA(Path(folder + "\\" + file.substr(0, at)).c_str(), nullptr);
            MakeFile(folder + "\\" + file);
        }
        UseScenario();
        job_.Reset();
        job_.includeFolders = includeFolders;
        job_.SetVolumeName("QCD0bad");
        for (const std::string& path : added) job_.AddFile(Keep(Path(folder + "\\" + path)));

        void* track = nullptr;
        IsoItem* root = nullptr;
        EXPECT_EQ(0, burner_->BuildIsoTrack(job_, &track, &root));
        ReleaseDataTrack(track, root);

        Items items;
        const std::string prefix = Path(folder + "\\");
        for (const EngineLogEntry& item : Records("isoitem")) {
            const std::string source = item.Get("source");
            const bool below = source.compare(0, prefix.size(), prefix) == 0;
            items.emplace_back(item.Get("path") + (item.Get("folder") == "1" ? "/" : ""),
                               below ? source.substr(prefix.size()) : source);
        }
        std::sort(items.begin(), items.end());
        return items;
    }

private:
    int caseNumber_ = 0;
};

TEST_F(UniqueNamesTest, LaterNamesakesInOneFolderOfTheDiscGetANumber) {
    const struct {
        const char* what;
        std::vector<std::string> files;  // below the scratch folder, each in a folder of its own
        std::vector<std::string> added;  // in this order
        bool includeFolders;
        Items expected;
    } cases[] = {
        {"three albums' first tracks",
         {"1\\01 - Fa\xe7" "ade Part 1.mp3", "2\\01 - Fa\xe7" "ade Part 1.mp3", "3\\01 - Fa\xe7" "ade Part 1.mp3"},
         {"1\\01 - Fa\xe7" "ade Part 1.mp3", "2\\01 - Fa\xe7" "ade Part 1.mp3", "3\\01 - Fa\xe7" "ade Part 1.mp3"},
         false,
         {{"01 - Fa\xe7" "ade Part 1.mp3", "1\\01 - Fa\xe7" "ade Part 1.mp3"},
          {"01 - Fa\xe7" "ade Part 1 (2).mp3", "2\\01 - Fa\xe7" "ade Part 1.mp3"},
          {"01 - Fa\xe7" "ade Part 1 (3).mp3", "3\\01 - Fa\xe7" "ade Part 1.mp3"}}},
        {"names that differ in case only",
         {"1\\Song.MP3", "2\\song.mp3"},
         {"1\\Song.MP3", "2\\song.mp3"},
         false,
         {{"Song.MP3", "1\\Song.MP3"}, {"song (2).mp3", "2\\song.mp3"}}},
        {"a number already taken by a file",
         {"1\\a.mp3", "2\\a (2).mp3", "3\\a.mp3"},
         {"1\\a.mp3", "2\\a (2).mp3", "3\\a.mp3"},
         false,
         {{"a.mp3", "1\\a.mp3"}, {"a (2).mp3", "2\\a (2).mp3"}, {"a (3).mp3", "3\\a.mp3"}}},
        {"names without an extension", {"1\\README", "2\\README"}, {"1\\README", "2\\README"}, false,
         {{"README", "1\\README"}, {"README (2)", "2\\README"}}},
        {"folders of one name, each keeping its own files",
         {"1\\Disc 1\\01.mp3", "2\\Disc 1\\01.mp3"},
         {"1\\Disc 1", "2\\Disc 1"},
         true,
         {{"Disc 1/", ""}, {"Disc 1/01.mp3", "1\\Disc 1\\01.mp3"}, {"Disc 1 (2)/", ""},
          {"Disc 1 (2)/01.mp3", "2\\Disc 1\\01.mp3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Items expected = c.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, BuildItems(c.files, c.added, c.includeFolders));
    }
}

}  // namespace

namespace {

// Names in the code page this run has; rows whose characters it lacks are left out. In 932 予 表
// 能 ソ end in the byte 0x5C and ア ヂ are 0x83 0x41 and 0x83 0x61, in 936 淺 ends in 0x5C and
// 丄 乤 are 0x81 0x41 and 0x81 0x61, in 950 許 ends in 0x5C and 乙 兀 are 0xA4 0x41 and 0xA4 0x61,
// in 949 갂 갵 are 0x81 0x41 and 0x81 0x61.
class CodePageDataDisc : public UniqueNamesTest {};

TEST_F(CodePageDataDisc, SourcesNamesAndNamesakesGoByCharacters) {
    const struct {
        const char* what;
        std::vector<std::string> files, added;
        Items expected;
    } cases[] = {
        {"files in a folder and a folder whose names end in 0x5C",
         {"予定.wav", "ソフト\\表示.wav", "ソフト\\能力.wav"},
         {"予定.wav", "ソフト"},
         {{"予定.wav", "予定.wav"}, {"ソフト/", ""}, {"ソフト/表示.wav", "ソフト\\表示.wav"},
          {"ソフト/能力.wav", "ソフト\\能力.wav"}}},
        {"a folder ending in 淺", {"音乐淺\\歌.wav"}, {"音乐淺"}, {{"音乐淺/", ""}, {"音乐淺/歌.wav", "音乐淺\\歌.wav"}}},
        {"ア and ヂ are two names", {"1\\ア.wav", "2\\ヂ.wav"}, {"1\\ア.wav", "2\\ヂ.wav"},
         {{"ア.wav", "1\\ア.wav"}, {"ヂ.wav", "2\\ヂ.wav"}}},
        {"丄 and 乤 are two names", {"1\\丄.wav", "2\\乤.wav"}, {"1\\丄.wav", "2\\乤.wav"},
         {{"丄.wav", "1\\丄.wav"}, {"乤.wav", "2\\乤.wav"}}},
        {"a folder ending in 許", {"歌曲許\\歌.wav"}, {"歌曲許"}, {{"歌曲許/", ""}, {"歌曲許/歌.wav", "歌曲許\\歌.wav"}}},
        {"乙 and 兀 are two names", {"1\\乙.wav", "2\\兀.wav"}, {"1\\乙.wav", "2\\兀.wav"},
         {{"乙.wav", "1\\乙.wav"}, {"兀.wav", "2\\兀.wav"}}},
        {"갂 and 갵 are two names", {"1\\갂.wav", "2\\갵.wav"}, {"1\\갂.wav", "2\\갵.wav"},
         {{"갂.wav", "1\\갂.wav"}, {"갵.wav", "2\\갵.wav"}}},
        {"full-width letters are one name", {"1\\Ａ.wav", "2\\ａ.wav"}, {"1\\Ａ.wav", "2\\ａ.wav"},
         {{"Ａ.wav", "1\\Ａ.wav"}, {"ａ (2).wav", "2\\ａ.wav"}}},
        {"accented letters are one name", {"1\\Été.mp3", "2\\éTÉ.mp3"}, {"1\\Été.mp3", "2\\éTÉ.mp3"},
         {{"Été.mp3", "1\\Été.mp3"}, {"éTÉ (2).mp3", "2\\éTÉ.mp3"}}},
    };
    int ran = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnsiTexts ansi;
        std::vector<std::string> files, added;
        for (const std::string& file : c.files) files.push_back(ansi(file.c_str()));
        for (const std::string& path : c.added) added.push_back(ansi(path.c_str()));
        Items expected;
        for (const auto& item : c.expected) expected.emplace_back(ansi(item.first.c_str()), ansi(item.second.c_str()));
        if (!ansi.representable()) continue;
        ++ran;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, BuildItems(files, added, true));
    }
    EXPECT_GE(ran, 1);
}

}  // namespace
