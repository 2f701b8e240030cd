#pragma once
#include <windows.h>

// True when the engine's interface version a.b.c.d is above 5.5.9.10; each pair is compared
// as first * 65536 + second.
bool IsCurrentEngineVersion(WORD major, WORD minor, WORD release, WORD build);
