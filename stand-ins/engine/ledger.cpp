#include "ledger.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "log_writer.h"

namespace standin {

const char* KindName(BlockKind kind) {
    switch (kind) {
    case BlockKind::DriveList: return "drivelist";
    case BlockKind::CdInfo: return "cdinfo";
    case BlockKind::ErrorText: return "errortext";
    case BlockKind::WaitText: return "waittext";
    case BlockKind::ImportedItem: return "importeditem";
    case BlockKind::IsoItem: return "isoitem";
    case BlockKind::IsoTrack: return "isotrack";
    case BlockKind::Stamp: return "stamp";
    case BlockKind::Device: return "device";
    }
    return "?";
}

const char* ReleaseFunctionName(ReleaseFunction function) {
    switch (function) {
    case ReleaseFunction::FreeMem: return "NeroFreeMem";
    case ReleaseFunction::FreeIsoItem: return "NeroFreeIsoItem";
    case ReleaseFunction::FreeIsoTrack: return "NeroFreeIsoTrack";
    case ReleaseFunction::FreeCDStamp: return "NeroFreeCDStamp";
    case ReleaseFunction::CloseDevice: return "NeroCloseDevice";
    }
    return "?";
}

ReleaseFunction RightRelease(BlockKind kind) {
    switch (kind) {
    case BlockKind::IsoItem: return ReleaseFunction::FreeIsoItem;
    case BlockKind::IsoTrack: return ReleaseFunction::FreeIsoTrack;
    case BlockKind::Stamp: return ReleaseFunction::FreeCDStamp;
    case BlockKind::Device: return ReleaseFunction::CloseDevice;
    default: return ReleaseFunction::FreeMem;
    }
}

void* Arena::Allocate(size_t size) {
    if (base_ == nullptr) {
        base_ = static_cast<char*>(VirtualAlloc(nullptr, kReserved, MEM_RESERVE, PAGE_NOACCESS));
        if (base_ == nullptr) return nullptr;
    }
    const size_t rounded = (size + 15) & ~static_cast<size_t>(15);
    if (rounded < size || rounded > kReserved - used_) return nullptr;
    if (used_ + rounded > committed_) {
        size_t commit = (used_ + rounded - committed_ + kCommitStep - 1) / kCommitStep * kCommitStep;
        if (commit > kReserved - committed_) commit = kReserved - committed_;
        if (!VirtualAlloc(base_ + committed_, commit, MEM_COMMIT, PAGE_READWRITE)) return nullptr;
        committed_ += commit;
    }
    void* block = base_ + used_;  // committed pages read as zero and are never reused
    used_ += rounded;
    return block;
}

bool Arena::Contains(const void* p) const {
    const char* c = static_cast<const char*>(p);
    return base_ != nullptr && c >= base_ && c < base_ + kReserved;
}

void Arena::Release() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    base_ = nullptr;
    committed_ = used_ = 0;
}

Arena& LedgerArena() {
    static Arena arena;
    return arena;
}

void* Ledger::HandOut(BlockKind kind, size_t size, const char* by, bool quiet) {
    if (quiet) return std::calloc(1, size ? size : 1);
    void* block = LedgerArena().Allocate(size ? size : 1);
    if (!block) return nullptr;
    BlockInfo info;
    info.kind = kind;
    info.size = size;
    info.sequence = nextSequence_++;
    info.handedOutBy = by;
    blocks_[block] = info;
    return block;
}

void Ledger::Release(ReleaseFunction function, void* block, bool quiet) {
    if (!block) return;
    auto found = blocks_.find(block);
    if (quiet) {
        // Without a ledger entry the block is trusted to be ours. One handed out while the
        // ledger was on stays in the arena, poisoned like any other released block.
        if (found == blocks_.end()) {
            if (!LedgerArena().Contains(block)) std::free(block);
        } else if (found->second.live) {
            found->second.live = false;
            std::memset(block, 0xDD, found->second.size);
        }
        return;
    }
    if (found == blocks_.end()) {
        WriteLog(LogLine("LEDGER", "unknown-release").Raw("fn", ReleaseFunctionName(function)).Pointer("ptr", block));
        return;
    }
    BlockInfo& info = found->second;
    if (!info.live) {
        WriteLog(LogLine("LEDGER", "double-release")
                     .Raw("fn", ReleaseFunctionName(function))
                     .Pointer("ptr", block)
                     .Raw("kind", KindName(info.kind)));
        return;
    }
    if (function != RightRelease(info.kind)) {
        WriteLog(LogLine("LEDGER", "wrong-release")
                     .Raw("fn", ReleaseFunctionName(function))
                     .Pointer("ptr", block)
                     .Raw("kind", KindName(info.kind))
                     .Raw("expected", ReleaseFunctionName(RightRelease(info.kind))));
    }
    info.live = false;
    std::memset(block, 0xDD, info.size);
}

bool Ledger::FindLive(const void* block, BlockInfo& out) const {
    auto found = blocks_.find(block);
    if (found == blocks_.end() || !found->second.live) return false;
    out = found->second;
    return true;
}

std::vector<std::pair<const void*, BlockInfo>> Ledger::LiveBlocks(BlockKind kind) const {
    std::vector<std::pair<const void*, BlockInfo>> result;
    for (const auto& entry : blocks_) {
        if (entry.second.live && entry.second.kind == kind) result.push_back(entry);
    }
    return result;
}

void Ledger::NameIsoTrack(const void* track, const void* root, const std::string& name) {
    auto found = blocks_.find(track);
    if (found == blocks_.end()) return;
    found->second.isoRoot = root;
    found->second.isoName = name;
}

int Ledger::ReportLeaks() const {
    int leaks = 0;
    for (const auto& entry : blocks_) {
        if (!entry.second.live) continue;
        ++leaks;
        WriteLog(LogLine("LEDGER", "leak")
                     .Raw("kind", KindName(entry.second.kind))
                     .Pointer("ptr", entry.first)
                     .Raw("by", entry.second.handedOutBy)
                     .Number("seq", entry.second.sequence));
    }
    return leaks;
}

void Ledger::FreeAll() {
    blocks_.clear();
    LedgerArena().Release();
}

namespace {
CRITICAL_SECTION* LedgerCriticalSection() {
    static CRITICAL_SECTION section;
    static bool ready = (InitializeCriticalSection(&section), true);
    (void)ready;
    return &section;
}
}  // namespace

Ledger& TheLedger() {
    static Ledger ledger;
    return ledger;
}

LedgerLock::LedgerLock() { EnterCriticalSection(LedgerCriticalSection()); }
LedgerLock::~LedgerLock() { LeaveCriticalSection(LedgerCriticalSection()); }

}  // namespace standin
