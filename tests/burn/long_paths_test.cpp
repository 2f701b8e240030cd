// Paths longer than the engine's 255-character fields (the audio record's file name, the ISO
// item's source path): handed over by their short form, which names the same file, or refused
// before anything is burned, with a message that names the file.

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "compilation_fixture.h"
#include "engine/engine_result.h"
#include "support/test_paths.h"

namespace {

const char kTooLong[] = "The path of this file is too long for the disc:\n";

std::string LongForm(const std::string& path) {
    char buffer[1024];
    const DWORD length = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

class LongPathTest : public CompilationTest {
protected:
    // A file whose path has `length` characters, below a folder whose long name has a short form.
    std::string FileWithShortForm(size_t length) {
        const std::string name = "A Track With A Long Name.mp3";
        const size_t folderLength = length - Path("").size() - 1 - name.size();
        const std::string folder = "Folder " + std::to_string(length) + std::string(folderLength - 10, 'f');
        MakeFolder(folder);
        return MakeFile(folder + "\\" + name);
    }

    // A file whose path has `length` characters, every part a short (8.3) name already: its
    // short form is as long as it is.
    std::string FileWithoutFittingShortForm(size_t length) {
        char base[MAX_PATH];
        const DWORD baseLength = GetShortPathNameA(scratch_.c_str(), base, MAX_PATH);
        EXPECT_GT(baseLength, 0u);
        std::string path(base, baseLength);
        path += "\\L" + std::to_string(length);
        CreateDirectoryA(path.c_str(), nullptr);
        size_t nameLength = 12;  // "NNNNNNNN.MP3"
        size_t rest = length - path.size() - 1 - nameLength;
        if (rest == 1) rest = 2, nameLength = 11;
        while (rest > 0) {
            size_t part = std::min<size_t>(8, rest - 1);
            if (rest - 1 - part == 1) --part;
            path += "\\" + std::string(part, 'D');
            EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
            rest -= 1 + part;
        }
        path += "\\" + std::string(nameLength - 4, 'N') + ".MP3";
        EXPECT_TRUE(WriteFileText(path, "")) << path;
        return path;
    }
};

TEST_F(LongPathTest, ALongPathGoesByItsShortFormOrIsRefusedNamingTheFile) {
    enum Handed { kItself, kShortForm, kRefused };
    const std::string exactly255 = FileWithShortForm(255);
    const std::string long256 = FileWithShortForm(256);
    const std::string long259 = FileWithShortForm(259);
    const std::string noShort256 = FileWithoutFittingShortForm(256);
    const std::string noShort259 = FileWithoutFittingShortForm(259);
    const std::string missing = Path(std::string(280, 'm') + ".wav");
    const struct {
        const char* what;
        bool audio;
        std::string path;
        Handed handed;
    } cases[] = {
        {"audio, 255 characters", true, exactly255, kItself},
        {"audio, 256 characters", true, long256, kShortForm},
        {"audio, 259 characters", true, long259, kShortForm},
        {"audio, 256 characters of short names", true, noShort256, kRefused},
        {"audio, a file that does not exist", true, missing, kRefused},
        {"data, 255 characters", false, exactly255, kItself},
        {"data, 256 characters", false, long256, kShortForm},
        {"data, 259 characters", false, long259, kShortForm},
        {"data, 259 characters of short names", false, noShort259, kRefused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.path.size() == 255 || c.path.size() == 256 || c.path.size() == 259 || c.path == missing)
            << c.path.size();
        UseScenario();
        job_.Reset();
        job_.SetAudio(true);
        if (!c.audio) job_.SetVolumeName("QCD0042");
        job_.AddFile(Keep(c.path));

        {
            EngineResult burned = burner_->Burn(job_);
            if (c.handed == kRefused) {
                EXPECT_EQ(31, burned.code());
                EXPECT_EQ(std::string(kTooLong) + c.path, burned.message());
                EXPECT_EQ(0u, CallCount("NeroBurn")) << "nothing is written";
                continue;
            }
            ASSERT_EQ(0, burned.code());
        }
        const std::string handed =
            c.audio ? Records("audiotrack").at(0).Get("file") : Records("isoitem").at(0).Get("source");
        if (c.handed == kItself) {
            EXPECT_EQ(c.path, handed);
        } else {
            EXPECT_LE(handed.size(), 255u);
            EXPECT_TRUE(EqualIgnoringCase(LongForm(handed), c.path)) << handed << " is " << LongForm(handed);
        }
        if (!c.audio) {
            EXPECT_EQ("A Track With A Long Name.mp3", Records("isoitem").at(0).Get("name")) << "the disc keeps the name";
        }
    }
}

}  // namespace
