#include "compilation_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/engine_library.h"
#include "plugin/handles.h"
#include "support/test_paths.h"

namespace {

typedef int(__cdecl* LedgerReportFunction)();

void PointRegistryAtStandinEngine() {
    const std::string engineDir = BinDir() + "\\engine";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ahead\\Shared", 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &key, nullptr));
    UniqueRegKey owned(key);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "NeroAPI", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(engineDir.c_str()),
                                            static_cast<DWORD>(engineDir.size() + 1)));
}

std::string Unescape(const std::string& text, size_t& at) {
    std::string value;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        char c = text[at];
        if (c != '\\' || at + 1 >= text.size()) {
            value += c;
            continue;
        }
        char next = text[++at];
        switch (next) {
            case 'n': value += '\n'; break;
            case 'r': value += '\r'; break;
            case 't': value += '\t'; break;
            case 'x':
                value += static_cast<char>(std::strtol(text.substr(at + 1, 2).c_str(), nullptr, 16));
                at += 2;
                break;
            default: value += next; break;
        }
    }
    ++at;
    return value;
}

LogLine ParseLine(const std::string& text) {
    LogLine line;
    size_t at = 0;
    auto word = [&]() {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        std::string w = text.substr(at, end - at);
        at = end < text.size() ? end + 1 : end;
        return w;
    };
    line.tag = word();
    line.name = word();
    while (at < text.size()) {
        size_t equals = text.find('=', at);
        if (equals == std::string::npos) break;
        std::string key = text.substr(at, equals - at);
        at = equals + 1;
        if (at < text.size() && text[at] == '"') {
            line.fields[key] = Unescape(text, at);
            if (at < text.size() && text[at] == ' ') ++at;
        } else {
            line.fields[key] = word();
        }
    }
    return line;
}

void ReportLedger() {
    HMODULE engineModule = GetModuleHandleA("NeroAPI.dll");
    ASSERT_NE(nullptr, engineModule);
    auto report = reinterpret_cast<LedgerReportFunction>(
        reinterpret_cast<void*>(GetProcAddress(engineModule, "StandinLedgerReport")));
    ASSERT_NE(nullptr, report);
    report();
}

}  // namespace

std::string LogLine::operator[](const std::string& key) const {
    auto found = fields.find(key);
    return found == fields.end() ? "<absent>" : found->second;
}

long LogLine::Number(const std::string& key) const {
    return std::strtol((*this)[key].c_str(), nullptr, 0);
}

void CompilationTest::SetUpTestSuite() {
    PointRegistryAtStandinEngine();
}

void CompilationTest::SetUp() {
    scratch_ = MakeTempDir("compile");
    ASSERT_FALSE(scratch_.empty());
    logPath_ = scratch_ + "\\engine.log";
    UseScenario();
    job_.Reset();
    session_.reset(new EngineSession(job_));
    ASSERT_EQ(0, session_->Load().code()) << "the stand-in engine did not load";
}

void CompilationTest::TearDown() {
    session_->Close();
    ReportLedger();
    for (const LogLine& line : Log()) {
        if (line.tag == "LEDGER") {
            ADD_FAILURE() << "engine ledger: " << line.name << " kind=" << line["kind"] << " by=" << line["by"]
                          << " fn=" << line["fn"];
        }
    }
    session_.reset();
}

void CompilationTest::UseScenario(const std::string& engine, const std::string& burn) {
    const std::string path = scratch_ + "\\scenario" + std::to_string(++scenarioNumber_) + ".ini";
    std::string text = "[engine]\r\nlog = " + logPath_ + "\r\n" + engine + "\r\n[burn]\r\n" + burn + "\r\n";
    ASSERT_TRUE(WriteFileText(path, text));
    DeleteFileA(logPath_.c_str());
    SetEnvironmentVariableA("TOLVANE_ENGINE_SCENARIO", path.c_str());
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

std::vector<LogLine> CompilationTest::Log() const {
    std::vector<LogLine> lines;
    std::ifstream file(logPath_, std::ios::binary);
    std::string text;
    while (std::getline(file, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (!text.empty()) lines.push_back(ParseLine(text));
    }
    return lines;
}

std::vector<LogLine> CompilationTest::Lines(const std::string& tag, const std::string& name) const {
    std::vector<LogLine> found;
    for (const LogLine& line : Log()) {
        if (line.tag == tag && line.name == name) found.push_back(line);
    }
    return found;
}

size_t CompilationTest::CallCount(const std::string& name) const { return Lines("call", name).size(); }

std::vector<std::string> CompilationTest::TrackItems() const {
    std::vector<std::string> items;
    bool inTrack = false;
    for (const LogLine& line : Log()) {
        if (line.tag == "call") {
            if (line.name == "NeroCreateIsoTrackEx") items.clear();
            inTrack = line.name == "NeroCreateIsoTrackEx";
        } else if (inTrack && line.tag == "rec" && line.name == "isoitem") {
            items.push_back(line["path"] + (line["folder"] == "1" ? "/" : ""));
        }
    }
    return items;
}

void CompilationTest::OpenRecorder() {
    job_.SetDriveName("Stand-in Recorder");
    ASSERT_EQ(0, session_->QueryDrives().code());
    ASSERT_EQ(0, session_->OpenDevice().code());
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
