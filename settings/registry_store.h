#pragma once
// Typed reads and writes of named registry values. Every operation opens the key, does its
// work and closes the key again; nothing is cached. Failures are silent to the user: reads
// leave the default in place and every operation returns whether it succeeded.

#include <windows.h>

#include <cstdint>
#include <string>

// The lower layer: the same operations with the root as an explicit first argument.
namespace registry {
bool ReadString(HKEY root, const char* keyPath, const char* valueName, std::string& out,
                const char* defaultText);
bool ReadInt(HKEY root, const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue);
bool ReadBool(HKEY root, const char* keyPath, const char* valueName, bool& out, bool defaultValue);
bool WriteString(HKEY root, const char* keyPath, const char* valueName, const char* text);
bool WriteInt(HKEY root, const char* keyPath, const char* valueName, int32_t value);
bool WriteBool(HKEY root, const char* keyPath, const char* valueName, bool value);
}  // namespace registry

class RegistryStore {
public:
    RegistryStore() = default;
    virtual ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // On failure the out value holds the default.
    bool ReadString(const char* keyPath, const char* valueName, std::string& out, const char* defaultText);
    bool ReadInt(const char* keyPath, const char* valueName, int32_t& out, int32_t defaultValue);
    bool ReadBool(const char* keyPath, const char* valueName, bool& out, bool defaultValue);
    bool WriteString(const char* keyPath, const char* valueName, const char* text);
    bool WriteInt(const char* keyPath, const char* valueName, int32_t value);
    bool WriteBool(const char* keyPath, const char* valueName, bool value);

    HKEY root = nullptr;               // set by every user of the store
    HKEY heldKey = nullptr;            // a key kept open by the store; none in this program
    bool rootIsPredefined = true;      // when false, the root is closed on destruction
};
