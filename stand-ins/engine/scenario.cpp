#include "scenario.h"

#include <cstdlib>
#include <sstream>

namespace standin {
namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Quotes keep surrounding blanks; nothing inside them is unescaped.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool ParseNumber(const std::string& text, long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 0);
    return end && *end == '\0';
}

bool ParseList(const std::string& text, std::vector<uint32_t>& out) {
    out.clear();
    if (Trim(text).empty()) return true;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        long long number = 0;
        if (!ParseNumber(Trim(item), number)) return false;
        out.push_back(static_cast<uint32_t>(number));
    }
    return true;
}

class Parser {
public:
    Scenario Run(const std::string& text) {
        std::stringstream stream(text);
        std::string raw;
        while (std::getline(stream, raw)) {
            ++line_;
            std::string line = Trim(raw);
            if (line.empty() || line[0] == ';' || line[0] == '#') continue;
            if (line.front() == '[' && line.back() == ']') {
                EnterSection(line.substr(1, line.size() - 2));
                continue;
            }
            size_t equals = line.find('=');
            std::string key = Trim(line.substr(0, equals));
            std::string value = equals == std::string::npos ? std::string() : Unquote(Trim(line.substr(equals + 1)));
            bool ok = section_ == "engine" ? EngineKey(key, value)
                    : section_ == "drive"  ? DriveKey(key, value)
                    : section_ == "burn"   ? BurnStep(result_.script, key, value, equals != std::string::npos)
                    : section_ == "after_burn" ? BurnStep(result_.afterBurn, key, value, equals != std::string::npos)
                                           : false;
            if (!ok) Fail("bad line: " + line);
        }
        return result_;
    }

private:
    void EnterSection(const std::string& name) {
        section_ = name;
        if (name == "drive") result_.drives.emplace_back();
        else if (name != "engine" && name != "burn" && name != "after_burn") Fail("unknown section: " + name);
    }

    void Fail(const std::string& text) { result_.errors.push_back({line_, text}); }

    static bool Number(const std::string& value, int32_t& out) {
        long long number = 0;
        if (!ParseNumber(value, number)) return false;
        out = static_cast<int32_t>(number);
        return true;
    }
    static bool Unsigned(const std::string& value, uint32_t& out) {
        long long number = 0;
        if (!ParseNumber(value, number)) return false;
        out = static_cast<uint32_t>(number);
        return true;
    }
    static bool Text(const std::string& value, std::string& out) {
        out = value;
        return true;
    }
    static bool Count(const std::string& value, bool& given, uint32_t& out) {
        given = true;
        return Unsigned(value, out);
    }
    static bool Flag(const std::string& value, bool& out) {
        int32_t number = 0;
        if (!Number(value, number)) return false;
        out = number != 0;
        return true;
    }
    // "none" (or nothing) switches the optional value off.
    static bool OptionalText(const std::string& value, bool& has, std::string& out) {
        has = value != "none";
        out = has ? value : std::string();
        return true;
    }

    bool EngineKey(const std::string& key, const std::string& value) {
        Scenario& s = result_;
        if (key == "version") return Unsigned(value, s.version);
        if (key == "version_ex") return VersionParts(value);
        if (key == "accept_expected") return Number(value, s.acceptExpected);
        if (key == "init_result") return Number(value, s.initResult);
        if (key == "drive_list") {
            if (value != "none" && value != "list") return false;
            s.driveListNone = value == "none";
            return true;
        }
        if (key == "open_device") return Flag(value, s.openDevice);
        if (key == "burn_result") return Number(value, s.burnResult);
        if (key == "abort_result") return Number(value, s.abortResult);
        if (key == "abort_ends_burn") return Flag(value, s.abortEndsBurn);
        if (key == "last_error") return OptionalText(value, s.hasLastError, s.lastError);
        if (key == "wait_text") return OptionalText(value, s.hasWaitText, s.waitText);
        if (key == "mismatch_last") return OptionalText(value, s.hasMismatchLast, s.mismatchLast);
        if (key == "mismatch_requested") return OptionalText(value, s.hasMismatchRequested, s.mismatchRequested);
        if (key == "disc_tracks") {
            s.hasDiscTracks = value != "none";
            return !s.hasDiscTracks || Unsigned(value, s.discTracks);
        }
        if (key == "import") return Flag(value, s.importSucceeds);
        if (key == "import_items") return Number(value, s.importItems);
        if (key == "iso_item_limit") return Number(value, s.isoItemLimit);
        if (key == "create_iso_track") return Flag(value, s.createIsoTrack);
        if (key == "pcm_chunk") return Unsigned(value, s.pcmChunk) && s.pcmChunk > 0;
        if (key == "log") return Text(value, s.logPath);
        if (key == "output") return Text(value, s.outputFolder);
        if (key == "quiet") return Flag(value, s.quiet);
        return false;
    }

    bool VersionParts(const std::string& value) {
        if (value == "none") {
            result_.hasVersionEx = false;
            return true;
        }
        std::stringstream stream(value);
        std::string part;
        int index = 0;
        while (std::getline(stream, part, '.')) {
            uint32_t number = 0;
            if (index >= 4 || !Unsigned(part, number)) return false;
            result_.versionEx[index++] = static_cast<uint16_t>(number);
        }
        result_.hasVersionEx = true;
        return index == 4;
    }

    bool DriveKey(const std::string& key, const std::string& value) {
        DriveSpec& d = result_.drives.back();
        if (key == "name") return Text(value, d.name);
        if (key == "letter") return Letter(value, d.letter);
        if (key == "capabilities") return Unsigned(value, d.capabilities);
        if (key == "speeds1") return ParseList(value, d.speeds1) && d.speeds1.size() <= 64;
        if (key == "speeds2") return ParseList(value, d.speeds2) && d.speeds2.size() <= 64;
        if (key == "speed_count1") return Count(value, d.count1Given, d.count1);
        if (key == "speed_count2") return Count(value, d.count2Given, d.count2);
        if (key == "short_text") return Text(value, d.shortText);
        if (key == "words") {
            std::vector<uint32_t> words;
            if (!ParseList(value, words) || words.size() != 3) return false;
            for (int i = 0; i < 3; ++i) d.words[i] = words[i];
            return true;
        }
        if (key == "word1388") return Unsigned(value, d.word1388);
        if (key == "text1392") return Text(value, d.text1392);
        if (key == "word1456") return Unsigned(value, d.word1456);
        return false;
    }

    static bool Letter(const std::string& value, uint8_t& out) {
        if (value.size() == 1 && !(value[0] >= '0' && value[0] <= '9')) {
            out = static_cast<uint8_t>(value[0]);
            return true;
        }
        uint32_t number = 0;
        if (!Unsigned(value, number)) return false;
        out = static_cast<uint8_t>(number);
        return true;
    }

    bool BurnStep(std::vector<ScriptStep>& script, const std::string& key, const std::string& value, bool hasValue) {
        ScriptStep step;
        if (key == "progress") step.kind = StepKind::Progress;
        else if (key == "phase") step.kind = StepKind::Phase;
        else if (key == "major_phase") step.kind = StepKind::MajorPhase;
        else if (key == "disable_abort") step.kind = StepKind::DisableAbort;
        else if (key == "log_line") step.kind = StepKind::LogLine;
        else if (key == "aborted") step.kind = StepKind::Aborted;
        else if (key == "idle") step.kind = StepKind::Idle;
        else if (key == "user_dialog") step.kind = StepKind::UserDialog;
        else if (key == "wait") step.kind = StepKind::Wait;
        else if (key == "read_pcm") step.kind = StepKind::ReadPcm;
        else if (key == "wait_file") step.kind = StepKind::WaitFile;
        else if (key == "wait_event") step.kind = StepKind::WaitEvent;
        else if (key == "set_event") step.kind = StepKind::SetEvent;
        else return false;
        if (!StepArguments(step, value, hasValue)) return false;
        script.push_back(step);
        return true;
    }

    static bool StepArguments(ScriptStep& step, const std::string& value, bool hasValue) {
        switch (step.kind) {
        case StepKind::Aborted:
        case StepKind::Idle:
        case StepKind::ReadPcm:
            return !hasValue || value.empty();
        case StepKind::Phase:
        case StepKind::WaitFile:
            step.text = value;
            return true;
        case StepKind::WaitEvent:
        case StepKind::SetEvent:
            step.text = value;
            return !value.empty();
        case StepKind::LogLine: {
            size_t blank = value.find(' ');
            step.text = blank == std::string::npos ? std::string() : value.substr(blank + 1);
            return Number(value.substr(0, blank), step.number);
        }
        case StepKind::UserDialog: {
            size_t blank = value.find(' ');
            step.dataGiven = blank != std::string::npos;
            if (step.dataGiven && !Number(Trim(value.substr(blank + 1)), step.data)) return false;
            return Number(value.substr(0, blank), step.number);
        }
        default:
            return Number(value, step.number);
        }
    }

    Scenario result_;
    std::string section_ = "engine";
    int line_ = 0;
};

}  // namespace

Scenario ParseScenario(const std::string& text) { return Parser().Run(text); }

}  // namespace standin
