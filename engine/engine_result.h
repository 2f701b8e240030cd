#pragma once
// A result code with an owned copy of the engine's last error text.

#include <memory>

#include "engine/exit_code.h"

class EngineResult {
public:
    // For a non-zero code, asks the engine for its last error text, keeps a copy and releases
    // the engine's string. Code 0 asks nothing.
    explicit EngineResult(int32_t code);
    // The same, with the file the failure concerns: shown on a line of its own after the text of
    // a code that names one, ignored for any other code. Null or empty: no file.
    EngineResult(int32_t code, const char* file);
    EngineResult(const EngineResult&) = delete;
    EngineResult& operator=(const EngineResult&) = delete;
    EngineResult(EngineResult&&) noexcept = default;
    EngineResult& operator=(EngineResult&&) noexcept = default;

    int32_t code() const { return code_; }
    const char* message() const { return userText_ ? userText_.get() : ResultMessage(code_); }
    // The engine's text, or null. Never shown to the user.
    const char* engineText() const { return engineText_.get(); }

private:
    int32_t code_;
    std::unique_ptr<char[]> engineText_;
    std::unique_ptr<char[]> userText_;
};
