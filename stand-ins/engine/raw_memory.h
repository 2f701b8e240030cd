#pragma once
// Reading what a caller hands us by raw byte offsets, without trusting the pointers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// True when every byte of [address, address + size) is committed and readable.
bool Readable(const void* address, size_t size);

uint16_t ReadU16(const void* base, size_t offset);
uint32_t ReadU32(const void* base, size_t offset);
int32_t ReadI32(const void* base, size_t offset);
const void* ReadPointer(const void* base, size_t offset);
void WriteU32(void* base, size_t offset, uint32_t value);
void WritePointer(void* base, size_t offset, const void* value);

// Text inside a fixed field; `terminated` tells whether the field held a NUL.
std::string FieldText(const void* base, size_t offset, size_t width, bool* terminated = nullptr);
// Copies text into a fixed field, cut to `width` bytes; terminated only when it fits.
void WriteFieldText(void* base, size_t offset, size_t width, const std::string& text);

// Text behind a pointer, read up to `limit` bytes; false when the pointer is unreadable.
bool PointerText(const void* text, size_t limit, std::string& out);

// Byte offsets (relative to base) of non-zero bytes within [from, to), at most `limit` of them.
void NonZeroOffsets(const void* base, size_t from, size_t to, std::vector<uint32_t>& out, size_t limit = 8);

}  // namespace standin
