#pragma once
// What the engine session reads of a burn's description: the recorder to open and the medium
// whose drives to list. The burn's description (BurnJob) is one.

#include <cstdint>

struct RecorderChoice {
    const char* driveName = nullptr;
    uint32_t mediumType = 0;
};
