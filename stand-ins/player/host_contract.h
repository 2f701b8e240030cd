#pragma once
// The player's side of the general plug-in contract as this player declares it: the two records
// it hands to QGeneralModule and the service operations it answers. Written from the contract
// alone and on purpose not shared with the plug-in's own declaration: the plug-in writes through
// its layout and this player reads through this one, so a slip in either shows in the tests that
// run the two together. 32-bit x86, C calling convention, 32-bit fields at fixed byte offsets.

#include <cstddef>
#include <cstdint>

namespace standin {

using ServiceCallback = int32_t(__cdecl*)(int32_t operation, void* buffer, int32_t param1, int32_t param2);
using ShutdownCallback = void(__cdecl*)();
using ConfigureCallback = void(__cdecl*)();
using AboutCallback = int32_t(__cdecl*)();

// First argument of QGeneralModule. The slots at 0, 12 and 16 are the player's; the plug-in
// leaves them alone.
struct HostRecord {
    uint32_t playerSlot0;
    int32_t interfaceVersion;      // the plug-in writes 250
    ServiceCallback service;       // the plug-in reads it
    uint32_t playerSlot12;
    uint32_t playerSlot16;
    ShutdownCallback shutdown;     // the plug-in writes these three
    ConfigureCallback configure;
    AboutCallback about;
};

// Second argument: the plug-in points the first field at its description.
struct ModuleInfo {
    const char* description;
};

static_assert(offsetof(HostRecord, playerSlot0) == 0, "host record: player's slot 0");
static_assert(offsetof(HostRecord, interfaceVersion) == 4, "host record: interface version");
static_assert(offsetof(HostRecord, service) == 8, "host record: service callback");
static_assert(offsetof(HostRecord, playerSlot12) == 12, "host record: player's slot 12");
static_assert(offsetof(HostRecord, playerSlot16) == 16, "host record: player's slot 16");
static_assert(offsetof(HostRecord, shutdown) == 20, "host record: shutdown callback");
static_assert(offsetof(HostRecord, configure) == 24, "host record: configure callback");
static_assert(offsetof(HostRecord, about) == 28, "host record: about callback");
static_assert(sizeof(HostRecord) == 32, "host record: size");
static_assert(offsetof(ModuleInfo, description) == 0, "module info: description");
static_assert(sizeof(ModuleInfo) == 4, "module info: size");

// Service operations: buffer; parameters -> answer. Texts come back zero-terminated with a
// non-zero answer.
enum ServiceOperation : int32_t {
    kOpMainWindow = 1,      // none; 0, 0 -> the player's main window
    kOpTrackCount = 10,     // none; 0, 0 -> tracks in the playlist
    kOpTrackLength = 14,    // none; index, 0 -> length in seconds
    kOpTrackSelected = 16,  // none; index, 0 -> non-zero when selected
    kOpTrackTitle = 100,    // text; size, index
    kOpTrackArtist = 101,   // text; size, index
    kOpTrackFile = 103,     // text; size, index
    kOpSettingsFile = 108,  // text; size, 0 -> the player's settings file
};

}  // namespace standin
