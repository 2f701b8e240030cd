#pragma once
// A job and an engine session against the stand-in engine, a scratch folder for real file
// trees, and the engine's log read back; every test ends with the engine's ledger checked.

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "burn/burn_job.h"
#include "engine/engine_session.h"

struct LogLine {
    std::string tag;
    std::string name;
    std::map<std::string, std::string> fields;
    // The field's value, or "<absent>".
    std::string operator[](const std::string& key) const;
    long Number(const std::string& key) const;
};

class CompilationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A new scenario: `engine` lines go under [engine] (after the log key), `burn` is the script.
    void UseScenario(const std::string& engine = "", const std::string& burn = "");
    // Files and folders under the scratch folder, by relative path; they return the full path.
    std::string MakeFolder(const std::string& relative);
    std::string MakeFile(const std::string& relative, size_t bytes = 0);
    std::string Path(const std::string& relative) const;
    // Keeps a text alive for the job, which holds texts by pointer.
    const char* Keep(const std::string& text);

    // Every line logged since the scenario was set.
    std::vector<LogLine> Log() const;
    std::vector<LogLine> Lines(const std::string& tag, const std::string& name) const;
    size_t CallCount(const std::string& name) const;
    // The items decoded for the last NeroCreateIsoTrackEx, as "path" or "path/" for folders.
    std::vector<std::string> TrackItems() const;
    // The recorder opened through the session, for imports.
    void OpenRecorder();

    BurnJob job_;
    std::unique_ptr<EngineSession> session_;
    std::string scratch_;
    std::string logPath_;

private:
    std::vector<std::unique_ptr<std::string>> kept_;
    int scenarioNumber_ = 0;
};

// Names a search finds, in the order found, files and folders apart ("." and ".." left out).
struct FoundNames {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};
FoundNames FindNames(const std::string& pattern);
