#pragma once
// One open registry key, closed with the object. Every operation returns the Windows result,
// ERROR_SUCCESS or the error code of the step that stopped it, and the caller decides what a
// failure means; one that goes on the same way whatever the answer says so at the call with
// IgnoreRegistryFailure.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/handles.h"

class RegistryKey {
public:
    RegistryKey() = default;

    // Opens an existing key. On failure no key is held.
    [[nodiscard]] LONG Open(HKEY parent, const char* path, REGSAM access);
    // Opens the key, creating it and any missing parent (non-volatile, default security). On
    // failure no key is held.
    [[nodiscard]] LONG Create(HKEY parent, const char* path, REGSAM access);

    HKEY get() const { return key_.get(); }

    // A REG_SZ or REG_BINARY value with data, as text up to its first zero byte, so text stored
    // with or without its terminator reads alike. ERROR_FILE_NOT_FOUND when missing,
    // ERROR_UNSUPPORTED_TYPE for another type, ERROR_NO_DATA when empty. On failure `text` is
    // unchanged.
    [[nodiscard]] LONG QueryValue(const char* name, std::string& text) const;
    // A REG_DWORD of one to four bytes (little-endian), or a REG_SZ as decimal text (leading
    // blanks, a sign, digits up to the first other character; 0 without digits). A larger
    // REG_DWORD gives ERROR_MORE_DATA and is never read. On failure `value` is unchanged.
    [[nodiscard]] LONG QueryValue(const char* name, int32_t& value) const;
    // Any type: reads into `data`, which holds `size` bytes. On success `type` and `size` say
    // what was read. On failure (ERROR_MORE_DATA when the value is larger than `size`) `type`
    // and `size` are unchanged and the content of `data` is undefined.
    [[nodiscard]] LONG QueryValue(const char* name, DWORD& type, void* data, DWORD& size) const;

    // Stores `size` bytes of `data` as a value of `type`. On failure the value is as it was.
    [[nodiscard]] LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) const;

private:
    // The value's type and size as the registry describes them; on failure both unchanged.
    LONG QueryTypeAndSize(const char* name, DWORD& type, DWORD& size) const;
    // Exactly `size` bytes, no type asked. A value grown since it was sized fails with
    // ERROR_MORE_DATA rather than overrun.
    LONG QueryData(const char* name, void* data, DWORD size) const;

    UniqueRegKey key_;
};

// The visible discard of a registry result: a failure changes nothing for the caller.
inline void IgnoreRegistryFailure(LONG /*result*/) noexcept {}
