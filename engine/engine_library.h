#pragma once
// Finding, loading and releasing the engine library, and one binder per engine entry point.
// Every binder looks its entry point up by name at each call; without a library or an entry
// point it returns the fallback (1 for NeroInit and NeroBurn, otherwise 0 or null).

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "engine/engine_api.h"

// Loads NeroAPI.dll from the absolute directory named in the registry, its own DLLs from beside
// it, and tells it the expected interface version. True when loaded and accepted.
bool loadEngine();
// Frees the library if one is loaded.
void releaseEngine();
// True while a library is loaded.
bool engineLoaded();
// The directory read from the registry by the last load; empty when none was usable. Kept for
// the process.
const char* engineDirectory();

// NeroGetAPIVersion, 0 when not available.
DWORD engineApiVersion();
// NeroGetAPIVersionEx, or the decimal digits of engineApiVersion. Non-zero when the parts are valid.
BOOL engineApiVersionParts(WORD* major, WORD* minor, WORD* release, WORD* build);
// NeroSetExpectedAPIVersionEx, or NeroSetExpectedAPIVersion with the digits joined.
BOOL setExpectedEngineVersion(WORD major, WORD minor, WORD release, WORD build);

// The binders keep the exported names, inside this namespace.
namespace engine {
int32_t NeroInit(EngineSettings* settings, const char* reserved);
void NeroDone();
DriveList* NeroGetAvailableDrivesEx(int32_t mediumType, void* reserved);
void* NeroOpenDevice(const DeviceRecord* device);
void NeroCloseDevice(void* device);
void* NeroGetCDInfo(void* device, DWORD flags);
void* NeroImportIsoTrackEx(void* device, DWORD track, void** stampSlot, DWORD flags);
void NeroFreeCDStamp(void* stamp);
void* NeroCreateIsoItemOfSize(size_t size);
void NeroFreeIsoItem(void* item);
void* NeroCreateIsoTrackEx(void* root, const char* name, DWORD flags);
void NeroFreeIsoTrack(void* track);
int32_t NeroBurn(void* device, int32_t format, void* record, DWORD flags, DWORD speed, ProgressRecord* progress);
char* NeroGetLastError();
void NeroClearErrors();
void NeroFreeMem(void* block);
char* NeroGetLocalizedWaitCDTexts(int32_t reason);
}  // namespace engine
