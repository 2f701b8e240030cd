#pragma once
// A job and an engine session against the stand-in engine, a scratch folder for real file
// trees, and the engine's log read back; every test ends with the engine's ledger checked.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "burn/burn.h"
#include "burn/burn_job.h"
#include "engine/engine_session.h"
#include "support/engine_standin.h"

class CompilationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new scenario, with the log emptied (after checking it for ledger reports).
    void UseScenario(const EngineScenario& scenario = EngineScenario());
    // A scenario with the one recorder that OpenRecorder opens.
    static EngineScenario WithRecorder(EngineScenario scenario);
    void OpenRecorder();

    // Files and folders under the scratch folder, by relative path; they return the full path.
    std::string MakeFolder(const std::string& relative);
    std::string MakeFile(const std::string& relative, size_t bytes = 0);
    std::string Path(const std::string& relative) const;
    // Keeps a text alive for the job, which holds texts by pointer.
    const char* Keep(const std::string& text);

    EngineLog Log() const { return standin_.ReadLog(); }
    std::vector<EngineLogEntry> Records(const std::string& kind) const { return Log().Records(kind); }
    std::vector<EngineLogEntry> Calls(const std::string& name) const { return Log().Calls(name); }
    size_t CallCount(const std::string& name) const { return Log().CallCount(name); }
    // The items decoded for the last NeroCreateIsoTrackEx, as "path", or "path/" for folders.
    std::vector<std::string> TrackItems() const;

    EngineStandin standin_;
    BurnJob job_;
    std::unique_ptr<EngineSession> session_;
    // The builders, over session_.
    std::unique_ptr<Burner> burner_;
    std::string scratch_;

private:
    std::vector<std::unique_ptr<std::string>> kept_;
};

// Names a search finds, in the order found, files and folders apart ("." and ".." left out).
struct FoundNames {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};
FoundNames FindNames(const std::string& pattern);
