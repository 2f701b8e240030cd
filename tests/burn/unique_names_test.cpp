// Names within one folder of a data disc are unique, compared as Windows compares names; a later
// namesake gets " (2)", " (3)"... before its extension, and its source stays the file it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "burn/builder_support.h"
#include "compilation_fixture.h"

namespace {

class UniqueNamesTest : public CompilationTest {};

TEST_F(UniqueNamesTest, LaterNamesakesInOneFolderOfTheDiscGetANumber) {
    typedef std::vector<std::pair<std::string, std::string>> Items;  // disc path, source below scratch
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
    int caseNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = "case" + std::to_string(++caseNumber);
        MakeFolder(folder);
        for (const std::string& file : c.files) {
            for (size_t at = file.find('\\'); at != std::string::npos; at = file.find('\\', at + 1))
                CreateDirectoryA(Path(folder + "\\" + file.substr(0, at)).c_str(), nullptr);
            MakeFile(folder + "\\" + file);
        }
        UseScenario();
        job_.Reset();
        job_.includeFolders = c.includeFolders;
        job_.SetVolumeName("QCD0bad");
        for (const std::string& path : c.added) job_.AddFile(Keep(Path(folder + "\\" + path)));

        void* track = nullptr;
        IsoItem* root = nullptr;
        ASSERT_EQ(0, burner_->BuildIsoTrack(job_, &track, &root));
        ReleaseDataTrack(track, root);

        Items items;
        for (const EngineLogEntry& item : Records("isoitem")) {
            const std::string source = item.Get("source");
            const std::string prefix = Path(folder + "\\");
            const bool below = source.compare(0, prefix.size(), prefix) == 0;
            items.emplace_back(item.Get("path") + (item.Get("folder") == "1" ? "/" : ""),
                               below ? source.substr(prefix.size()) : source);
        }
        Items expected = c.expected;
        std::sort(items.begin(), items.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, items);
    }
}

}  // namespace
