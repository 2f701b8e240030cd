#include "bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/handles.h"
#include "burn/builder_support.h"
#include "burn/burn.h"
#include "burn/burn_job.h"
#include "burn/compilation_records.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"
#include "support/test_paths.h"

namespace {

constexpr int kTopFolders = 20;

bool MakeEmptyFile(const std::string& path) {
    UniqueCFile file(std::fopen(path.c_str(), "wb"));
    return file.valid();
}

}  // namespace

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    return samples.size() % 2 != 0 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

bool MakeTree(const std::string& root, int folders, int filesPerFolder, std::vector<std::string>* files) {
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
            const std::string file = folder + "\\track" + std::to_string(f) + ".mp3";
            if (!MakeEmptyFile(file)) return false;
            if (files != nullptr) files->push_back(file);
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

DataTrackTimes TimeDataTrack(const std::string& root, int runs) {
    DataTrackTimes times;
    BurnJob job;
    job.Reset();
    job.SetVolumeName("BENCH");
    job.AddFile(root.c_str());
    job.includeFolders = true;
    EngineSession session(job);
    Burner burner(session);
    times.walked = BareWalk(root);  // warms the file system's caches for both
    for (int run = 0; run < runs && times.code == 0; ++run) {
        LARGE_INTEGER start = Now();
        times.walked = BareWalk(root);
        times.walkMs.push_back(Milliseconds(start, Now()));

        void* track = nullptr;
        IsoItem* chain = nullptr;
        start = Now();
        times.code = burner.BuildIsoTrack(job, &track, &chain);
        times.buildMs.push_back(Milliseconds(start, Now()));
        times.items = CountItems(chain);
        ReleaseDataTrack(track, chain);
    }
    return times;
}

bool LoadQuietStandinEngine(const std::string& scratch) {
    const std::string engineDir = BinDir() + "\\engine";
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ahead\\Shared", 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key.get(), "NeroAPI", 0, REG_SZ, reinterpret_cast<const BYTE*>(engineDir.c_str()),
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
