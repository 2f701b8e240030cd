#pragma once
// Every block and handle the stand-in hands out, with the one function that may release it.
// Released blocks stay allocated (poisoned) so an address is never handed out twice and a
// second release is always recognised.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace standin {

enum class BlockKind { DriveList, CdInfo, ErrorText, WaitText, ImportedItem, IsoItem, IsoTrack, Stamp, Device };
enum class ReleaseFunction { FreeMem, FreeIsoItem, FreeIsoTrack, FreeCDStamp, CloseDevice };

const char* KindName(BlockKind kind);
const char* ReleaseFunctionName(ReleaseFunction function);
ReleaseFunction RightRelease(BlockKind kind);

struct BlockInfo {
    BlockKind kind = BlockKind::DriveList;
    size_t size = 0;
    uint32_t sequence = 0;
    const char* handedOutBy = "";
    bool live = true;
    // ISO tracks only: what they were made of.
    const void* isoRoot = nullptr;
    std::string isoName;
};

class Ledger {
public:
    // A zero-filled block; recorded unless `quiet`. Null when out of memory.
    void* HandOut(BlockKind kind, size_t size, const char* by, bool quiet);
    // Releases through `function`, reporting anything wrong. Null is a no-op.
    void Release(ReleaseFunction function, void* block, bool quiet);
    // The live block at exactly this address.
    bool FindLive(const void* block, BlockInfo& out) const;
    std::vector<std::pair<const void*, BlockInfo>> LiveBlocks(BlockKind kind) const;
    void NameIsoTrack(const void* track, const void* root, const std::string& name);
    // Writes one leak line per live block; returns their number.
    int ReportLeaks() const;
    // Frees every block still held (at unload).
    void FreeAll();

private:
    std::map<const void*, BlockInfo> blocks_;
    uint32_t nextSequence_ = 1;
};

// The process-wide ledger and the lock that guards it.
Ledger& TheLedger();
class LedgerLock {
public:
    LedgerLock();
    ~LedgerLock();
    LedgerLock(const LedgerLock&) = delete;
    LedgerLock& operator=(const LedgerLock&) = delete;
};

}  // namespace standin
