#include "raw_memory.h"

#include <windows.h>

#include <cstring>

namespace standin {

bool Readable(const void* address, size_t size) {
    if (!address) return false;
    auto at = reinterpret_cast<uintptr_t>(address);
    uintptr_t end = at + size;
    if (end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) return false;
        const DWORD unreadable = PAGE_NOACCESS | PAGE_GUARD;
        if (info.State != MEM_COMMIT || (info.Protect & unreadable) != 0) return false;
        uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

uint16_t ReadU16(const void* base, size_t offset) {
    uint16_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(base) + offset, sizeof value);
    return value;
}

uint32_t ReadU32(const void* base, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, static_cast<const uint8_t*>(base) + offset, sizeof value);
    return value;
}

int32_t ReadI32(const void* base, size_t offset) { return static_cast<int32_t>(ReadU32(base, offset)); }

const void* ReadPointer(const void* base, size_t offset) {
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(ReadU32(base, offset)));
}

void WriteU32(void* base, size_t offset, uint32_t value) {
    std::memcpy(static_cast<uint8_t*>(base) + offset, &value, sizeof value);
}

void WritePointer(void* base, size_t offset, const void* value) {
    WriteU32(base, offset, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value)));
}

std::string FieldText(const void* base, size_t offset, size_t width, bool* terminated) {
    const char* field = static_cast<const char*>(base) + offset;
    size_t length = 0;
    while (length < width && field[length] != '\0') ++length;
    if (terminated) *terminated = length < width;
    return std::string(field, length);
}

void WriteFieldText(void* base, size_t offset, size_t width, const std::string& text) {
    size_t length = text.size() < width ? text.size() : width;
    std::memcpy(static_cast<char*>(base) + offset, text.data(), length);
}

bool PointerText(const void* text, size_t limit, std::string& out) {
    out.clear();
    const char* at = static_cast<const char*>(text);
    while (out.size() < limit) {
        // Check one page at a time, so a text near the end of a region is still read.
        auto address = reinterpret_cast<uintptr_t>(at);
        size_t toPageEnd = 4096 - (address & 4095);
        if (!Readable(at, 1)) return !out.empty();  // a cut text is still worth logging
        for (size_t i = 0; i < toPageEnd && out.size() < limit; ++i, ++at) {
            if (*at == '\0') return true;
            out.push_back(*at);
        }
    }
    return true;
}

void NonZeroOffsets(const void* base, size_t from, size_t to, std::vector<uint32_t>& out, size_t limit) {
    const uint8_t* bytes = static_cast<const uint8_t*>(base);
    for (size_t i = from; i < to && out.size() < limit; ++i) {
        if (bytes[i] != 0) out.push_back(static_cast<uint32_t>(i));
    }
}

}  // namespace standin
