#pragma once
// Comparisons of texts without regard to case, one rule for the whole plug-in: the ASCII
// letters A to Z and a to z pair up, every other byte must match exactly. The rule is free of
// any locale: what it compares is either ASCII (file extensions, the player's menu texts) or
// upper-cased by the burn dialog in the C runtime's default locale, which also pairs ASCII
// letters only; and a user locale such as Turkish, where "i" and "I" are no pair, must not
// change what matches.

#include <string>
#include <string_view>

bool EqualIgnoringCase(std::string_view a, std::string_view b);

// The text with A to Z lowered: texts equal under the rule have the same folded text, so it
// serves as the key of a set.
std::string FoldedCase(std::string_view text);

// True when `text` begins with `prefix`, under the same rule.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
