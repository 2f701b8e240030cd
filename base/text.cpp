#include "base/text.h"

#include <windows.h>

#include <cstring>

namespace {

// The system's ANSI code page, read at each walk: it is fixed for the life of the process.
bool IsLeadByte(UINT codePage, char c) { return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(c)) != FALSE; }

// The byte length of the character at `at`, as CharNextA counts it: a lead byte followed by
// the text's end (or by a NUL) is a character of its own.
size_t CharacterLength(UINT codePage, std::string_view text, size_t at) {
    if (at + 1 < text.size() && text[at + 1] != '\0' && IsLeadByte(codePage, text[at])) return 2;
    return 1;
}

// Calls `visit(position, length)` for every character until it returns false.
template <typename Visit>
void ForEachCharacter(std::string_view text, Visit visit) {
    const UINT codePage = GetACP();
    for (size_t at = 0; at < text.size();) {
        const size_t length = CharacterLength(codePage, text, at);
        if (!visit(at, length)) return;
        at += length;
    }
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// A key no name of whole characters can have: a noncharacter first, then the bytes.
std::wstring ByteKey(std::string_view name) {
    std::wstring key(1, L'\xFFFF');
    for (char c : name) key += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return key;
}

}  // namespace

size_t FindCharacter(std::string_view text, char c, size_t from) {
    size_t found = std::string_view::npos;
    ForEachCharacter(text, [&](size_t at, size_t length) {
        if (at >= from && length == 1 && text[at] == c) found = at;
        return found == std::string_view::npos;
    });
    return found;
}

size_t FindLastCharacter(std::string_view text, char c) {
    size_t found = std::string_view::npos;
    ForEachCharacter(text, [&](size_t at, size_t length) {
        if (length == 1 && text[at] == c) found = at;
        return true;
    });
    return found;
}

const char* LastCharacter(const char* text, char c) {
    if (text == nullptr) return nullptr;
    const size_t at = FindLastCharacter(text, c);
    return at == std::string_view::npos ? nullptr : text + at;
}

bool EndsWithCharacter(std::string_view text, char c) {
    return !text.empty() && FindLastCharacter(text, c) == text.size() - 1;
}

size_t WholeCharactersWithin(std::string_view text, size_t maxBytes) {
    size_t kept = 0;
    ForEachCharacter(text, [&](size_t at, size_t length) {
        if (at + length > maxBytes) return false;
        kept = at + length;
        return true;
    });
    return kept;
}

std::string CutToWholeCharacters(std::string_view text, size_t maxBytes) {
    return std::string(text.substr(0, WholeCharactersWithin(text, maxBytes)));
}

void CopyWholeCharacters(char* field, size_t maxBytes, std::string_view text) {
    const size_t length = WholeCharactersWithin(text, maxBytes);
    if (length > 0) std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    bool equal = true;
    ForEachCharacter(a, [&](size_t at, size_t length) {
        equal = length == 1 ? AsciiLower(a[at]) == AsciiLower(b[at]) : a.compare(at, 2, b, at, 2) == 0;
        return equal;
    });
    return equal;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

void UpperCaseAsciiLetters(char* text) {
    if (text == nullptr) return;
    ForEachCharacter(text, [&](size_t at, size_t length) {
        if (length == 1) text[at] = AsciiUpper(text[at]);
        return true;
    });
}

std::wstring FileNameKey(std::string_view name) {
    if (name.empty()) return std::wstring();
    const int size = static_cast<int>(name.size());
    const int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    if (wide <= 0) return ByteKey(name);
    std::wstring key(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, &key[0], wide);
    CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

bool SameFileName(std::string_view a, std::string_view b) { return FileNameKey(a) == FileNameKey(b); }
