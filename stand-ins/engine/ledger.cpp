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

void* Ledger::HandOut(BlockKind kind, size_t size, const char* by, bool quiet) {
    void* block = std::calloc(1, size ? size : 1);
    if (!block || quiet) return block;
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
        // Without a ledger entry the block is trusted to be ours.
        if (found == blocks_.end()) {
            std::free(block);
        } else if (found->second.live) {
            blocks_.erase(found);
            std::free(block);
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
    for (auto& entry : blocks_) std::free(const_cast<void*>(entry.first));
    blocks_.clear();
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
