#pragma once
// The stand-ins' texts are in the system's ANSI code page, which may be double-byte (932, 936,
// 949, 950): there a character's second byte can be a backslash, a dot's neighbour or a letter,
// so a path is split and a name cut by characters, never by bytes. The stand-ins keep their own
// walk, apart from the plug-in's, so that a fault in the plug-in's shows up against them.

#include <windows.h>

#include <cstring>
#include <string>

namespace standin {

// Where the character after the one at `at` starts; a lead byte at the very end stands alone.
inline size_t NextCharacter(const std::string& text, size_t at) {
    const bool pair = IsDBCSLeadByte(static_cast<BYTE>(text[at])) && at + 1 < text.size();
    return at + (pair ? 2 : 1);
}

// The start of the last character of `text` that is one of the single-byte characters `set`,
// or npos.
inline size_t LastCharacterOf(const std::string& text, const char* set) {
    size_t found = std::string::npos;
    for (size_t at = 0; at < text.size(); at = NextCharacter(text, at)) {
        if (text[at] != '\0' && std::strchr(set, text[at]) != nullptr) found = at;
    }
    return found;
}

// What follows the last backslash or slash: the name of a path.
inline std::string NameOfPath(const std::string& path) {
    const size_t separator = LastCharacterOf(path, "\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace standin
