#pragma once
// Small pieces every compilation builder uses: the record block, text fields, extensions, and
// the release of a data track.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/handles.h"
#include "burn/compilation_records.h"

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

// Copies at most `maxChars` characters of `text` (none when it is null) and a NUL.
void CopyTextField(char* field, size_t maxChars, const char* text);

// The text from the last "." of `name` to its end, or null when there is no ".".
const char* FileExtension(const char* name);

// Inside a catch block: the code of the failure being handled (a raised EXITCODE, 23 for
// exhausted memory, 2 for anything else).
int32_t CodeOfCurrentException();

// Releases a data track and its items, each once; both may be null.
void ReleaseDataTrack(void* track, IsoItem* root);
