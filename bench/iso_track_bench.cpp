// Times the data track of a large tree against a bare directory walk of the same tree.
// Run under Wine from build/bin: iso_track_bench.exe [folders] [files per folder]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "engine/engine_library.h"
#include "support/test_paths.h"

namespace {

constexpr int kDefaultFolders = 2000;
constexpr int kDefaultFilesPerFolder = 10;
constexpr int kRuns = 3;

double Best(const std::vector<double>& samples) { return *std::min_element(samples.begin(), samples.end()); }

}  // namespace

int main(int argc, char** argv) {
    const int folders = argc > 1 ? std::atoi(argv[1]) : kDefaultFolders;
    const int filesPerFolder = argc > 2 ? std::atoi(argv[2]) : kDefaultFilesPerFolder;
    const std::string scratch = MakeTempDir("iso-bench");
    const std::string root = scratch + "\\tree";
    if (scratch.empty() || !LoadQuietStandinEngine(scratch)) {
        std::fprintf(stderr, "cannot set up the stand-in engine\n");
        return 1;
    }
    std::printf("building %d folders with %d files each in %s\n", folders, filesPerFolder, root.c_str());
    if (!MakeTree(root, folders, filesPerFolder)) {
        std::fprintf(stderr, "cannot build the tree\n");
        RemoveTree(scratch);
        return 1;
    }

    const DataTrackTimes times = TimeDataTrack(root, kRuns);
    releaseEngine();
    RemoveTree(scratch);
    if (times.code != 0) {
        std::fprintf(stderr, "BuildIsoTrack failed with %ld\n", static_cast<long>(times.code));
        return 1;
    }

    const double walk = Best(times.walkMs) / 1000;
    const double build = Best(times.buildMs) / 1000;
    std::printf("entries walked:    %ld\n", times.walked);
    std::printf("items built:       %ld (root folder included)\n", times.items);
    std::printf("bare walk:         %.3f s (best of %d)\n", walk, kRuns);
    std::printf("BuildIsoTrack:     %.3f s (best of %d)\n", build, kRuns);
    std::printf("ratio:             %.2f\n", build / walk);
    std::printf("items per second:  %.0f\n", static_cast<double>(times.items) / build);
    return 0;
}
