#pragma once
// What the programs that print figures share besides the tests' support code: a clock, medians,
// and a large tree of empty files with a bare walk over it, for the data track and the burn
// dialog's track lists.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct IsoItem;

LARGE_INTEGER Now();
double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end);
// The median of the samples (the mean of the middle two for an even count); 0 for none.
double Median(std::vector<double> samples);

// `folders` folders in two levels below the root, each holding `filesPerFolder` empty files
// "track<n>.mp3"; their paths in creation order go to `files` when given.
bool MakeTree(const std::string& root, int folders, int filesPerFolder, std::vector<std::string>* files = nullptr);
void RemoveTree(const std::string& folder);
// Every folder enumerated once, nothing else done: the baseline of anything that walks a tree.
long BareWalk(const std::string& folder);
// Items of an ISO item chain, folders' contents included.
long CountItems(const IsoItem* chain);

// The data track of the whole tree (folders included) built `runs` times, each against a bare
// walk of the same tree; the stand-in engine must be loaded. Times in milliseconds.
struct DataTrackTimes {
    long walked = 0;
    long items = 0;
    int32_t code = 0;  // of the last build; runs stop at the first failure
    std::vector<double> walkMs;
    std::vector<double> buildMs;
};
DataTrackTimes TimeDataTrack(const std::string& root, int runs);

// The stand-in engine from the build (build/bin/engine), quiet, found through the registry as the
// plug-in finds it and loaded; its scenario is written into `scratch`.
bool LoadQuietStandinEngine(const std::string& scratch);
