#include "support/engine_registry.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "support/engine_standin.h"
#include "support/registry_fixture.h"

namespace engine_registry {

void Clear() {
    DeleteSharedEngineDirectory();
    DeleteAppPathsEngineKey();
}

void SetShared(const std::string& directory) { SetSharedEngineDirectory(directory); }

void SetSharedRaw(unsigned long type, const std::string& bytes) {
    SetRawValue(HKEY_LOCAL_MACHINE, kSharedEngineKey, "NeroAPI", type, bytes);
}

void SetAppPath(const std::string& directory) { SetAppPathsEngineDirectory(directory); }

std::string Shared() {
    std::string directory;
    return ReadSharedEngineDirectory(directory) ? directory : "<missing>";
}

std::string Path() {
    std::vector<char> buffer(32768, '\0');
    GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    return buffer.data();
}

void SetPath(const std::string& value) { SetEnvironmentVariableA("PATH", value.c_str()); }

}  // namespace engine_registry
