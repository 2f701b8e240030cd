#include "engine/engine_result.h"

#include <cstring>
#include <new>

#include "engine/engine_library.h"

namespace {

// A heap copy of the engine's text; null when the engine has none or memory is short.
std::unique_ptr<char[]> CopyText(const char* text) {
    const size_t size = std::strlen(text) + 1;
    std::unique_ptr<char[]> copy(new (std::nothrow) char[size]);
    if (copy) std::memcpy(copy.get(), text, size);
    return copy;
}

}  // namespace

EngineResult::EngineResult(int32_t code) : code_(code) {
    if (code_ == EXITCODE_OK) return;
    char* text = engine::NeroGetLastError();
    if (text == nullptr) return;
    engineText_ = CopyText(text);
    engine::NeroFreeMem(text);
}
