#include "settings/settings.h"

#include <cstring>

#include "base/trace.h"
#include "settings/registry_key.h"

namespace settings {
namespace {

// Each access opens the key afresh and closes it again, so a value written on one thread is read
// at once on another.
LONG OpenToRead(RegistryKey& key, const char* openFailedTrace) {
    const LONG opened = key.Open(HKEY_CURRENT_USER, kKeyPath, KEY_READ);
    if (opened != ERROR_SUCCESS) Trace(openFailedTrace, kKeyPath);
    return opened;
}

// A failed read leaves the caller's default in place; only the trace hears of it.
void TraceFailedRead(LONG read, const char* name) {
    if (read == ERROR_FILE_NOT_FOUND) Trace("Can not find value %s\n", name);
}

int32_t ReadNumber(const char* name, int32_t defaultValue) {
    int32_t value = defaultValue;
    RegistryKey key;
    if (OpenToRead(key, "----------> Failed to open %s\n") == ERROR_SUCCESS)
        TraceFailedRead(key.QueryValue(name, value), name);
    return value;
}

// Creates the key and any missing parent. A failed write is lost silently.
void WriteValue(const char* name, DWORD type, const void* data, DWORD size) {
    RegistryKey key;
    if (key.Create(HKEY_CURRENT_USER, kKeyPath, KEY_WRITE) != ERROR_SUCCESS) return;
    IgnoreRegistryFailure(key.SetValue(name, type, data, size));
}

void WriteNumber(const char* name, int32_t value) {
    const DWORD data = static_cast<DWORD>(value);
    WriteValue(name, REG_DWORD, &data, sizeof data);
}

}  // namespace

bool Read(const BoolSetting& setting) { return ReadNumber(setting.name, setting.defaultValue ? 1 : 0) != 0; }

int32_t Read(const IntSetting& setting) { return ReadNumber(setting.name, setting.defaultValue); }

std::string Read(const StringSetting& setting) {
    std::string value = setting.defaultValue;
    RegistryKey key;
    if (OpenToRead(key, "Failed to open %s\n") != ERROR_SUCCESS) return value;
    const LONG read = key.QueryValue(setting.name, value);
    TraceFailedRead(read, setting.name);
    if (read == ERROR_FILE_NOT_FOUND || read == ERROR_UNSUPPORTED_TYPE)
        Trace("Wrong type in registry key : expected REG_SZ or REG_BINARY\n");
    return value;
}

void Write(const BoolSetting& setting, bool value) { WriteNumber(setting.name, value ? 1 : 0); }

void Write(const IntSetting& setting, int32_t value) { WriteNumber(setting.name, value); }

// Stored without its terminating zero, as earlier versions did; the empty text as one zero byte.
void Write(const StringSetting& setting, const char* value) {
    const char zero = '\0';
    if (value == nullptr || *value == '\0') {
        WriteValue(setting.name, REG_SZ, &zero, 1);
        return;
    }
    WriteValue(setting.name, REG_SZ, value, static_cast<DWORD>(std::strlen(value)));
}

}  // namespace settings
