#pragma once
// Short names for the registry places the engine loader reads (on top of engine_standin.h), a
// raw writer for values without a terminator, and the process "PATH".

#include <string>

namespace engine_registry {

// Removes both values.
void Clear();
void SetShared(const std::string& directory);
// Writes "NeroAPI" as these bytes of this type, exactly: nothing adds a terminator.
void SetSharedRaw(unsigned long type, const std::string& bytes);
void SetAppPath(const std::string& directory);
// The "NeroAPI" value, or "<missing>".
std::string Shared();

std::string Path();
void SetPath(const std::string& value);

}  // namespace engine_registry
