#include "settings/settings.h"

#include "settings/registry_store.h"

namespace settings {
namespace {

// A store on the current user's hive, discarded at the end of each access.
class UserStore : public RegistryStore {
public:
    UserStore() { root = HKEY_CURRENT_USER; }
};

}  // namespace

bool Read(const BoolSetting& setting) {
    bool value = setting.defaultValue;
    UserStore().ReadBool(kKeyPath, setting.name, value, setting.defaultValue);
    return value;
}

int32_t Read(const IntSetting& setting) {
    int32_t value = setting.defaultValue;
    UserStore().ReadInt(kKeyPath, setting.name, value, setting.defaultValue);
    return value;
}

std::string Read(const StringSetting& setting) {
    std::string value;
    UserStore().ReadString(kKeyPath, setting.name, value, setting.defaultValue);
    return value;
}

void Write(const BoolSetting& setting, bool value) {
    UserStore().WriteBool(kKeyPath, setting.name, value);
}

void Write(const IntSetting& setting, int32_t value) {
    UserStore().WriteInt(kKeyPath, setting.name, value);
}

void Write(const StringSetting& setting, const char* value) {
    UserStore().WriteString(kKeyPath, setting.name, value);
}

}  // namespace settings
