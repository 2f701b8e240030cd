#pragma once
// Small pieces every compilation builder uses: the record block, text fields, extensions, and
// the release of a data track.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "base/handles.h"
#include "burn/compilation_records.h"
#include "engine/exit_code.h"

// One zero-filled block: a header followed by `count` entries, as the engine reads them.
template <typename Header, typename Entry>
class RecordBlock {
public:
    explicit RecordBlock(uint32_t count)
        : block_(std::calloc(1, sizeof(Header) + sizeof(Entry) * static_cast<size_t>(count))) {}

    bool allocated() const { return block_.valid(); }
    void* data() const { return block_.get(); }
    Header& header() const { return *static_cast<Header*>(block_.get()); }
    Entry& entry(uint32_t index) const {
        return reinterpret_cast<Entry*>(static_cast<char*>(block_.get()) + sizeof(Header))[index];
    }

private:
    UniqueHeapBlock block_;
};

// Copies the whole characters of `text` (none when it is null) that fit in `maxChars` bytes,
// and a NUL.
void CopyTextField(char* field, size_t maxChars, const char* text);

// Copies a file's path into a field of 255 characters and a NUL: the path itself, or when it is
// longer its short form, which names the same file. False, and the field untouched, when
// neither fits: a cut path would name another file, or none.
bool CopyPathField(char (&field)[kRecordTextChars + 1], const char* path);

// The text from the last "." of `name` to its end, or null when there is no ".".
const char* FileExtension(const char* name);

// Releases a data track and its items, each once; both may be null.
void ReleaseDataTrack(void* track, IsoItem* root);

// The way out of a builder. Its own failures come back as codes; what may still be thrown is
// the runtime's (memory exhausted while a vector or string grows), and that becomes a code here,
// after the builder's owners have released what it built.
template <typename Build>
int32_t AtBuilderBoundary(Build build) noexcept {
    try {
        return build();
    } catch (const std::bad_alloc&) {
        return EXITCODE_OUT_OF_MEMORY;
    } catch (...) {
        return EXITCODE_INTERNAL;
    }
}

// A builder's data track (the record's field) and the root of its items, released together
// when the builder ends, however it ends.
class OwnedDataTrack {
public:
    explicit OwnedDataTrack(void*& track) : track_(track) {}
    OwnedDataTrack(const OwnedDataTrack&) = delete;
    OwnedDataTrack& operator=(const OwnedDataTrack&) = delete;
    ~OwnedDataTrack() { ReleaseDataTrack(track_, root_); }

    void** track() { return &track_; }
    IsoItem** root() { return &root_; }

private:
    void*& track_;
    IsoItem* root_ = nullptr;
};

// The ".pcm" files the engine reads during an audio burn, closed in the order they were opened.
class OpenPcmFiles {
public:
    OpenPcmFiles() = default;
    OpenPcmFiles(const OpenPcmFiles&) = delete;
    OpenPcmFiles& operator=(const OpenPcmFiles&) = delete;
    ~OpenPcmFiles() {
        for (UniqueCFile& file : files_) file.reset();
    }

    void Reserve(size_t count) { files_.reserve(count); }
    // Reserved beforehand, so keeping a file never allocates.
    void Keep(UniqueCFile file) { files_.push_back(std::move(file)); }

private:
    std::vector<UniqueCFile> files_;
};
