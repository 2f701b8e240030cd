#pragma once
// Every value the plug-in keeps in the registry, with its type and default: the one table.
// All live under HKEY_CURRENT_USER "Software\Outwell\Tolvane". Each access opens the key and
// closes it again; a failed read gives the default and a failed write is lost silently.

#include <cstdint>
#include <string>

namespace settings {

constexpr const char* kKeyPath = "Software\\Outwell\\Tolvane";

struct BoolSetting { const char* name; bool defaultValue; };
struct IntSetting { const char* name; int32_t defaultValue; };
struct StringSetting { const char* name; const char* defaultValue; };

// Crash guard: 1 while a plug-in instance runs (written as a DWORD 1 or 0).
constexpr BoolSetting kCrashGuard{"NeroFuckedUpAgain", false};
// The recorder last selected, as the drive box shows it.
constexpr StringSetting kLastDrive{"Last Drive", ""};
// The disc type last selected: 0 "Audio", 1 "Data".
constexpr IntSetting kLastMode{"Last Mode", 0};
// Pause between audio tracks in seconds, 0 to 5.
constexpr IntSetting kAudioGap{"Audio Gap", 0};
constexpr BoolSetting kUnderrun{"Underrun", true};
constexpr BoolSetting kSimulate{"Simulate", true};
// The engine interface version last seen: a * 65536 + b, and c * 65536 + d.
constexpr IntSetting kLastVersionMajor{"LastVersionMajor", 0};
constexpr IntSetting kLastVersionMinor{"LastVersionMinor", 0};

bool Read(const BoolSetting& setting);
int32_t Read(const IntSetting& setting);
std::string Read(const StringSetting& setting);

// Booleans are stored as REG_DWORD 1 or 0.
void Write(const BoolSetting& setting, bool value);
void Write(const IntSetting& setting, int32_t value);
void Write(const StringSetting& setting, const char* value);

}  // namespace settings
