#include "burn/data_compilation.h"

#include "base/text.h"

namespace {

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool HasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

}  // namespace

DirectoryScan::DirectoryScan(const std::string& path) {
    size_t cut = FindLastCharacter(path, '\\');
    std::string folderPart = cut == std::string::npos ? std::string(".") : path.substr(0, cut);
    std::string namePart = cut == std::string::npos ? path : path.substr(cut + 1);

    std::string folderSearch;
    if (HasWildcard(namePart)) {
        pattern_ = namePart;
        folderSearch = folderPart + "\\*";
    } else {
        pattern_ = "*";
        folderSearch = path;
    }
    sharedSearch_ = folderSearch == path;
    StartFiles(path);
    if (!sharedSearch_) StartFolders(folderSearch);
}

const WIN32_FIND_DATAA& DirectoryScan::CurrentEntry() const {
    if (files_.hasEntry) return files_.entry;
    return sharedSearch_ ? passedFolders_[nextPassedFolder_] : folders_.entry;
}

void DirectoryScan::Advance() {
    if (files_.hasEntry) {
        AdvanceFiles();
    } else if (sharedSearch_) {
        if (nextPassedFolder_ < passedFolders_.size()) ++nextPassedFolder_;
    } else if (folders_.hasEntry) {
        AdvanceFolders();
    }
}

bool DirectoryScan::HasFolderEntry() const {
    return sharedSearch_ ? nextPassedFolder_ < passedFolders_.size() : folders_.hasEntry;
}

void DirectoryScan::StartFiles(const std::string& search) {
    files_.handle.reset(FindFirstFileA(search.c_str(), &files_.entry));
    files_.hasEntry = files_.handle.valid();
    if (files_.hasEntry && IsFolder(files_.entry)) {
        if (sharedSearch_) passedFolders_.push_back(files_.entry);
        AdvanceFiles();
    }
}

void DirectoryScan::AdvanceFiles() {
    while (FindNextFileA(files_.handle.get(), &files_.entry)) {
        if (!IsFolder(files_.entry)) return;
        if (sharedSearch_) passedFolders_.push_back(files_.entry);
    }
    files_.hasEntry = false;
}

void DirectoryScan::StartFolders(const std::string& search) {
    folders_.handle.reset(FindFirstFileA(search.c_str(), &folders_.entry));
    folders_.hasEntry = folders_.handle.valid();
    if (folders_.hasEntry && !IsFolder(folders_.entry)) AdvanceFolders();
}

void DirectoryScan::AdvanceFolders() {
    while (FindNextFileA(folders_.handle.get(), &folders_.entry)) {
        if (IsFolder(folders_.entry)) return;
    }
    folders_.hasEntry = false;
}
