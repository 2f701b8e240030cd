#pragma once
// The two registry places the engine loader reads, set and cleared by tests, and the process
// "PATH" kept and put back around each test.

#include <string>

namespace engine_registry {

extern const char kSharedKey[];
extern const char kAppPathsKey[];

// Removes both values and both keys.
void Clear();
// Writes "NeroAPI" under the shared key (REG_SZ, terminator included).
void SetShared(const std::string& directory);
// Writes raw bytes as "NeroAPI" (REG_BINARY, so nothing adds a terminator).
void SetSharedBytes(const std::string& bytes);
void SetAppPath(const std::string& directory);
// The "NeroAPI" value, or "<missing>".
std::string Shared();

std::string Path();
void SetPath(const std::string& value);

}  // namespace engine_registry
