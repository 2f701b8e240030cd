#include "support/engine_registry.h"

#include <windows.h>

#include <vector>

#include "plugin/handles.h"

namespace engine_registry {

const char kSharedKey[] = "SOFTWARE\\ahead\\Shared";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Nero.exe";

namespace {

void WriteValue(const char* keyName, const char* valueName, DWORD type, const std::string& bytes) {
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key.get(), valueName, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
}

}  // namespace

void Clear() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSharedKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
}

void SetShared(const std::string& directory) {
    WriteValue(kSharedKey, "NeroAPI", REG_SZ, std::string(directory.c_str(), directory.size() + 1));
}

void SetSharedBytes(const std::string& bytes) { WriteValue(kSharedKey, "NeroAPI", REG_BINARY, bytes); }

void SetAppPath(const std::string& directory) {
    WriteValue(kAppPathsKey, "Path", REG_SZ, std::string(directory.c_str(), directory.size() + 1));
}

std::string Shared() {
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return "<missing>";
    std::vector<char> buffer(1024, '\0');
    DWORD size = static_cast<DWORD>(buffer.size() - 1);
    if (RegQueryValueExA(key.get(), "NeroAPI", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return buffer.data();
}

std::string Path() {
    std::vector<char> buffer(32768, '\0');
    GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    return buffer.data();
}

void SetPath(const std::string& value) { SetEnvironmentVariableA("PATH", value.c_str()); }

}  // namespace engine_registry
