#include "settings/registry_store.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "base/trace.h"

namespace registry {
namespace {

// One open key. Every call returns the Windows error code; the key closes with the object.
class Key {
public:
    LONG OpenForReading(HKEY root, const char* path) {
        HKEY key = nullptr;
        const LONG code = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
        if (code == ERROR_SUCCESS) key_.reset(key);
        return code;
    }

    // Creates the key and any missing parent.
    LONG OpenForWriting(HKEY root, const char* path) {
        HKEY key = nullptr;
        const LONG code = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        if (code == ERROR_SUCCESS) key_.reset(key);
        return code;
    }

    // On failure type and size are left as they were.
    LONG QueryTypeAndSize(const char* name, DWORD& type, DWORD& size) const {
        DWORD foundType = REG_NONE;
        DWORD foundSize = 0;
        const LONG code = RegQueryValueExA(key_.get(), name, nullptr, &foundType, nullptr, &foundSize);
        if (code != ERROR_SUCCESS) return code;
        type = foundType;
        size = foundSize;
        return code;
    }

    // Exactly `size` bytes: a value that has grown since it was sized fails with ERROR_MORE_DATA
    // rather than overrun. On failure the buffer's content is undefined.
    LONG QueryData(const char* name, void* buffer, DWORD size) const {
        DWORD got = size;
        return RegQueryValueExA(key_.get(), name, nullptr, nullptr, static_cast<BYTE*>(buffer), &got);
    }

    LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) const {
        return RegSetValueExA(key_.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }

private:
    UniqueRegKey key_;
};

// The value as the registry describes it.
struct Found {
    DWORD type = REG_NONE;
    DWORD size = 0;
};

// Opens the key for reading and looks the value up: `reached` is kKeyOpen once the key is open,
// and the code says whether the value was there.
Result OpenAndFind(Key& key, HKEY root, const char* keyPath, const char* valueName, const char* openFailedTrace,
                   Found& found) {
    Result result;
    result.code = key.OpenForReading(root, keyPath);
    if (result.code != ERROR_SUCCESS) {
        Trace(openFailedTrace, keyPath);
        return result;
    }
    result.reached = Result::kKeyOpen;
    result.code = key.QueryTypeAndSize(valueName, found.type, found.size);
    if (result.code != ERROR_SUCCESS) Trace("Can not find value %s\n", valueName);
    return result;
}

// The value's bytes plus one zero byte, so text stored with or without its terminator reads
// alike. A size of 0 is never read.
LONG QueryText(const Key& key, const char* valueName, DWORD size, std::vector<char>& text) {
    if (size == 0) return ERROR_NO_DATA;
    try {
        text.assign(static_cast<size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
    return key.QueryData(valueName, text.data(), size);
}

// One to four bytes, little-endian; larger data stays unread so it can never be written past the
// integer. On failure `out` is unchanged.
LONG QueryDword(const Key& key, const char* valueName, DWORD size, int32_t& out) {
    unsigned char bytes[sizeof(uint32_t)] = {};
    const LONG code = key.QueryData(valueName, bytes, size);
    if (code != ERROR_SUCCESS) return code;
    out = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    return code;
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_BINARY; }

}  // namespace

Result ReadString(HKEY root, const char* keyPath, const char* valueName, std::string& out, const char* defaultText) {
    out = defaultText != nullptr ? defaultText : "";
    Key key;
    Found found;
    Result result = OpenAndFind(key, root, keyPath, valueName, "Failed to open %s\n", found);
    if (result.reached == Result::kNothing) return result;
    if (!result || !IsTextType(found.type)) {
        Trace("Wrong type in registry key : expected REG_SZ or REG_BINARY\n");
        if (result) result.code = ERROR_UNSUPPORTED_TYPE;
        return result;
    }
    if (found.size == 0) {
        result.code = ERROR_NO_DATA;
        return result;
    }
    result.reached = Result::kValueFound;
    std::vector<char> text;
    result.code = QueryText(key, valueName, found.size, text);
    if (!result) return result;
    try {
        out = text.data();
    } catch (const std::bad_alloc&) {
        result.code = ERROR_OUTOFMEMORY;
    }
    return result;
}

Result ReadInt(HKEY root, const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue) {
    out = defaultValue;
    Key key;
    Found found;
    Result result = OpenAndFind(key, root, keyPath, valueName, "----------> Failed to open %s\n", found);
    if (!result) return result;
    switch (found.type) {
    case REG_DWORD:
        if (found.size == 0 || found.size > sizeof(uint32_t)) {
            result.code = found.size == 0 ? ERROR_NO_DATA : ERROR_MORE_DATA;
            return result;
        }
        result.reached = Result::kValueFound;
        result.code = QueryDword(key, valueName, found.size, out);
        return result;
    case REG_SZ: {
        result.reached = Result::kValueFound;
        std::vector<char> text;
        result.code = QueryText(key, valueName, found.size, text);
        if (result) out = static_cast<int32_t>(std::strtol(text.data(), nullptr, 10));
        return result;
    }
    default:
        result.code = ERROR_UNSUPPORTED_TYPE;
        return result;
    }
}

Result ReadBool(HKEY root, const char* keyPath, const char* valueName, bool& out, bool defaultValue) {
    int32_t value = 0;
    const Result result = ReadInt(root, keyPath, valueName, value, defaultValue ? 1 : 0);
    out = value != 0;
    return result;
}

Result WriteString(HKEY root, const char* keyPath, const char* valueName, const char* text) {
    Key key;
    Result result;
    result.code = key.OpenForWriting(root, keyPath);
    if (!result) return result;
    result.reached = Result::kKeyOpen;
    if (text == nullptr || *text == '\0') {
        const BYTE zero = 0;
        result.code = key.SetValue(valueName, REG_SZ, &zero, 1);
        return result;
    }
    // Stored without its terminating zero, as earlier versions did.
    result.code = key.SetValue(valueName, REG_SZ, text, static_cast<DWORD>(std::strlen(text)));
    return result;
}

Result WriteInt(HKEY root, const char* keyPath, const char* valueName, int32_t value) {
    Key key;
    Result result;
    result.code = key.OpenForWriting(root, keyPath);
    if (!result) return result;
    result.reached = Result::kKeyOpen;
    const DWORD data = static_cast<DWORD>(value);
    result.code = key.SetValue(valueName, REG_DWORD, &data, sizeof data);
    return result;
}

Result WriteBool(HKEY root, const char* keyPath, const char* valueName, bool value) {
    return WriteInt(root, keyPath, valueName, value ? 1 : 0);
}

}  // namespace registry

namespace {

// What the store has always told its callers about a read.
bool ReadReported(const registry::Result& read) { return read || read.reached == registry::Result::kValueFound; }

}  // namespace

bool RegistryStore::ReadString(const char* keyPath, const char* valueName, std::string& out, const char* defaultText) {
    return ReadReported(registry::ReadString(root, keyPath, valueName, out, defaultText));
}

bool RegistryStore::ReadInt(const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue) {
    return ReadReported(registry::ReadInt(root, keyPath, valueName, out, defaultValue));
}

bool RegistryStore::ReadBool(const char* keyPath, const char* valueName, bool& out, bool defaultValue) {
    return ReadReported(registry::ReadBool(root, keyPath, valueName, out, defaultValue));
}

bool RegistryStore::WriteString(const char* keyPath, const char* valueName, const char* text) {
    const registry::Result written = registry::WriteString(root, keyPath, valueName, text);
    const bool emptyText = text == nullptr || *text == '\0';
    return written || (emptyText && written.reached == registry::Result::kKeyOpen);
}

bool RegistryStore::WriteInt(const char* keyPath, const char* valueName, int32_t value) {
    return static_cast<bool>(registry::WriteInt(root, keyPath, valueName, value));
}

bool RegistryStore::WriteBool(const char* keyPath, const char* valueName, bool value) {
    return static_cast<bool>(registry::WriteBool(root, keyPath, valueName, value));
}

void RegistryStore::OwnRoot(UniqueRegKey key) {
    ownedRoot_ = std::move(key);
    root = ownedRoot_.get();
}
