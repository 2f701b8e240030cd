#include "settings/registry_key.h"

#include <cstdlib>
#include <new>
#include <vector>

namespace {

// The value's bytes plus one zero byte. A size of 0 is never read.
LONG AllocateText(DWORD size, std::vector<char>& text) {
    if (size == 0) return ERROR_NO_DATA;
    try {
        text.assign(static_cast<size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegistryKey::Open(HKEY parent, const char* path, REGSAM access) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, path, 0, access, &opened);
    key_.reset(result == ERROR_SUCCESS ? opened : nullptr);
    return result;
}

LONG RegistryKey::Create(HKEY parent, const char* path, REGSAM access) {
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(parent, path, 0, nullptr, 0, access, nullptr, &created, nullptr);
    key_.reset(result == ERROR_SUCCESS ? created : nullptr);
    return result;
}

LONG RegistryKey::QueryTypeAndSize(const char* name, DWORD& type, DWORD& size) const {
    DWORD foundType = REG_NONE;
    DWORD foundSize = 0;
    const LONG result = RegQueryValueExA(key_.get(), name, nullptr, &foundType, nullptr, &foundSize);
    if (result != ERROR_SUCCESS) return result;
    type = foundType;
    size = foundSize;
    return result;
}

LONG RegistryKey::QueryData(const char* name, void* data, DWORD size) const {
    DWORD got = size;
    return RegQueryValueExA(key_.get(), name, nullptr, nullptr, static_cast<BYTE*>(data), &got);
}

LONG RegistryKey::QueryValue(const char* name, std::string& text) const {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = QueryTypeAndSize(name, type, size);
    if (result != ERROR_SUCCESS) return result;
    if (type != REG_SZ && type != REG_BINARY) return ERROR_UNSUPPORTED_TYPE;
    std::vector<char> buffer;
    result = AllocateText(size, buffer);
    if (result == ERROR_SUCCESS) result = QueryData(name, buffer.data(), size);
    if (result != ERROR_SUCCESS) return result;
    try {
        text = buffer.data();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    return result;
}

LONG RegistryKey::QueryValue(const char* name, int32_t& value) const {
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = QueryTypeAndSize(name, type, size);
    if (result != ERROR_SUCCESS) return result;
    switch (type) {
    case REG_DWORD: {
        if (size == 0) return ERROR_NO_DATA;
        // Larger data stays unread, so it can never be written past the integer.
        if (size > sizeof(uint32_t)) return ERROR_MORE_DATA;
        unsigned char bytes[sizeof(uint32_t)] = {};
        result = QueryData(name, bytes, size);
        if (result != ERROR_SUCCESS) return result;
        value = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        return result;
    }
    case REG_SZ: {
        std::vector<char> text;
        result = AllocateText(size, text);
        if (result == ERROR_SUCCESS) result = QueryData(name, text.data(), size);
        if (result == ERROR_SUCCESS) value = static_cast<int32_t>(std::strtol(text.data(), nullptr, 10));
        return result;
    }
    default:
        return ERROR_UNSUPPORTED_TYPE;
    }
}

LONG RegistryKey::QueryValue(const char* name, DWORD& type, void* data, DWORD& size) const {
    DWORD foundType = REG_NONE;
    DWORD got = size;
    const LONG result = RegQueryValueExA(key_.get(), name, nullptr, &foundType, static_cast<BYTE*>(data), &got);
    if (result != ERROR_SUCCESS) return result;
    type = foundType;
    size = got;
    return result;
}

LONG RegistryKey::SetValue(const char* name, DWORD type, const void* data, DWORD size) const {
    return RegSetValueExA(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size);
}
