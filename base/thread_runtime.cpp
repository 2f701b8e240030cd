#include "base/thread_runtime.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__MINGW32__)

namespace {

// The compiler's record of one thread-local variable under emulated thread-local storage (the
// layout libgcc's emutls defines; no installed header declares it).
struct EmulatedTlsObject {
    uintptr_t size;
    uintptr_t align;
    // 0 until the first look-up gives the variable its index (from 1).
    std::atomic<uintptr_t> index;
    const void* initialValue;  // null: zero-filled
};
static_assert(sizeof(EmulatedTlsObject) == 4 * sizeof(void*), "emutls object layout");

// The runtime linked into this module holds one such variable (the exception globals, 8 bytes);
// the room is ample for it and a few more, and a larger variable takes a block of its own.
constexpr uintptr_t kMaxVariables = 16;
constexpr size_t kInlineBytes = 256;

struct ThreadBlock {
    void* variables[kMaxVariables];
    // Variables that did not fit inline, each from the heap.
    uint32_t heapVariables;
    size_t usedBytes;
    alignas(16) unsigned char bytes[kInlineBytes];
};

std::atomic<uintptr_t> variableCount{0};
std::atomic<DWORD> slot{TLS_OUT_OF_INDEXES};

// Shared by threads that could get no block of their own: only a thread the plug-in did not
// start, whose call into the plug-in found memory exhausted, comes here, and keeps it.
ThreadBlock spareBlock;

DWORD Slot() {
    DWORD current = slot.load(std::memory_order_acquire);
    if (current != TLS_OUT_OF_INDEXES) return current;
    DWORD fresh = TlsAlloc();
    if (fresh == TLS_OUT_OF_INDEXES) return fresh;
    if (slot.compare_exchange_strong(current, fresh, std::memory_order_acq_rel)) return fresh;
    TlsFree(fresh);
    return current;
}

ThreadBlock* OwnBlock() {
    DWORD index = Slot();
    return index == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadBlock*>(TlsGetValue(index));
}

uintptr_t IndexOf(EmulatedTlsObject& object) {
    uintptr_t index = object.index.load(std::memory_order_acquire);
    if (index != 0) return index;
    uintptr_t fresh = variableCount.fetch_add(1) + 1;
    if (object.index.compare_exchange_strong(index, fresh, std::memory_order_acq_rel)) return fresh;
    return index;  // another thread named it first; the number taken stays unused
}

void* PlaceVariable(ThreadBlock& block, uintptr_t index, const EmulatedTlsObject& object) {
    const size_t align = object.align > 1 ? object.align : 1;
    const size_t start = (block.usedBytes + align - 1) & ~(align - 1);
    void* storage = nullptr;
    if (align <= 16 && start + object.size <= kInlineBytes) {
        storage = block.bytes + start;
        block.usedBytes = start + object.size;
    } else {
        storage = std::calloc(1, object.size + align);
        if (storage == nullptr) std::abort();  // as the runtime would; no such variable exists here
        block.heapVariables |= 1u << (index - 1);
    }
    if (object.initialValue != nullptr) std::memcpy(storage, object.initialValue, object.size);
    else std::memset(storage, 0, object.size);
    block.variables[index - 1] = storage;
    return storage;
}

}  // namespace

bool PrepareThreadRuntime() {
    if (OwnBlock() != nullptr) return true;
    DWORD index = Slot();
    if (index == TLS_OUT_OF_INDEXES) return false;
    auto* block = static_cast<ThreadBlock*>(std::calloc(1, sizeof(ThreadBlock)));
    if (block == nullptr) return false;
    if (!TlsSetValue(index, block)) {
        std::free(block);
        return false;
    }
    return true;
}

void ReleaseThreadRuntime() {
    const DWORD index = slot.load(std::memory_order_acquire);
    if (index == TLS_OUT_OF_INDEXES) return;
    auto* block = static_cast<ThreadBlock*>(TlsGetValue(index));
    if (block == nullptr) return;
    TlsSetValue(index, nullptr);
    if (block == &spareBlock) return;
    for (uintptr_t i = 0; i < kMaxVariables; ++i) {
        if ((block->heapVariables & (1u << i)) != 0) std::free(block->variables[i]);
    }
    std::free(block);
}

void ReleaseThreadRuntimeSlot() {
    DWORD index = slot.exchange(TLS_OUT_OF_INDEXES);
    if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
}

namespace {

// A thread that comes without a block is given one now, or the spare for good: its variables
// must not move to another block while an exception may be in flight.
ThreadBlock& BlockForLookUp() {
    if (PrepareThreadRuntime()) return *OwnBlock();
    DWORD index = Slot();
    if (index != TLS_OUT_OF_INDEXES) TlsSetValue(index, &spareBlock);
    return spareBlock;
}

}  // namespace

// The runtime's look-up of a thread-local variable, in place of libgcc's (which would reach the
// posix threads library).
extern "C" void* __emutls_get_address(EmulatedTlsObject* object) {
    const uintptr_t index = IndexOf(*object);
    if (index > kMaxVariables) std::abort();  // more variables than the module holds
    ThreadBlock* block = &BlockForLookUp();
    void* variable = block->variables[index - 1];
    return variable != nullptr ? variable : PlaceVariable(*block, index, *object);
}

#else

// Other toolchains keep what an exception needs in the system's own thread-local storage.
bool PrepareThreadRuntime() { return true; }
void ReleaseThreadRuntime() {}
void ReleaseThreadRuntimeSlot() {}

#endif
