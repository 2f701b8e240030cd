// The character rules of base/text.h in the code page this run has (the test command runs this
// group under 1252, 932, 936, 950 and 949): rows whose characters the code page lacks are left out.
// In 932 能 表 予 ソ end in the byte 0x5C and ア ヂ are 0x83 0x41 and 0x83 0x61; in 936 淺 and 歕
// end in 0x5C and 丄 乤 are 0x81 0x41 and 0x81 0x61; in 950 許 功 end in 0x5C and 乙 兀 are
// 0xA4 0x41 and 0xA4 0x61; in 949 no character ends in 0x5C and 갂 갵 are 0x81 0x41 and 0x81 0x61.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "support/code_page.h"

namespace {

enum class Rule { TextBeforeLastBackslash, EndsInBackslash, CutTo, SameIgnoringAsciiCase,
                  UpperCaseAscii, SameFileName, TextFromLastDot };

struct Row {
    const char* what;
    Rule rule;
    const char* text;
    const char* other;  // the second text, or the cut's byte count
    const char* expected;
};

std::string Apply(const Row& row, const std::string& text, const std::string& other) {
    switch (row.rule) {
    case Rule::TextBeforeLastBackslash: {
        const size_t at = FindLastCharacter(text, '\\');
        return at == std::string::npos ? "none" : text.substr(0, at);
    }
    case Rule::EndsInBackslash: return EndsWithCharacter(text, '\\') ? "yes" : "no";
    case Rule::CutTo: {
        char field[64];
        CopyWholeCharacters(field, std::stoul(other), text);
        EXPECT_EQ(field, CutToWholeCharacters(text, std::stoul(other)));
        return field;
    }
    case Rule::SameIgnoringAsciiCase: return EqualIgnoringCase(text, other) ? "yes" : "no";
    case Rule::UpperCaseAscii: {
        std::string upper = text;
        UpperCaseAsciiLetters(&upper[0]);
        return upper;
    }
    case Rule::SameFileName: return SameFileName(text, other) ? "yes" : "no";
    case Rule::TextFromLastDot: {
        const char* dot = LastCharacter(text.c_str(), '.');
        return dot == nullptr ? "none" : dot;
    }
    }
    return "";
}

bool IsCount(Rule rule) { return rule == Rule::CutTo; }

}  // namespace

TEST(CodePageText, SearchesCutsAndComparisonsGoByCharacters) {
    const Row rows[] = {
        {"last backslash", Rule::TextBeforeLastBackslash, "C:\\music\\table.wav", "", "C:\\music"},
        {"last backslash after 予", Rule::TextBeforeLastBackslash, "C:\\music\\予定.wav", "", "C:\\music"},
        {"last backslash after ソ and 表", Rule::TextBeforeLastBackslash, "C:\\ソフト\\表示.wav", "", "C:\\ソフト"},
        {"last backslash after 淺", Rule::TextBeforeLastBackslash, "C:\\音乐\\淺.wav", "", "C:\\音乐"},
        {"no backslash but 能's byte", Rule::TextBeforeLastBackslash, "能力.wav", "", "none"},
        {"a folder ending in 能", Rule::EndsInBackslash, "C:\\エンジン能", "", "no"},
        {"a folder ending in 能 and a backslash", Rule::EndsInBackslash, "C:\\エンジン能\\", "", "yes"},
        {"a folder ending in 歕", Rule::EndsInBackslash, "C:\\引擎歕", "", "no"},
        {"a folder ending in 功", Rule::EndsInBackslash, "C:\\引擎功", "", "no"},
        {"last backslash after 許", Rule::TextBeforeLastBackslash, "C:\\音樂\\許.wav", "", "C:\\音樂"},
        {"a drive's root", Rule::EndsInBackslash, "C:\\", "", "yes"},
        {"cut inside 予", Rule::CutTo, "予定表", "3", "予"},
        {"cut after 定", Rule::CutTo, "予定表", "4", "予定"},
        {"cut of single bytes", Rule::CutTo, "Fa\xc3\xa7" "ade", "3", "Fa\xc3\xa7"},
        {"cut inside 乤", Rule::CutTo, "a乤b", "2", "a"},
        {"ア is not ヂ", Rule::SameIgnoringAsciiCase, "ア", "ヂ", "no"},
        {"丄 is not 乤", Rule::SameIgnoringAsciiCase, "丄", "乤", "no"},
        {"乙 is not 兀", Rule::SameIgnoringAsciiCase, "乙", "兀", "no"},
        {"갂 is not 갵", Rule::SameIgnoringAsciiCase, "갂", "갵", "no"},
        {"ASCII letters pair up", Rule::SameIgnoringAsciiCase, "E: Writer", "e: wRITER", "yes"},
        {"ASCII letters beside ア pair up", Rule::SameIgnoringAsciiCase, "アa", "アA", "yes"},
        {"only ASCII letters", Rule::SameIgnoringAsciiCase, "\xc3\x89", "\xc3\xa9", "no"},
        {"upper case keeps ヂ", Rule::UpperCaseAscii, "e: ヂrecorder", "", "E: ヂRECORDER"},
        {"upper case keeps 乤", Rule::UpperCaseAscii, "f: 乤drive", "", "F: 乤DRIVE"},
        {"upper case of ASCII only", Rule::UpperCaseAscii, "g: caf\xc3\xa9", "", "G: CAF\xc3\xa9"},
        {"file names: ア and ヂ differ", Rule::SameFileName, "ア.wav", "ヂ.wav", "no"},
        {"file names: 丄 and 乤 differ", Rule::SameFileName, "丄.wav", "乤.wav", "no"},
        {"file names: 乙 and 兀 differ", Rule::SameFileName, "乙.wav", "兀.wav", "no"},
        {"file names: 갂 and 갵 differ", Rule::SameFileName, "갂.wav", "갵.wav", "no"},
        {"file names: É and é", Rule::SameFileName, "\xc3\x89t\xc3\xa9.mp3", "\xc3\xa9T\xc3\x89.MP3", "yes"},
        {"file names: full-width letters", Rule::SameFileName, "\xef\xbc\xa1.wav", "\xef\xbd\x81.wav", "yes"},
        {"file names: Greek letters", Rule::SameFileName, "\xce\x91.wav", "\xce\xb1.wav", "yes"},
        {"file names: i and I under any locale", Rule::SameFileName, "mix.wav", "MIX.WAV", "yes"},
        {"file names: one character for one", Rule::SameFileName, "Stra\xc3\x9f" "e", "STRASSE", "no"},
        {"extension after 表", Rule::TextFromLastDot, "表.wav", "", ".wav"},
        {"no dot", Rule::TextFromLastDot, "能力", "", "none"},
    };
    int ran = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        AnsiTexts ansi;
        const std::string text = ansi(row.text);
        const std::string other = IsCount(row.rule) ? row.other : ansi(row.other);
        const std::string expected = ansi(row.expected);
        if (!ansi.representable()) continue;
        EXPECT_EQ(expected, Apply(row, text, other));
        ++ran;
    }
    EXPECT_GE(ran, 8) << "rows run in code page " << GetACP();
}
