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

EngineResult::EngineResult(int32_t code, const char* file) : EngineResult(code) {
    if (file == nullptr || file[0] == '\0' || !ResultNamesFile(code_)) return;
    const char* text = ResultMessage(code_);
    const size_t textLength = std::strlen(text);
    const size_t fileLength = std::strlen(file);
    // Short of memory, the text alone is still shown.
    userText_.reset(new (std::nothrow) char[textLength + 1 + fileLength + 1]);
    if (!userText_) return;
    std::memcpy(userText_.get(), text, textLength);
    userText_[textLength] = '\n';
    std::memcpy(userText_.get() + textLength + 1, file, fileLength + 1);
}

EngineResult::EngineResult(int32_t code) : code_(code) {
    if (code_ == EXITCODE_OK) return;
    char* text = engine::NeroGetLastError();
    if (text == nullptr) return;
    engineText_ = CopyText(text);
    engine::NeroFreeMem(text);
}
