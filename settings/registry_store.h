#pragma once
// Typed reads and writes of named registry values. Every operation opens the key, does its
// work and closes the key again; nothing is cached. Failures are silent to the user: reads
// leave the default in place and every operation returns whether it succeeded.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/handles.h"

// The lower layer: the same operations with the root as an explicit first argument. Each one
// says what happened in the registry's own terms; the store above decides what to report.
namespace registry {

struct Result {
    // How far the operation got before it stopped.
    enum Reached {
        kNothing,     // the key did not open
        kKeyOpen,     // the key is open; reads: the value is missing or not in a form the read takes
        kValueFound,  // reads only: the value is there in a form the read takes
    };
    // ERROR_SUCCESS when the operation did all of its work, otherwise the Windows error code of
    // the step that stopped it. A read names a value it cannot take ERROR_FILE_NOT_FOUND
    // (missing), ERROR_UNSUPPORTED_TYPE (a type it does not take), ERROR_NO_DATA (no data),
    // ERROR_MORE_DATA (more than an integer holds) or ERROR_OUTOFMEMORY (no room to read it).
    LONG code = ERROR_SUCCESS;
    Reached reached = kNothing;

    explicit operator bool() const { return code == ERROR_SUCCESS; }
};

// Reads: on any failure the out value holds the default.
// Takes REG_SZ and REG_BINARY values that hold data; the text runs to the first zero byte.
Result ReadString(HKEY root, const char* keyPath, const char* valueName, std::string& out,
                  const char* defaultText);
// Takes REG_DWORD values of one to four bytes (little-endian) and REG_SZ values as decimal text.
Result ReadInt(HKEY root, const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue);
// ReadInt's rules; any integer but 0 is true.
Result ReadBool(HKEY root, const char* keyPath, const char* valueName, bool& out, bool defaultValue);
// Writes create the key and any missing parent. A text is stored as REG_SZ without its
// terminating zero; the empty text as one zero byte.
Result WriteString(HKEY root, const char* keyPath, const char* valueName, const char* text);
Result WriteInt(HKEY root, const char* keyPath, const char* valueName, int32_t value);
// As REG_DWORD 1 or 0.
Result WriteBool(HKEY root, const char* keyPath, const char* valueName, bool value);

}  // namespace registry

class RegistryStore {
public:
    RegistryStore() = default;
    virtual ~RegistryStore() = default;
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // On failure the out value holds the default. A read that found its value counts as done
    // even when the data then could not be taken.
    bool ReadString(const char* keyPath, const char* valueName, std::string& out, const char* defaultText);
    bool ReadInt(const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue);
    bool ReadBool(const char* keyPath, const char* valueName, bool& out, bool defaultValue);
    // The empty text counts as written once its key is open.
    bool WriteString(const char* keyPath, const char* valueName, const char* text);
    bool WriteInt(const char* keyPath, const char* valueName, int32_t value);
    bool WriteBool(const char* keyPath, const char* valueName, bool value);

    // Hands the store a key of the caller's own to use as its root; it is closed with the store.
    void OwnRoot(UniqueRegKey key);

    // Set by every user of the store. A root given here (HKEY_CURRENT_USER) is never closed.
    HKEY root = nullptr;

private:
    UniqueRegKey ownedRoot_;
};
