#pragma once
// What the stand-in engine does, as read from the scenario file (format in README.md).

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct DriveSpec {
    std::string name;
    uint8_t letter = 0;
    uint32_t capabilities = 1;
    std::vector<uint32_t> speeds1;
    std::vector<uint32_t> speeds2;
    bool count1Given = false;
    uint32_t count1 = 0;
    bool count2Given = false;
    uint32_t count2 = 0;
    std::string shortText;
    uint32_t words[3] = {0, 0, 0};
    uint32_t word1388 = 0;
    std::string text1392;
    uint32_t word1456 = 0;
};

enum class StepKind {
    Progress, Phase, MajorPhase, DisableAbort, LogLine, Aborted, Idle, UserDialog, Wait, ReadPcm, WaitFile,
    WaitEvent, SetEvent
};

struct ScriptStep {
    StepKind kind = StepKind::Idle;
    int32_t number = 0;   // percent, code, flag, kind, milliseconds
    int32_t data = 0;     // user-dialog data
    bool dataGiven = false;
    std::string text;     // phase or log text, file or event name
};

struct Scenario {
    uint32_t version = 5599;
    bool hasVersionEx = true;
    uint16_t versionEx[4] = {5, 5, 9, 14};
    int32_t acceptExpected = 1;
    int32_t initResult = 0;
    bool driveListNone = false;
    std::vector<DriveSpec> drives;
    bool openDevice = true;
    int32_t burnResult = 0;
    int32_t abortResult = 6;
    bool abortEndsBurn = false;
    bool hasLastError = false;
    std::string lastError;
    bool hasWaitText = false;
    std::string waitText;
    bool hasMismatchLast = true;
    std::string mismatchLast = "CD-R";
    bool hasMismatchRequested = true;
    std::string mismatchRequested = "DVD-R";
    bool hasDiscTracks = false;
    uint32_t discTracks = 0;
    bool importSucceeds = true;
    int32_t importItems = 1;
    int32_t isoItemLimit = -1;
    bool createIsoTrack = true;
    uint32_t pcmChunk = 37632;
    std::string logPath;
    std::string outputFolder;  // where real burns are written as images; empty: nowhere
    bool quiet = false;
    std::vector<ScriptStep> script;
    // Run on an engine thread of its own, started as NeroBurn returns.
    std::vector<ScriptStep> afterBurn;

    struct Error {
        int line;
        std::string text;
    };
    std::vector<Error> errors;
};

Scenario ParseScenario(const std::string& text);

}  // namespace standin
