#include "compilation_fixture.h"

#include "base/handles.h"
#include "support/test_paths.h"

namespace {
const char* const kRecorderName = "Stand-in Recorder";
}  // namespace

void CompilationTest::SetUp() {
    scratch_ = MakeTempDir("compile");
    ASSERT_FALSE(scratch_.empty());
    standin_.PointRegistry();
    UseScenario();
    job_.Reset();
    session_.reset(new EngineSession(job_));
    burner_.reset(new Burner(*session_));
    ASSERT_EQ(0, session_->Load().code()) << "the stand-in engine did not load";
    standin_.ClearLog();
}

void CompilationTest::TearDown() {
    if (session_) session_->Close();
    ExpectAllReleased(standin_);
    burner_.reset();
    session_.reset();
}

void CompilationTest::UseScenario(const EngineScenario& scenario) {
    ExpectNoLedgerReports(standin_.ReadLog());
    standin_.Use(scenario);
    standin_.ClearLog();
}

EngineScenario CompilationTest::WithRecorder(EngineScenario scenario) {
    StandinDrive drive;
    drive.name = kRecorderName;
    drive.letter = 'E';
    return scenario.AddDrive(drive);
}

void CompilationTest::OpenRecorder() {
    job_.SetDriveName(kRecorderName);
    ASSERT_EQ(0, session_->QueryDrives().code());
    ASSERT_EQ(0, session_->OpenDevice().code());
}

std::string CompilationTest::Path(const std::string& relative) const { return scratch_ + "\\" + relative; }

std::string CompilationTest::MakeFolder(const std::string& relative) {
    const std::string path = Path(relative);
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
    return path;
}

std::string CompilationTest::MakeFile(const std::string& relative, size_t bytes) {
    const std::string path = Path(relative);
    EXPECT_TRUE(WriteFileText(path, std::string(bytes, '\x5A'))) << path;
    return path;
}

const char* CompilationTest::Keep(const std::string& text) {
    kept_.push_back(std::unique_ptr<std::string>(new std::string(text)));
    return kept_.back()->c_str();
}

std::vector<std::string> CompilationTest::TrackItems() const {
    const EngineLog log = Log();
    const size_t tracks = log.CallCount("NeroCreateIsoTrackEx");
    std::vector<std::string> items;
    if (tracks == 0) return items;
    for (const EngineLogEntry& line : log.LinesOfCall("NeroCreateIsoTrackEx", tracks - 1)) {
        if (line.tag == "rec" && line.name == "isoitem") {
            items.push_back(line.Get("path") + (line.Get("folder") == "1" ? "/" : ""));
        }
    }
    return items;
}

FoundNames FindNames(const std::string& pattern) {
    FoundNames names;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &entry));
    if (!find) return names;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.folders.push_back(name);
        } else {
            names.files.push_back(name);
        }
    } while (FindNextFileA(find.get(), &entry));
    return names;
}
