#pragma once
// Pieces of the data track shared by the builders and their tests: the directory scan that
// delivers what one path names, the release of an item chain, and the items' entry time.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/handles.h"
#include "burn/compilation_records.h"

// Enumerates what one path or wildcard pattern names: every file first, then every folder,
// each in the order the system finds them.
class DirectoryScan {
public:
    explicit DirectoryScan(const std::string& path);
    DirectoryScan(const DirectoryScan&) = delete;
    DirectoryScan& operator=(const DirectoryScan&) = delete;

    bool HasEntry() const { return files_.hasEntry || HasFolderEntry(); }
    // Valid while HasEntry().
    const WIN32_FIND_DATAA& CurrentEntry() const;
    // True when the current entry comes from the folder stream.
    bool CurrentIsFolder() const { return !files_.hasEntry; }
    void Advance();
    // What sub-folders are searched with: the wildcard part of the path, or "*".
    const std::string& pattern() const { return pattern_; }

private:
    struct FindStream {
        UniqueFindHandle handle;
        WIN32_FIND_DATAA entry;
        bool hasEntry = false;
    };
    void StartFiles(const std::string& search);
    void StartFolders(const std::string& search);
    void AdvanceFiles();
    void AdvanceFolders();
    bool HasFolderEntry() const;

    std::string pattern_;
    FindStream files_;
    FindStream folders_;
    // When both streams would search the same text, the folder stream is served from the
    // folders the file stream passed over, so the folder is enumerated only once.
    bool sharedSearch_ = false;
    std::vector<WIN32_FIND_DATAA> passedFolders_;
    size_t nextPassedFolder_ = 0;
};

// Releases every item of the chain and, for folders, their contents.
void FreeIsoItems(IsoItem* chain);

// A creation time as local calendar time. Times the runtime cannot convert (before 1970, or
// out of its range) give 1 January 1970, 00:00:00.
IsoEntryTime EntryTimeFromCreationTime(const FILETIME& creationTime);
