// Times the data track of a large tree against a bare directory walk of the same tree.
// Run under Wine from build/bin: iso_track_bench.exe [folders] [files per folder]

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/handles.h"
#include "burn/builder_support.h"
#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"

namespace {

constexpr int kDefaultFolders = 2000;
constexpr int kDefaultFilesPerFolder = 10;
constexpr int kTopFolders = 20;
constexpr int kRuns = 3;

std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string TempRoot() {
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%siso-bench-%lu", base, GetCurrentProcessId());
    return name;
}

bool MakeEmptyFile(const std::string& path) {
    UniqueCFile file(std::fopen(path.c_str(), "wb"));
    return file.valid();
}

// `folders` folders in two levels below the root (kTopFolders at the top), each holding
// `filesPerFolder` empty files.
bool MakeTree(const std::string& root, int folders, int filesPerFolder) {
    if (!CreateDirectoryA(root.c_str(), nullptr)) return false;
    std::vector<std::string> made;
    const int top = folders < kTopFolders ? folders : kTopFolders;
    for (int i = 0; i < top; ++i) made.push_back(root + "\\top" + std::to_string(i));
    for (int i = top; i < folders; ++i) {
        made.push_back(made[static_cast<size_t>(i % top)] + "\\sub" + std::to_string(i));
    }
    for (const std::string& folder : made) {
        if (!CreateDirectoryA(folder.c_str(), nullptr)) return false;
        for (int f = 0; f < filesPerFolder; ++f) {
            if (!MakeEmptyFile(folder + "\\track" + std::to_string(f) + ".mp3")) return false;
        }
    }
    return true;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (find) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find.get(), &entry));
    }
    find.reset();
    RemoveDirectoryA(folder.c_str());
}

// The baseline: every folder enumerated once, nothing else done.
long BareWalk(const std::string& folder) {
    long entries = 0;
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!find) return 0;
    std::vector<std::string> subFolders;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0) {
                subFolders.push_back(folder + "\\" + entry.cFileName);
                ++entries;
            }
        } else {
            ++entries;
        }
    } while (FindNextFileA(find.get(), &entry));
    find.reset();
    for (const std::string& sub : subFolders) entries += BareWalk(sub);
    return entries;
}

long CountItems(const IsoItem* chain) {
    long count = 0;
    for (; chain != nullptr; chain = chain->nextItem) {
        ++count;
        if (chain->isFolder) count += CountItems(chain->firstItem);
    }
    return count;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// The stand-in engine from the build, quiet, found through the registry as the plug-in finds it.
bool UseQuietStandinEngine(const std::string& scratch) {
    const std::string engineDir = ExeDir() + "\\engine";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ahead\\Shared", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    UniqueRegKey owned(key);
    if (RegSetValueExA(key, "NeroAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(engineDir.c_str()),
                       static_cast<DWORD>(engineDir.size() + 1)) != ERROR_SUCCESS) {
        return false;
    }
    const std::string scenario = scratch + "\\quiet.ini";
    {
        UniqueCFile file(std::fopen(scenario.c_str(), "wb"));
        if (!file) return false;
        std::fputs("[engine]\r\nquiet = 1\r\n", file.get());
    }
    SetEnvironmentVariableA("TOLVANE_ENGINE_SCENARIO", scenario.c_str());
    return loadEngine();
}

}  // namespace

int main(int argc, char** argv) {
    const int folders = argc > 1 ? std::atoi(argv[1]) : kDefaultFolders;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : kDefaultFilesPerFolder;
    const std::string scratch = TempRoot();
    const std::string root = scratch + "\\tree";
    if (!CreateDirectoryA(scratch.c_str(), nullptr) || !UseQuietStandinEngine(scratch)) {
        std::fprintf(stderr, "cannot set up the stand-in engine\n");
        return 1;
    }
    std::printf("building %d folders with %d files each in %s\n", folders, filesPerFolder, root.c_str());
    if (!MakeTree(root, folders, filesPerFolder)) {
        std::fprintf(stderr, "cannot build the tree\n");
        RemoveTree(scratch);
        return 1;
    }

    BurnJob job;
    job.Reset();
    job.SetVolumeName("BENCH");
    job.AddFile(root.c_str());
    job.includeFolders = true;
    EngineSession session(job);

    long walked = BareWalk(root);  // warms the file system's caches for both
    double bestWalk = 1e9;
    double bestBuild = 1e9;
    long items = 0;
    int32_t code = 0;
    for (int run = 0; run < kRuns && code == 0; ++run) {
        LARGE_INTEGER start = Now();
        walked = BareWalk(root);
        double walk = Seconds(start, Now());

        void* track = nullptr;
        IsoItem* chain = nullptr;
        start = Now();
        code = session.BuildIsoTrack(job, &track, &chain);
        double build = Seconds(start, Now());
        items = CountItems(chain);
        ReleaseDataTrack(track, chain);

        if (walk < bestWalk) bestWalk = walk;
        if (build < bestBuild) bestBuild = build;
    }
    releaseEngine();
    RemoveTree(scratch);
    if (code != 0) {
        std::fprintf(stderr, "BuildIsoTrack failed with %ld\n", static_cast<long>(code));
        return 1;
    }

    std::printf("entries walked:    %ld\n", walked);
    std::printf("items built:       %ld (root folder included)\n", items);
    std::printf("bare walk:         %.3f s (best of %d)\n", bestWalk, kRuns);
    std::printf("BuildIsoTrack:     %.3f s (best of %d)\n", bestBuild, kRuns);
    std::printf("ratio:             %.2f\n", bestBuild / bestWalk);
    std::printf("items per second:  %.0f\n", static_cast<double>(items) / bestBuild);
    return 0;
}
