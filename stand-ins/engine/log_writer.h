#pragma once
// The stand-in's log: one line per event, "TAG NAME key=value ...", appended to a file.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

class LogLine {
public:
    // A muted line (quiet scenarios) formats nothing, so timing runs measure the plug-in.
    LogLine(const char* tag, const std::string& name, bool muted = false);

    LogLine& Number(const char* key, long long value);
    LogLine& Hex(const char* key, uint32_t value);
    LogLine& Pointer(const char* key, const void* value);
    LogLine& Flag(const char* key, bool value);
    LogLine& Text(const char* key, const std::string& value);
    // A text behind a pointer: null, unreadable, or the quoted text.
    LogLine& PointerText(const char* key, const void* text, size_t limit = 1024);
    LogLine& List(const char* key, const std::vector<uint32_t>& values);
    LogLine& Raw(const char* key, const std::string& value);

    const std::string& str() const { return text_; }

private:
    std::string text_;
    bool muted_ = false;
};

std::string QuoteText(const std::string& text);
std::string FormatPointer(const void* value);

// Where lines go; an empty path drops them.
void SetLogPath(const std::string& path);
void WriteLog(const LogLine& line);

}  // namespace standin
