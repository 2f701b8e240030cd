#include "log_writer.h"

#include <windows.h>

#include <cstdio>

#include "base/handles.h"
#include "raw_memory.h"

namespace standin {
namespace {

CRITICAL_SECTION* LogLock() {
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return &lock;
}

std::string& LogPath() {
    static std::string path;
    return path;
}

class LockedLog {
public:
    LockedLog() { EnterCriticalSection(LogLock()); }
    ~LockedLog() { LeaveCriticalSection(LogLock()); }
    LockedLog(const LockedLog&) = delete;
    LockedLog& operator=(const LockedLog&) = delete;
};

}  // namespace

std::string QuoteText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string FormatPointer(const void* value) {
    if (!value) return "null";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(value)));
    return text;
}

LogLine::LogLine(const char* tag, const std::string& name, bool muted)
    : text_(muted ? std::string() : std::string(tag) + " " + name), muted_(muted) {}

LogLine& LogLine::Raw(const char* key, const std::string& value) {
    if (muted_) return *this;
    text_ += ' ';
    text_ += key;
    text_ += '=';
    text_ += value;
    return *this;
}

LogLine& LogLine::Number(const char* key, long long value) {
    if (muted_) return *this;
    return Raw(key, std::to_string(value));
}

LogLine& LogLine::Hex(const char* key, uint32_t value) {
    if (muted_) return *this;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return Raw(key, text);
}

LogLine& LogLine::Pointer(const char* key, const void* value) {
    if (muted_) return *this;
    return Raw(key, FormatPointer(value));
}

LogLine& LogLine::Flag(const char* key, bool value) {
    if (muted_) return *this;
    return Raw(key, value ? "1" : "0");
}

LogLine& LogLine::Text(const char* key, const std::string& value) {
    if (muted_) return *this;
    return Raw(key, QuoteText(value));
}

LogLine& LogLine::PointerText(const char* key, const void* text, size_t limit) {
    if (muted_) return *this;
    if (!text) return Raw(key, "null");
    std::string value;
    if (!standin::PointerText(text, limit, value)) return Raw(key, "<unreadable>");
    return Text(key, value);
}

LogLine& LogLine::List(const char* key, const std::vector<uint32_t>& values) {
    if (muted_) return *this;
    std::string joined;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) joined += ',';
        joined += std::to_string(values[i]);
    }
    return Raw(key, joined);
}

void SetLogPath(const std::string& path) {
    LockedLog lock;
    LogPath() = path;
}

void WriteLog(const LogLine& line) {
    LockedLog lock;
    if (LogPath().empty()) return;
    // Opened per line and fully shared, so tests may read, truncate or delete the log any time.
    UniqueFile file(CreateFileA(LogPath().c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string text = line.str() + "\r\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace standin
