#include "settings/registry_store.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/handles.h"
#include "base/trace.h"

namespace registry {
namespace {

UniqueRegKey OpenForReading(HKEY root, const char* keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return UniqueRegKey();
    return UniqueRegKey(key);
}

UniqueRegKey OpenForWriting(HKEY root, const char* keyPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return UniqueRegKey();
    return UniqueRegKey(key);
}

struct ValueInfo {
    DWORD size = 0;
    DWORD type = REG_NONE;
};

// A missing value reports size 0 and no type.
ValueInfo QueryValue(HKEY key, const char* valueName) {
    ValueInfo info;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &info.size) != ERROR_SUCCESS) {
        Trace("Can not find value %s\n", valueName);
        info.size = 0;
    }
    if (RegQueryValueExA(key, valueName, nullptr, &info.type, nullptr, nullptr) != ERROR_SUCCESS) {
        Trace("Can not find value %s\n", valueName);
        info.type = REG_NONE;
    }
    return info;
}

// Reads exactly `size` bytes; a value that has grown since it was sized fails rather than overrun.
bool ReadData(HKEY key, const char* valueName, void* buffer, DWORD size) {
    if (size == 0) return false;
    DWORD got = size;
    return RegQueryValueExA(key, valueName, nullptr, nullptr, static_cast<BYTE*>(buffer), &got) == ERROR_SUCCESS;
}

// The value's bytes plus one zero byte, so text stored with or without its terminator reads alike.
bool ReadTerminated(HKEY key, const char* valueName, DWORD size, std::vector<char>& buffer) {
    buffer.assign(static_cast<size_t>(size) + 1, '\0');
    return ReadData(key, valueName, buffer.data(), size);
}

// Only sizes that fit the 4-byte integer are read; larger data stays unread so it can never be
// written past the caller's integer.
bool ReadDword(HKEY key, const char* valueName, DWORD size, int32_t& out) {
    if (size > sizeof(uint32_t)) return false;
    unsigned char bytes[sizeof(uint32_t)] = {};
    if (!ReadData(key, valueName, bytes, size)) return false;
    out = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    return true;
}

}  // namespace

bool ReadString(HKEY root, const char* keyPath, const char* valueName, std::string& out, const char* defaultText) {
    out = defaultText != nullptr ? defaultText : "";
    UniqueRegKey key = OpenForReading(root, keyPath);
    if (!key) {
        Trace("Failed to open %s\n", keyPath);
        return false;
    }
    ValueInfo info = QueryValue(key.get(), valueName);
    if (info.type != REG_SZ && info.type != REG_BINARY) {
        Trace("Wrong type in registry key : expected REG_SZ or REG_BINARY\n");
        return false;
    }
    if (info.size == 0) return false;
    std::vector<char> buffer;
    if (ReadTerminated(key.get(), valueName, info.size, buffer)) out = buffer.data();
    return true;
}

bool ReadInt(HKEY root, const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue) {
    out = defaultValue;
    UniqueRegKey key = OpenForReading(root, keyPath);
    if (!key) {
        Trace("----------> Failed to open %s\n", keyPath);
        return false;
    }
    ValueInfo info = QueryValue(key.get(), valueName);
    switch (info.type) {
    case REG_DWORD:
        if (!ReadDword(key.get(), valueName, info.size, out)) {
            out = defaultValue;
            return false;
        }
        return true;
    case REG_SZ: {
        std::vector<char> buffer;
        if (ReadTerminated(key.get(), valueName, info.size, buffer))
            out = static_cast<int32_t>(std::strtol(buffer.data(), nullptr, 10));
        return true;
    }
    default:
        return false;
    }
}

bool ReadBool(HKEY root, const char* keyPath, const char* valueName, bool& out, bool defaultValue) {
    out = defaultValue;
    int32_t value = 0;
    bool result = ReadInt(root, keyPath, valueName, value, defaultValue ? 1 : 0);
    out = value != 0;
    return result;
}

bool WriteString(HKEY root, const char* keyPath, const char* valueName, const char* text) {
    UniqueRegKey key = OpenForWriting(root, keyPath);
    if (!key) return false;
    if (text == nullptr || *text == '\0') {
        // An empty text is kept as one zero byte; whether that succeeds is not reported.
        const BYTE zero = 0;
        RegSetValueExA(key.get(), valueName, 0, REG_SZ, &zero, 1);
        return true;
    }
    // Stored without its terminating zero, as earlier versions did.
    DWORD size = static_cast<DWORD>(std::strlen(text));
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

bool WriteInt(HKEY root, const char* keyPath, const char* valueName, int32_t value) {
    UniqueRegKey key = OpenForWriting(root, keyPath);
    if (!key) return false;
    DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

bool WriteBool(HKEY root, const char* keyPath, const char* valueName, bool value) {
    return WriteInt(root, keyPath, valueName, value ? 1 : 0);
}

}  // namespace registry

RegistryStore::~RegistryStore() {
    UniqueRegKey held(heldKey);
    if (!rootIsPredefined) UniqueRegKey ownedRoot(root);
}

bool RegistryStore::ReadString(const char* keyPath, const char* valueName, std::string& out, const char* defaultText) {
    return registry::ReadString(root, keyPath, valueName, out, defaultText);
}

bool RegistryStore::ReadInt(const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue) {
    return registry::ReadInt(root, keyPath, valueName, out, defaultValue);
}

bool RegistryStore::ReadBool(const char* keyPath, const char* valueName, bool& out, bool defaultValue) {
    return registry::ReadBool(root, keyPath, valueName, out, defaultValue);
}

bool RegistryStore::WriteString(const char* keyPath, const char* valueName, const char* text) {
    return registry::WriteString(root, keyPath, valueName, text);
}

bool RegistryStore::WriteInt(const char* keyPath, const char* valueName, int32_t value) {
    return registry::WriteInt(root, keyPath, valueName, value);
}

bool RegistryStore::WriteBool(const char* keyPath, const char* valueName, bool value) {
    return registry::WriteBool(root, keyPath, valueName, value);
}
