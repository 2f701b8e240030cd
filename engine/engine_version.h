#pragma once
#include <windows.h>

#include <cstdint>

// An engine interface version a.b.c.d as two words, a * 65536 + b and c * 65536 + d: the form it
// is compared in and the form it is remembered in.
struct PackedEngineVersion {
    uint32_t high;
    uint32_t low;
};

PackedEngineVersion PackEngineVersion(WORD major, WORD minor, WORD release, WORD build);

// True when the engine's interface version a.b.c.d is above 5.5.9.10.
bool IsCurrentEngineVersion(WORD major, WORD minor, WORD release, WORD build);
