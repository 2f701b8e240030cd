#pragma once
// The callbacks a scenario makes inside NeroBurn.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "record_decoder.h"
#include "scenario.h"

namespace standin {

// Callback addresses as read from the caller's records; any of them may be null.
struct BurnCallbacks {
    const void* progress = nullptr;
    const void* aborted = nullptr;
    const void* addLogLine = nullptr;
    const void* setPhase = nullptr;
    void* userData = nullptr;
    const void* disableAbort = nullptr;
    const void* setMajorPhase = nullptr;
    const void* idle = nullptr;
    void* idleUserData = nullptr;
    const void* userDialog = nullptr;
    void* userDialogUserData = nullptr;
};

// Writes the burn once the script has run to its end; answers the burn's result.
using RecordStep = std::function<int32_t()>;

// Runs the scenario's script and returns what NeroBurn answers.
int32_t RunBurnScript(const Scenario& scenario, const BurnCallbacks& callbacks, const std::vector<PcmSource>& pcm,
                      const RecordStep& record = RecordStep());

// Starts the scenario's after-burn steps, if any, on a thread of their own with the same
// callbacks: the callbacks of an engine that goes on calling after NeroBurn has returned.
void StartAfterBurnScript(const std::shared_ptr<const Scenario>& scenario, const BurnCallbacks& callbacks);

}  // namespace standin
