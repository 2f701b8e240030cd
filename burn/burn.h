#pragma once
// How a job becomes a disc: the builder of the job's compilation kind fills the engine's record,
// and one NeroBurn hands it to the recorder the session holds open. The session is handed in and
// stays the engine's; a Burner keeps only what one burn notes on its way.

#include <cstdint>
#include <string>

#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_result.h"
#include "engine/engine_session.h"

class Burner {
public:
    explicit Burner(EngineSession& session) : session_(session) {}
    Burner(const Burner&) = delete;
    Burner& operator=(const Burner&) = delete;

    // Dispatches the job to the builder of its compilation kind.
    EngineResult Burn(const BurnJob& job);
    // Noted by a builder that fails on a file; the burn's result names it.
    void NoteFailedFile(const std::string& path) { failedFile_ = path; }
    // The common end of every builder: one NeroBurn with the job's flags; the mapped code.
    int32_t BurnStep(const BurnJob& job, int32_t format, void* record);

    // Builders (one per compilation kind); each returns an EXITCODE and releases what it built.
    // Failures travel as codes: nothing is thrown, and nothing thrown by the runtime gets out.
    int32_t BuildAudioCompilation(const BurnJob& job) noexcept;
    int32_t BuildVideoCompilation(const BurnJob& job) noexcept;
    int32_t BuildImageBurn(const BurnJob& job) noexcept;
    int32_t BuildTrackModeRecord(const BurnJob& job) noexcept;

    // The data track: items for every path of the job's isoFiles, joined to an imported track.
    int32_t BuildIsoTrack(const BurnJob& job, void** track, IsoItem** root) noexcept;
    int32_t AddPathItems(const BurnJob& job, const char* path, IsoItem** chain, int depth);

    EngineSession& session() const { return session_; }

private:
    EngineSession& session_;
    std::string failedFile_;
};
