#include "burn/data_compilation.h"

#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/text.h"
#include "burn/builder_support.h"
#include "burn/burn.h"
#include "burn/burn_job.h"
#include "engine/engine_library.h"
#include "engine/engine_session.h"

namespace {

// 1 January 1970 in FILETIME ticks of 100 ns since 1601.
constexpr unsigned long long kUnixEpochTicks = 116444736000000000ULL;
constexpr unsigned long long kTicksPerSecond = 10000000ULL;

constexpr IsoEntryTime kUnconvertibleEntryTime = {0, 0, 0, 1, 0, 70, 4, 0, 0};

IsoItem* LastItem(IsoItem* chain) {
    while (chain->nextItem != nullptr) chain = chain->nextItem;
    return chain;
}

// Owns a chain of items until it is handed on; releases it on every early return.
class OwnedChain {
public:
    OwnedChain() = default;
    OwnedChain(const OwnedChain&) = delete;
    OwnedChain& operator=(const OwnedChain&) = delete;
    ~OwnedChain() { FreeIsoItems(head_); }

    IsoItem* head() const { return head_; }
    void PushFront(IsoItem* item) {
        item->nextItem = head_;
        head_ = item;
    }
    // Takes the first item off the chain; the caller owns it.
    IsoItem* PopFront() {
        IsoItem* item = head_;
        head_ = item->nextItem;
        item->nextItem = nullptr;
        return item;
    }
    // Puts a whole chain before the present items.
    void PrependChain(IsoItem* chain) {
        if (chain == nullptr) return;
        if (head_ != nullptr) LastItem(chain)->nextItem = head_;
        head_ = chain;
    }
    IsoItem* Release() { return std::exchange(head_, nullptr); }

private:
    IsoItem* head_ = nullptr;
};

bool IsDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The engine's name field holds 255 characters, as many as a name on Windows can have.
bool FitsItemField(size_t length) { return length <= kRecordTextChars; }

// `length` fits the field (checked by the caller); the NUL is copied with the text.
void CopyItemText(char (&field)[256], const char* text, size_t length) {
    std::memcpy(field, text, length + 1);
}

IsoItem* CreateIsoItem() {
    return static_cast<IsoItem*>(engine::NeroCreateIsoItemOfSize(kIsoItemSize));
}

// The engine's options for importing a disc's earlier track and for the data track; their
// meaning is the engine's. Every burn uses the same: no import bits, ISO-track bit 0x1 alone.
constexpr DWORD kImportFlags = 0;
constexpr DWORD kIsoTrackFlags = 0x1;

// `name` with " (n)" before its extension (a folder's name has none), cut to whole characters
// that fit the field.
std::string Namesake(const char* name, bool isFolder, int n) {
    const char* dot = isFolder ? nullptr : LastCharacter(name, '.');
    if (dot == name) dot = nullptr;  // ".name" is all name
    const std::string extension = dot != nullptr ? dot : "";
    const std::string_view stem(name, dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name));
    const std::string suffix = " (" + std::to_string(n) + ")";
    const size_t room = kRecordTextChars > suffix.size() + extension.size()
                            ? kRecordTextChars - suffix.size() - extension.size()
                            : 0;
    return CutToWholeCharacters(stem, room) + suffix + extension;
}

// Every name of a folder on the disc unique, compared as Windows compares file names: files
// from different folders of the source may meet in one folder of the disc. The first to be
// added keeps its name, a later namesake gets " (2)", " (3)" and so on; items imported from the
// disc come first and keep theirs. A chain lists items in the reverse of the order they were
// added.
void GiveUniqueNames(IsoItem* chain) {
    std::vector<IsoItem*> added;
    std::unordered_set<std::wstring> everyName;
    for (IsoItem* item = chain; item != nullptr; item = item->nextItem) {
        added.push_back(item);
        everyName.insert(FileNameKey(item->name));
        if (item->isFolder && !item->isReference) GiveUniqueNames(item->firstItem);
    }
    std::unordered_set<std::wstring> kept;
    for (auto it = added.rbegin(); it != added.rend(); ++it) {
        IsoItem* item = *it;
        if (kept.insert(FileNameKey(item->name)).second) continue;
        for (int n = 2;; ++n) {
            const std::string candidate = Namesake(item->name, item->isFolder != 0, n);
            const std::wstring key = FileNameKey(candidate);
            if (everyName.count(key) != 0 || !kept.insert(key).second) continue;
            CopyItemText(item->name, candidate.c_str(), candidate.size());
            break;
        }
    }
}

}  // namespace

IsoEntryTime EntryTimeFromCreationTime(const FILETIME& creationTime) {
    unsigned long long ticks =
        (static_cast<unsigned long long>(creationTime.dwHighDateTime) << 32) | creationTime.dwLowDateTime;
    if (ticks < kUnixEpochTicks) return kUnconvertibleEntryTime;
    unsigned long long seconds = (ticks - kUnixEpochTicks) / kTicksPerSecond;
    std::time_t time = static_cast<std::time_t>(seconds);
    if (time < 0 || static_cast<unsigned long long>(time) != seconds) return kUnconvertibleEntryTime;
    const std::tm* local = std::localtime(&time);
    if (local == nullptr) return kUnconvertibleEntryTime;
    return IsoEntryTime{local->tm_sec,  local->tm_min,  local->tm_hour,
                        local->tm_mday, local->tm_mon,  local->tm_year,
                        local->tm_wday, local->tm_yday, local->tm_isdst};
}

void FreeIsoItems(IsoItem* chain) {
    while (chain != nullptr) {
        IsoItem* next = chain->nextItem;
        if (chain->isFolder) FreeIsoItems(chain->firstItem);
        if (chain->isReference) {
            engine::NeroFreeMem(chain);
        } else {
            engine::NeroFreeIsoItem(chain);
        }
        chain = next;
    }
}

int32_t Burner::AddPathItems(const BurnJob& job, const char* path, IsoItem** chain, int depth) {
    *chain = nullptr;
    DirectoryScan scan(path);
    if (!scan.HasEntry()) return depth > 0 ? EXITCODE_OK : EXITCODE_FILE_NOT_FOUND;

    char fullPath[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, fullPath, nullptr);
    if (length == 0 || length >= MAX_PATH) return EXITCODE_INTERNAL;
    const size_t lastSeparator = FindLastCharacter(std::string_view(fullPath, length), '\\');
    if (lastSeparator == std::string_view::npos) return EXITCODE_INTERNAL;

    OwnedChain items;
    // Every entry's source is this folder's path, a backslash and its name.
    std::string source(fullPath, lastSeparator + 1);
    const size_t folderPrefixLength = source.size();
    for (; scan.HasEntry(); scan.Advance()) {
        const WIN32_FIND_DATAA& entry = scan.CurrentEntry();
        const bool isFolder = scan.CurrentIsFolder();
        if (isFolder && (!job.includeFolders || IsDotName(entry.cFileName))) continue;

        const size_t nameLength = std::strlen(entry.cFileName);
        source.resize(folderPrefixLength);
        source.append(entry.cFileName, nameLength);
        if (!FitsItemField(nameLength)) return EXITCODE_FILE_OPEN;
        // Only files carry their source path; a folder's is used for its search alone.
        char sourceField[kRecordTextChars + 1];
        if (!isFolder && !CopyPathField(sourceField, source.c_str())) {
            NoteFailedFile(source);
            return EXITCODE_PATH_TOO_LONG;
        }

        IsoItem* item = CreateIsoItem();
        if (item == nullptr) return EXITCODE_OUT_OF_MEMORY;
        items.PushFront(item);
        item->isFolder = isFolder ? 1 : 0;
        item->entryTime = EntryTimeFromCreationTime(entry.ftCreationTime);
        CopyItemText(item->name, entry.cFileName, nameLength);
        if (!isFolder) {
            CopyItemText(item->sourcePath, sourceField, std::strlen(sourceField));
            continue;
        }
        item->firstItem = nullptr;
        const std::string childPattern = source + "\\" + scan.pattern();
        int32_t code = AddPathItems(job, childPattern.c_str(), &item->firstItem, depth + 1);
        if (code != EXITCODE_OK) return code;
        if (item->firstItem == nullptr) FreeIsoItems(items.PopFront());
    }
    *chain = items.Release();
    return EXITCODE_OK;
}

int32_t Burner::BuildIsoTrack(const BurnJob& job, void** track, IsoItem** root) noexcept {
    *track = nullptr;
    *root = nullptr;
    // The scan's texts and lists grow as it goes; the items built so far have an owner, so
    // memory running out there ends the track like any other failure.
    return AtBuilderBoundary([&]() -> int32_t {
        // The items of a track already on the disc, which the new items go before.
        OwnedChain items;
        if (job.importTrack != -1 || session_.DiscHasTracks()) {
            void* imported = nullptr;
            int32_t code = session_.ImportDiscTrack(job.importTrack, kImportFlags, &imported);
            if (code != EXITCODE_OK) return code;
            items.PrependChain(static_cast<IsoItem*>(imported));
        }

        // Later paths go before earlier ones, and imported items stay last.
        for (size_t i = 0; i < job.isoFileCount(); ++i) {
            IsoItem* pathItems = nullptr;
            int32_t code = AddPathItems(job, job.isoFile(i), &pathItems, 0);
            if (code != EXITCODE_OK) return code;
            items.PrependChain(pathItems);
        }
        if (items.head() == nullptr) return EXITCODE_OK;

        GiveUniqueNames(items.head());
        *track = engine::NeroCreateIsoTrackEx(items.head(), job.volumeName, kIsoTrackFlags);
        if (*track == nullptr) return EXITCODE_ISO_TRACK_FAILED;
        *root = items.Release();
        return EXITCODE_OK;
    });
}
