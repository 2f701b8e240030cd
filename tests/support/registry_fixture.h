#pragma once
// Registry helpers for tests: raw values of any type and size, whole-tree deletion, and a
// private stand-in for the current user's hive.

#include <windows.h>

#include <string>

#include "base/handles.h"

struct RawValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

bool SetRawValue(HKEY root, const std::string& keyPath, const char* valueName, DWORD type, const std::string& bytes);
RawValue QueryRawValue(HKEY root, const std::string& keyPath, const char* valueName);
bool KeyExists(HKEY root, const std::string& keyPath);
// Deletes the key with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::string& keyPath);

// Redirects HKEY_CURRENT_USER of this process to a fresh key below the real one, so a test
// neither sees nor disturbs what other test programs keep there. Restored and deleted on scope
// exit. Loaded modules are redirected too: the override is process-wide.
class ScopedUserHive {
public:
    explicit ScopedUserHive(const std::string& name);
    ~ScopedUserHive();
    ScopedUserHive(const ScopedUserHive&) = delete;
    ScopedUserHive& operator=(const ScopedUserHive&) = delete;

    bool active() const { return active_; }
    // Where the redirected hive lives below the real current user's hive.
    const std::string& realPath() const { return realPath_; }
    // The hive itself, reached without the redirection.
    HKEY key() const { return hive_.get(); }

private:
    std::string realPath_;
    UniqueRegKey hive_;
    bool active_ = false;
};

constexpr const char* kTestKeyRoot = "Software\\Outwell\\TolvaneTest";
