#pragma once
// Texts of this plug-in are 8-bit strings in the system's ANSI code page, which may be a
// double-byte one (932, 936, 949, 950): there a lead byte and the byte after it make one
// character, and that second byte may be a backslash (0x5C) or an ASCII letter. Every search for
// a character, every cut and every comparison of texts goes through the rules here, which walk
// texts by characters as CharNextA does (a lead byte of the code page, IsDBCSLeadByteEx, and a
// byte after it that is not the text's end make one character).
//
// No second byte of those code pages is below 0x40, so a search for "*", "?", ":", ";" or a blank
// finds the same bytes either way; the rules are used for the backslash and the dot all the same.

#include <cstddef>
#include <string>
#include <string_view>

// ---- Searches and cuts by characters ----

// Where the first or the last character `c` (a single-byte one) stands, or npos. A byte equal
// to `c` that is the second byte of a double-byte character is no such character.
size_t FindCharacter(std::string_view text, char c, size_t from = 0);
size_t FindLastCharacter(std::string_view text, char c);
// The same for a NUL-terminated text: a pointer to it, or null when absent.
const char* LastCharacter(const char* text, char c);

// True when the last character of `text` is `c`.
bool EndsWithCharacter(std::string_view text, char c);

// The length of the longest beginning of `text` that has at most `maxBytes` bytes and ends
// after a whole character.
size_t WholeCharactersWithin(std::string_view text, size_t maxBytes);
std::string CutToWholeCharacters(std::string_view text, size_t maxBytes);
// Copies the whole characters of `text` that fit in `maxBytes` bytes, then a NUL: the field
// holds `maxBytes` + 1 bytes.
void CopyWholeCharacters(char* field, size_t maxBytes, std::string_view text);

// ---- The plug-in's own comparison: ASCII letters ----

// Texts compared without regard to case, one rule for the plug-in's own matching (extensions,
// the player's menu texts, recorder names): the ASCII letters A to Z and a to z pair up where
// they are characters of their own, every other byte must match exactly; the second byte of a
// double-byte character is never folded. The rule is free of any locale: a user locale such as
// Turkish, where "i" and "I" are no pair, must not change what matches.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// True when `text` begins with `prefix`, under the same rule.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// Raises the ASCII letters that are characters of their own, in place: what the C runtime's
// default locale raises, but never the second byte of a double-byte character.
void UpperCaseAsciiLetters(char* text);

// ---- File names, compared as Windows compares them ----

// The names' characters, widened from the code page, upper-cased as CharUpperBuffW does: the
// fixed, locale-free table by which the file systems match names ("e" with "E" and "é" with
// "É", "i" with "I" under any locale), one character for one. Texts that are not whole
// characters of the code page are compared as their bytes.
bool SameFileName(std::string_view a, std::string_view b);

// Names that are one name to Windows have the same key, so it serves as the key of a set.
std::wstring FileNameKey(std::string_view name);
