#include "engine/engine_library.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "engine/drive_list.h"
#include "settings/registry_key.h"

namespace {

const char kSharedKey[] = "SOFTWARE\\ahead\\Shared";
const char kSharedValue[] = "NeroAPI";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Nero.exe";
const char kAppPathsValue[] = "Path";
const char kLibraryFileName[] = "\\NeroAPI.dll";

constexpr DWORD kDirectoryReadLimit = 255;
constexpr size_t kUsableDirectoryBelow = 243;

// The version the plug-in was written for: 5.5.9.14.
constexpr WORD kExpectedVersion[4] = {5, 5, 9, 14};

// One byte beyond the read limit, so a value that fills the limit still ends in a terminator.
char engineDirectoryBuffer[kDirectoryReadLimit + 1];

// Never freed at unload: at process exit the loader frees the engine itself, and freeing a
// library from inside our own unload would run under the loader lock. A plain value set up with
// the module: the runtime's guard of a function-local static may end the process when it fails.
HMODULE engineModule = nullptr;

void ReplaceEngineModule(HMODULE module) { UniqueModule released(std::exchange(engineModule, module)); }

template <typename Fn>
Fn EntryPoint(const char* name) {
    HMODULE module = engineModule;
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
}

// Looks the entry point up at every call: the engine may be swapped between loads.
template <typename Result, typename... Args>
Result CallEngine(const char* name, Result fallback, Args... args) {
    typedef Result(__cdecl * Fn)(Args...);
    Fn entry = EntryPoint<Fn>(name);
    return entry != nullptr ? entry(args...) : fallback;
}

template <typename... Args>
void CallEngineNoResult(const char* name, Args... args) {
    typedef void(__cdecl * Fn)(Args...);
    Fn entry = EntryPoint<Fn>(name);
    if (entry != nullptr) entry(args...);
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A drive letter, ":" and "\", or "\\server\share". A relative or drive-relative folder would be
// taken against whatever the player's current folder is; "\\.\" and "\\?\" name devices, not
// servers.
bool IsAbsoluteDirectory(const char* directory) {
    if (IsAsciiLetter(directory[0]) && directory[1] == ':' && directory[2] == '\\') return true;
    if (directory[0] != '\\' || directory[1] != '\\') return false;
    const char* server = directory + 2;
    const char* serverEnd = std::strchr(server, '\\');
    if (serverEnd == nullptr || serverEnd == server) return false;
    if (serverEnd - server == 1 && (server[0] == '.' || server[0] == '?')) return false;
    const char share = serverEnd[1];
    return share != '\0' && share != '\\';
}

// Reads a registry directory into the engine directory: a text, or an expandable text with its
// variables expanded. True when it names an absolute folder; anything else (missing, empty,
// relative, not a text, too long for the read or its expansion) leaves it empty, and counts as
// no directory at all.
bool ReadDirectory(const char* keyName, const char* valueName) {
    engineDirectoryBuffer[0] = '\0';
    RegistryKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ) != ERROR_SUCCESS) return false;
    char value[kDirectoryReadLimit + 1];
    DWORD type = REG_NONE;
    DWORD size = kDirectoryReadLimit;
    if (key.QueryValue(valueName, type, value, size) != ERROR_SUCCESS) return false;
    value[size < kDirectoryReadLimit ? size : kDirectoryReadLimit] = '\0';
    if (type == REG_SZ) {
        std::memcpy(engineDirectoryBuffer, value, sizeof value);
    } else if (type == REG_EXPAND_SZ) {
        const DWORD expanded = ExpandEnvironmentStringsA(value, engineDirectoryBuffer, sizeof engineDirectoryBuffer);
        if (expanded == 0 || expanded > sizeof engineDirectoryBuffer) engineDirectoryBuffer[0] = '\0';
        engineDirectoryBuffer[kDirectoryReadLimit] = '\0';
    }
    if (!IsAbsoluteDirectory(engineDirectoryBuffer)) engineDirectoryBuffer[0] = '\0';
    return engineDirectoryBuffer[0] != '\0';
}

// Only a help for the next load: without the right to write (a user who is not an administrator)
// this load goes on all the same.
void WriteSharedDirectory(const std::string& directory) {
    RegistryKey key;
    if (key.Create(HKEY_LOCAL_MACHINE, kSharedKey, KEY_SET_VALUE) != ERROR_SUCCESS) return;
    IgnoreRegistryFailure(
        key.SetValue(kSharedValue, REG_SZ, directory.c_str(), static_cast<DWORD>(directory.size() + 1)));
}

bool IsShortEnough() { return std::strlen(engineDirectoryBuffer) < kUsableDirectoryBelow; }

// The first source: a trailing backslash is cut from the path and from the stored value, but the
// engine directory keeps the value as read. A drive's root keeps its backslash in the registry:
// "C:" alone would name the drive's current folder, and the next load would refuse it.
std::string LibraryPathFromSharedKey() {
    if (!ReadDirectory(kSharedKey, kSharedValue) || !IsShortEnough()) return std::string();
    std::string directory = engineDirectoryBuffer;
    if (directory.back() == '\\') {
        directory.pop_back();
        if (IsAbsoluteDirectory(directory.c_str())) WriteSharedDirectory(directory);
    }
    return directory + kLibraryFileName;
}

// The second source, copied into the first so that later loads find it there.
std::string LibraryPathFromAppPaths() {
    if (!ReadDirectory(kAppPathsKey, kAppPathsValue)) return std::string();
    std::string path;
    if (IsShortEnough()) path = std::string(engineDirectoryBuffer) + kLibraryFileName;
    WriteSharedDirectory(engineDirectoryBuffer);
    return path;
}

bool ReadEnvironment(const char* name, std::string& value) {
    std::vector<char> buffer(256);
    for (;;) {
        DWORD length = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        if (length < buffer.size()) {
            value.assign(buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
}

// The engine may load more of its DLLs later, by name, through the search path. A missing "PATH"
// becomes the directory alone.
void PutDirectoryOnSearchPath(const char* directory) {
    std::string oldPath;
    const bool hadPath = ReadEnvironment("PATH", oldPath);
    if (oldPath.find(directory) != std::string::npos) return;  // also true for an empty directory
    const size_t directoryLength = std::strlen(directory);
    UniqueHeapBlock block(std::malloc(directoryLength + oldPath.size() + 2));
    if (!block) return;
    char* newPath = static_cast<char*>(block.get());
    std::memcpy(newPath, directory, directoryLength);
    size_t end = directoryLength;
    if (hadPath) {
        newPath[end++] = ';';
        std::memcpy(newPath + end, oldPath.data(), oldPath.size());
        end += oldPath.size();
    }
    newPath[end] = '\0';
    SetEnvironmentVariableA("PATH", newPath);
}

bool IsNeroDoneSkipped(DWORD version) {
    return version >= kEngineVersionWithoutDoneFirst && version <= kEngineVersionWithoutDoneLast;
}

WORD CapAtNine(WORD part) { return part > 9 ? 9 : part; }

}  // namespace

bool loadEngine() {
    releaseEngine();
    std::string libraryPath = LibraryPathFromSharedKey();
    if (engineDirectoryBuffer[0] == '\0') {
        std::string second = LibraryPathFromAppPaths();
        if (!second.empty()) libraryPath = second;
    }
    PutDirectoryOnSearchPath(engineDirectoryBuffer);
    if (libraryPath.empty()) return false;
    // The engine's own DLLs are then searched in its folder first, not in the player's folder
    // or the current one.
    ReplaceEngineModule(LoadLibraryExA(libraryPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (engineModule == nullptr) return false;
    if (setExpectedEngineVersion(kExpectedVersion[0], kExpectedVersion[1], kExpectedVersion[2],
                                 kExpectedVersion[3]) != 0)
        return true;
    releaseEngine();
    return false;
}

void releaseEngine() { ReplaceEngineModule(nullptr); }

bool engineLoaded() { return engineModule != nullptr; }

const char* engineDirectory() { return engineDirectoryBuffer; }

DWORD engineApiVersion() { return CallEngine<DWORD>("NeroGetAPIVersion", 0); }

BOOL engineApiVersionParts(WORD* major, WORD* minor, WORD* release, WORD* build) {
    typedef BOOL(__cdecl * VersionPartsFn)(WORD*, WORD*, WORD*, WORD*, void*);
    VersionPartsFn entry = EntryPoint<VersionPartsFn>("NeroGetAPIVersionEx");
    if (entry != nullptr) return entry(major, minor, release, build, nullptr);
    const DWORD version = engineApiVersion();
    if (version == 0) return FALSE;
    *major = static_cast<WORD>(version / 1000 % 10);
    *minor = static_cast<WORD>(version / 100 % 10);
    *release = static_cast<WORD>(version / 10 % 10);
    *build = static_cast<WORD>(version % 10);
    return TRUE;
}

BOOL setExpectedEngineVersion(WORD major, WORD minor, WORD release, WORD build) {
    typedef BOOL(__cdecl * ExpectPartsFn)(WORD, WORD, WORD, WORD, void*);
    ExpectPartsFn entry = EntryPoint<ExpectPartsFn>("NeroSetExpectedAPIVersionEx");
    if (entry != nullptr) return entry(major, minor, release, build, nullptr);
    const DWORD joined = CapAtNine(major) * 1000u + CapAtNine(minor) * 100u + CapAtNine(release) * 10u +
                         CapAtNine(build);
    return CallEngine<BOOL>("NeroSetExpectedAPIVersion", FALSE, joined);
}

namespace engine {

int32_t NeroInit(EngineSettings* settings, const char* reserved) {
    return CallEngine<int32_t>("NeroInit", 1, settings, reserved);
}

// Some engine versions crash when told they are done; they are left as they are.
void NeroDone() {
    if (IsNeroDoneSkipped(engineApiVersion())) return;
    CallEngineNoResult("NeroDone");
}

DriveList* NeroGetAvailableDrivesEx(int32_t mediumType, void* reserved) {
    if (engineApiVersion() != kEngineVersionDvdrWorkaround)
        return CallEngine<DriveList*>("NeroGetAvailableDrivesEx", nullptr, mediumType, reserved);
    DvdrMovedAside aside(engineDirectoryBuffer);
    return CallEngine<DriveList*>("NeroGetAvailableDrivesEx", nullptr, mediumType, reserved);
}

void* NeroOpenDevice(const DeviceRecord* device) {
    typedef void*(__cdecl * OpenDeviceFn)(const void*);
    OpenDeviceFn entry = EntryPoint<OpenDeviceFn>("NeroOpenDevice");
    if (entry == nullptr || device == nullptr) return nullptr;
    if (engineApiVersion() >= kEngineVersionOlderDeviceRecordBelow) return entry(device);
    UniqueHeapBlock block(std::calloc(1, sizeof(OldDeviceRecord)));
    if (!block) return nullptr;
    OldDeviceRecord* old = static_cast<OldDeviceRecord*>(block.get());
    FillOldDeviceRecord(*device, *old);
    return entry(old);
}

void NeroCloseDevice(void* device) { CallEngineNoResult("NeroCloseDevice", device); }

void* NeroGetCDInfo(void* device, DWORD flags) { return CallEngine<void*>("NeroGetCDInfo", nullptr, device, flags); }

void* NeroImportIsoTrackEx(void* device, DWORD track, void** stampSlot, DWORD flags) {
    return CallEngine<void*>("NeroImportIsoTrackEx", nullptr, device, track, stampSlot, flags);
}

void NeroFreeCDStamp(void* stamp) { CallEngineNoResult("NeroFreeCDStamp", stamp); }

void* NeroCreateIsoItemOfSize(size_t size) { return CallEngine<void*>("NeroCreateIsoItemOfSize", nullptr, size); }

void NeroFreeIsoItem(void* item) { CallEngineNoResult("NeroFreeIsoItem", item); }

void* NeroCreateIsoTrackEx(void* root, const char* name, DWORD flags) {
    return CallEngine<void*>("NeroCreateIsoTrackEx", nullptr, root, name, flags);
}

void NeroFreeIsoTrack(void* track) { CallEngineNoResult("NeroFreeIsoTrack", track); }

int32_t NeroBurn(void* device, int32_t format, void* record, DWORD flags, DWORD speed, ProgressRecord* progress) {
    return CallEngine<int32_t>("NeroBurn", 1, device, format, record, flags, speed, progress);
}

char* NeroGetLastError() { return CallEngine<char*>("NeroGetLastError", nullptr); }

void NeroClearErrors() { CallEngineNoResult("NeroClearErrors"); }

void NeroFreeMem(void* block) { CallEngineNoResult("NeroFreeMem", block); }

char* NeroGetLocalizedWaitCDTexts(int32_t reason) {
    return CallEngine<char*>("NeroGetLocalizedWaitCDTexts", nullptr, reason);
}

}  // namespace engine
