#include "support/registry_fixture.h"

#include <vector>

#include "base/handles.h"

bool SetRawValue(HKEY root, const std::string& keyPath, const char* valueName, DWORD type, const std::string& bytes) {
    UniqueRegKey key;
    if (RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExA(key.get(), valueName, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

RawValue QueryRawValue(HKEY root, const std::string& keyPath, const char* valueName) {
    RawValue value;
    UniqueRegKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.bytes.assign(size, '\0');
    if (size > 0 && RegQueryValueExA(key.get(), valueName, nullptr, &value.type,
                                     reinterpret_cast<BYTE*>(&value.bytes[0]), &size) != ERROR_SUCCESS)
        return value;
    value.exists = true;
    return value;
}

bool KeyExists(HKEY root, const std::string& keyPath) {
    UniqueRegKey key;
    return RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool DeleteKeyTree(HKEY root, const std::string& keyPath) {
    {
        UniqueRegKey key;
        if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return true;
        std::vector<std::string> children;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            children.emplace_back(name, length);
        }
        for (const std::string& child : children) DeleteKeyTree(root, keyPath + "\\" + child);
    }
    return RegDeleteKeyA(root, keyPath.c_str()) == ERROR_SUCCESS;
}

ScopedUserHive::ScopedUserHive(const std::string& name)
    : realPath_(std::string(kTestKeyRoot) + "\\hive-" + name + "-" + std::to_string(GetCurrentProcessId())) {
    DeleteKeyTree(HKEY_CURRENT_USER, realPath_);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, realPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, hive_.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    active_ = RegOverridePredefKey(HKEY_CURRENT_USER, hive_.get()) == ERROR_SUCCESS;
}

ScopedUserHive::~ScopedUserHive() {
    if (active_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    hive_.reset();
    DeleteKeyTree(HKEY_CURRENT_USER, realPath_);
}
