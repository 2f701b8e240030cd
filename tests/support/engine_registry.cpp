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

// Read as UTF-16: Wine's GetEnvironmentVariableA cuts a value of double-byte characters short.
std::string Path() {
    std::vector<wchar_t> wide(32768, L'\0');
    GetEnvironmentVariableW(L"PATH", wide.data(), static_cast<DWORD>(wide.size()));
    std::vector<char> buffer(2 * wide.size(), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, buffer.data(), static_cast<int>(buffer.size()), nullptr, nullptr);
    return buffer.data();
}

void SetPath(const std::string& value) { SetEnvironmentVariableA("PATH", value.c_str()); }

}  // namespace engine_registry
