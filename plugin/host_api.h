#pragma once
// The player's side of the general plug-in contract: the records the player hands to
// QGeneralModule and the service operations the plug-in asks of it. 32-bit x86, C calling
// convention, 32-bit fields at fixed byte offsets.

#include <cstddef>
#include <cstdint>

extern "C" {

typedef int32_t(__cdecl* HostServiceFunc)(int32_t op, void* buffer, int32_t param1, int32_t param2);
typedef void(__cdecl* PluginShutdownFunc)(void);
typedef void(__cdecl* PluginConfigureFunc)(void);
typedef int32_t(__cdecl* PluginAboutFunc)(void);

struct HostRecord {
    uint32_t reserved0;               // 0: the player's own
    int32_t interfaceVersion;         // 4: written by the plug-in
    HostServiceFunc service;          // 8: read once
    uint32_t reserved12;              // 12: the player's own
    uint32_t reserved16;              // 16: the player's own
    PluginShutdownFunc shutdown;      // 20: written by the plug-in
    PluginConfigureFunc configure;    // 24: written by the plug-in (none)
    PluginAboutFunc about;            // 28: written by the plug-in
};

struct ModuleInfo {
    const char* description;          // 0: valid until the module unloads
};

}  // extern "C"

static_assert(offsetof(HostRecord, interfaceVersion) == 4, "host record layout");
static_assert(offsetof(HostRecord, service) == 8, "host record layout");
static_assert(offsetof(HostRecord, shutdown) == 20, "host record layout");
static_assert(offsetof(HostRecord, configure) == 24, "host record layout");
static_assert(offsetof(HostRecord, about) == 28, "host record layout");
static_assert(sizeof(HostRecord) == 32, "host record size");
static_assert(offsetof(ModuleInfo, description) == 0, "module info layout");
static_assert(sizeof(ModuleInfo) == 4, "module info size");
static_assert(sizeof(void*) == 4, "the plug-in is a 32-bit module");

constexpr int32_t kHostInterfaceVersion = 250;

// Service operations, with what the plug-in relies on in each answer.
enum HostServiceOp : int32_t {
    kHostGetMainWindow = 1,         // none; 0, 0 -> the player's main window
    kHostTrackCount = 10,           // none; 0, 0 -> number of tracks
    kHostTrackLength = 14,          // none; index, 0 -> length in seconds
    kHostTrackSelected = 16,        // none; index, 0 -> non-zero when selected
    kHostTrackTitle = 100,          // 260 bytes; 260, index -> title text
    kHostTrackArtist = 101,         // 260 bytes; 260, index -> artist text
    kHostTrackFile = 103,           // 260 bytes; 260, index -> file path
    kHostSettingsFile = 108,        // 260 bytes; 260, 0 -> the player's settings file
};

constexpr int32_t kHostTextBufferSize = 260;
