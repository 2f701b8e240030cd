#include "burn/builder_support.h"

#include <cstring>

#include "burn/data_compilation.h"
#include "engine/engine_library.h"

void CopyTextField(char* field, size_t maxChars, const char* text) {
    size_t length = text == nullptr ? 0 : strnlen(text, maxChars);
    if (length > 0) std::memcpy(field, text, length);
    field[length] = '\0';
}

const char* FileExtension(const char* name) {
    return name == nullptr ? nullptr : std::strrchr(name, '.');
}

void ReleaseDataTrack(void* track, IsoItem* root) {
    engine::NeroFreeIsoTrack(track);
    FreeIsoItems(root);
}
