#include "support/engine_registry.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "support/engine_standin.h"

namespace engine_registry {

void Clear() {
    DeleteSharedEngineDirectory();
    DeleteAppPathsEngineKey();
}

void SetShared(const std::string& directory) { SetSharedEngineDirectory(directory); }

void SetSharedBytes(const std::string& bytes) {
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedEngineKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key.get(), "NeroAPI", 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
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
