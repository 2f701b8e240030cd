#pragma once
// Every block and handle the stand-in hands out, with the one function that may release it.
// Released blocks stay allocated (poisoned) so an address is never handed out twice and a
// second release is always recognised. Those blocks and the ledger's own records live in one
// reserved stretch of address space, so a memory measure of the process can leave out what
// the stand-in keeps for its own checks (LedgerArena).

#include <cstddef>
#include <cstdint>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace standin {

enum class BlockKind { DriveList, CdInfo, ErrorText, WaitText, ImportedItem, IsoItem, IsoTrack, Stamp, Device };
enum class ReleaseFunction { FreeMem, FreeIsoItem, FreeIsoTrack, FreeCDStamp, CloseDevice };

const char* KindName(BlockKind kind);
const char* ReleaseFunctionName(ReleaseFunction function);
ReleaseFunction RightRelease(BlockKind kind);

// Bump allocation in one stretch reserved at first use, committed as it fills, given back at
// unload. Nothing in it is freed before then.
class Arena {
public:
    // Zero-filled, 16-byte aligned; null when the stretch is full.
    void* Allocate(size_t size);
    bool Contains(const void* p) const;
    const void* base() const { return base_; }
    size_t reserved() const { return base_ != nullptr ? kReserved : 0; }
    void Release();

private:
    static constexpr size_t kReserved = 256u << 20;
    static constexpr size_t kCommitStep = 64u << 10;
    char* base_ = nullptr;
    size_t committed_ = 0;
    size_t used_ = 0;
};
Arena& LedgerArena();

// For the ledger's records: from the arena, never freed one by one.
template <typename T>
struct ArenaAllocator {
    using value_type = T;
    ArenaAllocator() = default;
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>&) {}
    T* allocate(size_t n) {
        void* p = LedgerArena().Allocate(n * sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T*, size_t) {}
    template <typename U>
    bool operator==(const ArenaAllocator<U>&) const { return true; }
    template <typename U>
    bool operator!=(const ArenaAllocator<U>&) const { return false; }
};

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
    // Frees every block still held and gives the arena back (at unload).
    void FreeAll();

private:
    using Entry = std::pair<const void* const, BlockInfo>;
    std::map<const void*, BlockInfo, std::less<const void*>, ArenaAllocator<Entry>> blocks_;
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
