#include "support/engine_standin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/handles.h"
#include "support/test_paths.h"

const char* const kSharedEngineKey = "SOFTWARE\\ahead\\Shared";
const char* const kAppPathsEngineKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Nero.exe";

namespace {

const char kAfterBurnSection[] = "[after_burn]";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string JoinNumbers(const std::vector<uint32_t>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size(); ++i) text += (i ? "," : "") + std::to_string(numbers[i]);
    return text;
}

std::string DriveSection(const StandinDrive& drive) {
    std::ostringstream out;
    out << "[drive]\n"
        << "name = " << Quoted(drive.name) << "\n"
        << "letter = " << static_cast<unsigned>(static_cast<unsigned char>(drive.letter)) << "\n"
        << "capabilities = " << drive.capabilities << "\n"
        << "speeds1 = " << JoinNumbers(drive.speeds1) << "\n"
        << "speeds2 = " << JoinNumbers(drive.speeds2) << "\n";
    if (drive.speedCount1 >= 0) out << "speed_count1 = " << drive.speedCount1 << "\n";
    if (drive.speedCount2 >= 0) out << "speed_count2 = " << drive.speedCount2 << "\n";
    out << "short_text = " << Quoted(drive.shortText) << "\n"
        << "words = " << drive.words[0] << "," << drive.words[1] << "," << drive.words[2] << "\n"
        << "word1388 = " << drive.word1388 << "\n"
        << "text1392 = " << Quoted(drive.text1392) << "\n"
        << "word1456 = " << drive.word1456 << "\n";
    return out.str();
}

// A quoted log value: backslash escapes and \xHH.
size_t ReadQuoted(const std::string& line, size_t at, std::string& value) {
    value.clear();
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') return at + 1;
        if (c != '\\' || at + 1 >= line.size()) {
            value += c;
            continue;
        }
        char escaped = line[++at];
        switch (escaped) {
        case 'n': value += '\n'; break;
        case 'r': value += '\r'; break;
        case 't': value += '\t'; break;
        case 'x':
            value += static_cast<char>(std::strtoul(line.substr(at + 1, 2).c_str(), nullptr, 16));
            at += 2;
            break;
        default: value += escaped; break;
        }
    }
    return at;
}

EngineLogEntry ParseLine(const std::string& line) {
    EngineLogEntry entry;
    entry.line = line;
    size_t at = 0;
    auto word = [&]() {
        size_t end = line.find(' ', at);
        std::string text = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? line.size() : end + 1;
        return text;
    };
    entry.tag = word();
    entry.name = word();
    while (at < line.size()) {
        size_t equals = line.find('=', at);
        if (equals == std::string::npos) break;
        std::string key = line.substr(at, equals - at);
        at = equals + 1;
        std::string value;
        if (at < line.size() && line[at] == '"') {
            at = ReadQuoted(line, at, value);
            if (at < line.size() && line[at] == ' ') ++at;
        } else {
            value = word();
        }
        entry.fields.emplace_back(key, value);
    }
    return entry;
}

UniqueRegKey CreateMachineKey(const char* path) {
    UniqueRegKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key.put(),
                    nullptr);
    return key;
}

void SetMachineString(const char* path, const char* value, const std::string& text) {
    UniqueRegKey key = CreateMachineKey(path);
    ASSERT_TRUE(key.valid()) << "cannot create HKLM\\" << path;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
}

}  // namespace

// ---- scenario ----

EngineScenario& EngineScenario::Set(const std::string& key, const std::string& value) {
    engine_.emplace_back(key, value);
    return *this;
}
EngineScenario& EngineScenario::Version(DWORD version) { return Set("version", std::to_string(version)); }
EngineScenario& EngineScenario::VersionParts(WORD major, WORD minor, WORD release, WORD build) {
    return Set("version_ex", std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) +
                                 "." + std::to_string(build));
}
EngineScenario& EngineScenario::NoVersionParts() { return Set("version_ex", "none"); }
EngineScenario& EngineScenario::AcceptExpected(bool accept) { return Set("accept_expected", accept ? "1" : "0"); }
EngineScenario& EngineScenario::InitResult(int32_t result) { return Set("init_result", std::to_string(result)); }
EngineScenario& EngineScenario::NoDriveList() { return Set("drive_list", "none"); }
EngineScenario& EngineScenario::AddDrive(const StandinDrive& drive) {
    drives_.push_back(drive);
    return *this;
}
EngineScenario& EngineScenario::OpenDeviceSucceeds(bool succeeds) { return Set("open_device", succeeds ? "1" : "0"); }
EngineScenario& EngineScenario::BurnResult(int32_t result) { return Set("burn_result", std::to_string(result)); }
EngineScenario& EngineScenario::AbortResult(int32_t result) { return Set("abort_result", std::to_string(result)); }
EngineScenario& EngineScenario::AbortEndsBurn(bool ends) { return Set("abort_ends_burn", ends ? "1" : "0"); }
EngineScenario& EngineScenario::LastError(const std::string& text) { return Set("last_error", Quoted(text)); }
EngineScenario& EngineScenario::WaitText(const std::string& text) { return Set("wait_text", Quoted(text)); }
EngineScenario& EngineScenario::MediaMismatch(const std::string& lastDetected, const std::string& requested) {
    Set("mismatch_last", Quoted(lastDetected));
    return Set("mismatch_requested", Quoted(requested));
}
EngineScenario& EngineScenario::DiscTracks(uint32_t count) { return Set("disc_tracks", std::to_string(count)); }
EngineScenario& EngineScenario::ImportSucceeds(bool succeeds) { return Set("import", succeeds ? "1" : "0"); }
EngineScenario& EngineScenario::ImportItems(int32_t count) { return Set("import_items", std::to_string(count)); }
EngineScenario& EngineScenario::IsoItemLimit(int32_t count) { return Set("iso_item_limit", std::to_string(count)); }
EngineScenario& EngineScenario::CreateIsoTrackSucceeds(bool succeeds) {
    return Set("create_iso_track", succeeds ? "1" : "0");
}
EngineScenario& EngineScenario::PcmChunk(uint32_t bytes) { return Set("pcm_chunk", std::to_string(bytes)); }
EngineScenario& EngineScenario::Quiet(bool quiet) { return Set("quiet", quiet ? "1" : "0"); }

EngineScenario& EngineScenario::Progress(DWORD percent) {
    script_.emplace_back("progress", std::to_string(percent));
    return *this;
}
EngineScenario& EngineScenario::Phase(const std::string& text) {
    script_.emplace_back("phase", Quoted(text));
    return *this;
}
EngineScenario& EngineScenario::MajorPhase(int32_t code) {
    script_.emplace_back("major_phase", std::to_string(code));
    return *this;
}
EngineScenario& EngineScenario::DisableAbort(int32_t flag) {
    script_.emplace_back("disable_abort", std::to_string(flag));
    return *this;
}
EngineScenario& EngineScenario::LogLine(int32_t kind, const std::string& text) {
    script_.emplace_back("log_line", std::to_string(kind) + " " + text);
    return *this;
}
EngineScenario& EngineScenario::Aborted() {
    script_.emplace_back("aborted", "");
    return *this;
}
EngineScenario& EngineScenario::Idle() {
    script_.emplace_back("idle", "");
    return *this;
}
EngineScenario& EngineScenario::UserDialog(int32_t code, int32_t data) {
    std::string arguments = std::to_string(code);
    if (code != 28) arguments += " " + std::to_string(data);  // for 28 the stand-in builds the record
    script_.emplace_back("user_dialog", arguments);
    return *this;
}
EngineScenario& EngineScenario::NullMediaMismatchDialog() {
    script_.emplace_back("user_dialog", "28 0");
    return *this;
}
EngineScenario& EngineScenario::NoMediaMismatchTexts() {
    Set("mismatch_last", "none");
    return Set("mismatch_requested", "none");
}
EngineScenario& EngineScenario::WaitForEvent(const std::string& name) {
    script_.emplace_back("wait_event", name);
    return *this;
}
EngineScenario& EngineScenario::SignalEvent(const std::string& name) {
    script_.emplace_back("set_event", name);
    return *this;
}
EngineScenario& EngineScenario::AfterBurn() {
    script_.emplace_back(kAfterBurnSection, "");
    return *this;
}
EngineScenario& EngineScenario::WaitUntilAborted(DWORD milliseconds) {
    script_.emplace_back("wait", std::to_string(milliseconds));
    return *this;
}
EngineScenario& EngineScenario::HoldUntilFile(const std::string& path) {
    script_.emplace_back("wait_file", Quoted(path));
    return *this;
}
EngineScenario& EngineScenario::ReadPcmSources() {
    script_.emplace_back("read_pcm", "");
    return *this;
}

std::string EngineScenario::Text(const std::string& logPath) const {
    std::ostringstream out;
    out << "[engine]\n";
    if (!logPath.empty()) out << "log = " << logPath << "\n";
    for (const auto& setting : engine_) out << setting.first << " = " << setting.second << "\n";
    for (const auto& drive : drives_) out << DriveSection(drive);
    out << "[burn]\n";
    for (const auto& step : script_) {
        if (step.first == kAfterBurnSection) {
            out << step.first << "\n";
            continue;
        }
        out << step.first;
        if (!step.second.empty()) out << " = " << step.second;
        out << "\n";
    }
    return out.str();
}

// ---- log ----

bool EngineLogEntry::Has(const std::string& key) const {
    for (const auto& field : fields) {
        if (field.first == key) return true;
    }
    return false;
}

std::string EngineLogEntry::Get(const std::string& key) const {
    for (const auto& field : fields) {
        if (field.first == key) return field.second;
    }
    return std::string();
}

long long EngineLogEntry::Int(const std::string& key) const {
    std::string value = Get(key);
    if (value.empty() || value == "null") return 0;
    return std::strtoll(value.c_str(), nullptr, 0);
}

std::vector<uint32_t> EngineLogEntry::List(const std::string& key) const {
    std::vector<uint32_t> numbers;
    std::stringstream stream(Get(key));
    std::string item;
    while (std::getline(stream, item, ',')) numbers.push_back(static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 0)));
    return numbers;
}

EngineLog EngineLog::Parse(const std::string& text) {
    EngineLog log;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) log.entries_.push_back(ParseLine(line));
    }
    return log;
}

std::vector<EngineLogEntry> EngineLog::Calls(const std::string& name) const {
    std::vector<EngineLogEntry> calls;
    for (const auto& entry : entries_) {
        if (entry.tag == "call" && entry.name == name) calls.push_back(entry);
    }
    return calls;
}

size_t EngineLog::CallCount(const std::string& name) const { return Calls(name).size(); }

std::vector<std::string> EngineLog::CallSequence() const {
    std::vector<std::string> names;
    for (const auto& entry : entries_) {
        if (entry.tag == "call") names.push_back(entry.name);
    }
    return names;
}

std::vector<EngineLogEntry> EngineLog::Records(const std::string& kind) const {
    std::vector<EngineLogEntry> records;
    for (const auto& entry : entries_) {
        if (entry.tag == "rec" && entry.name == kind) records.push_back(entry);
    }
    return records;
}

std::vector<EngineLogEntry> EngineLog::Steps(const std::string& kind) const {
    std::vector<EngineLogEntry> steps;
    for (const auto& entry : entries_) {
        if (entry.tag == "step" && (kind.empty() || entry.name == kind)) steps.push_back(entry);
    }
    return steps;
}

EngineLogEntry EngineLog::Result(const std::string& name, size_t n) const {
    size_t seen = 0;
    for (const auto& entry : entries_) {
        if (entry.tag == "ret" && entry.name == name && seen++ == n) return entry;
    }
    return EngineLogEntry();
}

std::vector<EngineLogEntry> EngineLog::LinesOfCall(const std::string& name, size_t n) const {
    std::vector<EngineLogEntry> lines;
    size_t seen = 0;
    bool inside = false;
    for (const auto& entry : entries_) {
        if (entry.tag == "call") {
            if (inside) break;
            inside = entry.name == name && seen++ == n;
        } else if (inside && entry.tag == "ret" && entry.name == name) {
            break;
        } else if (inside && (entry.tag == "rec" || entry.tag == "step")) {
            lines.push_back(entry);
        }
    }
    return lines;
}

std::vector<EngineLogEntry> EngineLog::LedgerReports() const {
    std::vector<EngineLogEntry> reports;
    for (const auto& entry : entries_) {
        if (entry.tag == "LEDGER") reports.push_back(entry);
    }
    return reports;
}

// ---- stand-in ----

EngineStandin::EngineStandin(Variant variant)
    : EngineStandin(InFolder{variant == Variant::Legacy ? "engine-legacy" : "engine"}) {}

EngineStandin::EngineStandin(const std::string& missingEntryPoint)
    : EngineStandin(InFolder{"engine-without-" + missingEntryPoint}) {}

EngineStandin::EngineStandin(InFolder engine)
    : engineFolderName_(std::move(engine.name)), folder_(MakeTempDir("engine")) {
    SetEnvironmentVariableA("TOLVANE_ENGINE_LOG", nullptr);
    Use(EngineScenario());
}

ScriptEvent::ScriptEvent(const std::string& purpose) {
    static int made = 0;
    name_ = "TolvaneTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made) + "-" + purpose;
    event_.reset(CreateEventA(nullptr, FALSE, FALSE, name_.c_str()));
}

void EngineStandin::Use(const EngineScenario& scenario) {
    std::string path = folder_ + "\\scenario" + std::to_string(++scenarios_) + ".ini";
    ASSERT_TRUE(WriteFileText(path, scenario.Text(LogPath()))) << "cannot write " << path;
    SetEnvironmentVariableA("TOLVANE_ENGINE_SCENARIO", path.c_str());
}

void EngineStandin::PointRegistry(bool keepAppPaths) const {
    SetSharedEngineDirectory(EngineFolder());
    if (!keepAppPaths) DeleteAppPathsEngineKey();
}

std::string EngineStandin::EngineFolder() const { return BinDir() + "\\" + engineFolderName_; }

std::string EngineStandin::EngineDll() const { return EngineFolder() + "\\NeroAPI.dll"; }

std::string EngineStandin::LogPath() const { return folder_ + "\\engine.log"; }

EngineLog EngineStandin::ReadLog() const {
    std::ifstream file(LogPath(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return EngineLog::Parse(text.str());
}

void EngineStandin::ClearLog() const { WriteFileText(LogPath(), ""); }

int EngineStandin::ReportOutstanding() const {
    HMODULE engine = GetModuleHandleA("NeroAPI.dll");
    if (!engine) return -1;
    typedef int(__cdecl * ReportFn)();
    auto report = reinterpret_cast<ReportFn>(GetProcAddress(engine, "StandinLedgerReport"));
    return report ? report() : -1;
}

void ExpectNoLedgerReports(const EngineLog& log) {
    for (const auto& report : log.LedgerReports()) ADD_FAILURE() << "stand-in engine ledger: " << report.line;
}

void ExpectAllReleased(const EngineStandin& standin) {
    standin.ReportOutstanding();
    ExpectNoLedgerReports(standin.ReadLog());
}

// ---- registry ----

void SetSharedEngineDirectory(const std::string& directory) { SetMachineString(kSharedEngineKey, "NeroAPI", directory); }

void DeleteSharedEngineDirectory() {
    UniqueRegKey key = CreateMachineKey(kSharedEngineKey);
    if (key) RegDeleteValueA(key.get(), "NeroAPI");
}

bool ReadSharedEngineDirectory(std::string& directory) {
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedEngineKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), "NeroAPI", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return false;
    }
    directory = buffer;
    return true;
}

void SetAppPathsEngineDirectory(const std::string& directory) {
    SetMachineString(kAppPathsEngineKey, "Path", directory);
}

void DeleteAppPathsEngineKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsEngineKey); }
