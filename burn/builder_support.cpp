#include "burn/builder_support.h"

#include <windows.h>

#include <cstring>

#include "base/text.h"
#include "burn/data_compilation.h"
#include "engine/engine_library.h"

void CopyTextField(char* field, size_t maxChars, const char* text) {
    CopyWholeCharacters(field, maxChars, text != nullptr ? text : "");
}

bool CopyPathField(char (&field)[kRecordTextChars + 1], const char* path) {
    const size_t length = std::strlen(path);
    if (length <= kRecordTextChars) {
        std::memcpy(field, path, length + 1);
        return true;
    }
    char shortPath[kRecordTextChars + 1];
    // Zero for a file without a short form; the size needed when it does not fit either.
    const DWORD shortLength = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (shortLength == 0 || shortLength > kRecordTextChars) return false;
    std::memcpy(field, shortPath, shortLength + 1);
    return true;
}

const char* FileExtension(const char* name) {
    return LastCharacter(name, '.');
}

void ReleaseDataTrack(void* track, IsoItem* root) {
    engine::NeroFreeIsoTrack(track);
    FreeIsoItems(root);
}
