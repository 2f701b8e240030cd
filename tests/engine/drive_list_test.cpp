#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/drive_list.h"
#include "support/code_page.h"
#include "support/hand_made_drives.h"

namespace {

int Labels(const DriveList* list, DriveLabels labels) {
    std::memset(labels, 0x7F, sizeof(DriveLabels));
    return WriteDriveLabels(list, labels);
}

void FillSpeeds(uint32_t* table, uint32_t count) {
    for (uint32_t i = 0; i < count && i < 64; ++i) table[i] = 100 + i;
}

}  // namespace

TEST(DriveLabels, OfferedRecordersInOrder) {
    HandMadeDrives drives;
    drives.Add("PLEXTOR PX-W4012A", 'E');
    drives.Add("NO LETTER WRITER", 0);
    drives.Add("READER ONLY", 'F', 0x0);
    drives.Add("EXCLUDED", 'G', 0x41);
    drives.Add("IMAGE RECORDER", 'H', 0x3);
    DriveLabels labels;
    ASSERT_EQ(Labels(drives.List(), labels), 3);
    EXPECT_STREQ(labels[0], "E: PLEXTOR PX-W4012A");
    EXPECT_STREQ(labels[1], "?: NO LETTER WRITER");
    EXPECT_STREQ(labels[2], "H: IMAGE RECORDER");
}

TEST(DriveLabels, EmptyOrMissingListGivesNone) {
    HandMadeDrives drives;
    DriveLabels labels;
    EXPECT_EQ(Labels(drives.List(), labels), 0);
    EXPECT_EQ(Labels(nullptr, labels), 0);
    drives.Add("READER", 'D', 0x40);
    EXPECT_EQ(Labels(drives.List(), labels), 0);
}

TEST(DriveLabels, LongAndUnterminatedNamesAreCutAt63) {
    HandMadeDrives drives;
    const std::string full64(64, 'N');  // fills the field, no terminator
    drives.Add(full64, 'E');
    drives.device(0).shortText[0] = 'X';  // the byte after the field must not be read
    DriveLabels labels;
    ASSERT_EQ(Labels(drives.List(), labels), 1);
    EXPECT_EQ(std::string(labels[0]), "E: " + std::string(60, 'N'));
    EXPECT_EQ(DeviceName(drives.device(0)), full64);
}

TEST(DriveLabels, AtMost26) {
    HandMadeDrives drives;
    for (int i = 0; i < 30; ++i) drives.Add("DRIVE " + std::to_string(i), static_cast<char>('A' + i % 26));
    DriveLabels labels;
    ASSERT_EQ(Labels(drives.List(), labels), 26);
    EXPECT_STREQ(labels[25], "Z: DRIVE 25");
}

TEST(FindDrive, ByNameOrByOneLetter) {
    HandMadeDrives drives;
    drives.Add("Plextor PX-W4012A", 'E');
    drives.Add("READER", 'F', 0x40);
    drives.Add("E", 'G');
    drives.Add("Br\xFBleur int\xE9gr\xE9", 'H');
    const DriveList* list = drives.List();
    struct Case {
        const char* driveName;
        int index;
    };
    const Case cases[] = {
        {"PLEXTOR PX-W4012A", 0},
        {"PLEXTOR PX-W4012A   ", 0},  // blanks from the label are cut
        {"plextor px-w4012a", 0},
        {"READER", 1},                 // not offered, still found by name
        {"f", 1},                      // one letter: the drive letter
        {"F ", -1},                    // a letter with a blank compares by name only
        {"E", 0},                      // the letter comes first in list order
        {"PLEXTOR", -1},
        {"", -1},
        {"BR\xFBLEUR INT\xE9GR\xE9", 3},  // the dialog upper-cases ASCII letters only
    };
    for (const Case& c : cases) EXPECT_EQ(FindDriveIndex(list, c.driveName), c.index) << "'" << c.driveName << "'";
    EXPECT_EQ(FindDriveIndex(list, nullptr), -1);
    EXPECT_EQ(FindDriveIndex(nullptr, "READER"), -1);
}

// The dialog hands back the label after "X: "; a long name cut in its label must still be found.
TEST(FindDrive, RecorderWhoseLabelCutItsName) {
    HandMadeDrives drives;
    drives.Add("SHORT", 'D');
    const std::string longName = "VERY LONG VENDOR NAME AND A VERY LONG PRODUCT NAME, REVISION 1.02";
    drives.Add(longName.substr(0, 64), 'E');
    drives.Add(std::string(64, 'Q'), 'F');  // unterminated field
    drives.Add("TRAILING BLANKS  ", 'G');
    const DriveList* list = drives.List();
    DriveLabels labels;
    ASSERT_EQ(Labels(list, labels), 4);
    for (int i = 0; i < 4; ++i) {
        std::string fromLabel = labels[i] + 3;
        for (char& c : fromLabel) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindDriveIndex(list, fromLabel.c_str()), i) << "label '" << labels[i] << "'";
    }
}

// A recorder named exactly like another one's cut label is still the one found for that name,
// and names differing only in punctuation are told apart.
TEST(FindDrive, ExactNameWinsOverACutLabel) {
    HandMadeDrives drives;
    drives.Add(std::string(61, 'X'), 'D');  // label "D: " + 60 X
    drives.Add(std::string(60, 'X'), 'E');
    drives.Add("DVDRW", 'F');
    drives.Add("DVD-RW", 'G');
    const DriveList* list = drives.List();
    EXPECT_EQ(FindDriveIndex(list, std::string(60, 'X').c_str()), 1);
    EXPECT_EQ(FindDriveIndex(list, std::string(61, 'x').c_str()), 0);
    EXPECT_EQ(FindDriveIndex(list, "dvd-rw"), 3);
    EXPECT_EQ(FindDriveIndex(list, "DVDRW"), 2);
}

TEST(OldDeviceRecord, CopiesFieldsWithTheirLimits) {
    HandMadeDrives drives;
    DeviceRecord& device = drives.Add(std::string(40, 'A'), 'E', 0x21);
    std::memcpy(device.shortText, "12345678", 8);  // unterminated
    device.words[0] = 0x11111111;
    device.words[1] = 0x22222222;
    device.words[2] = 0x33333333;
    device.word1388 = 0x44444444;
    std::memset(device.text1392, 'T', sizeof device.text1392);
    device.word1456 = 0x55555555;
    device.speedCount1 = 3;
    FillSpeeds(device.speeds1, 3);
    device.speedCount2 = 20;
    FillSpeeds(device.speeds2, 20);

    OldDeviceRecord old;
    std::memset(&old, 0xCC, sizeof old);
    FillOldDeviceRecord(device, old);
    EXPECT_EQ(std::string(old.name), std::string(31, 'A'));
    EXPECT_EQ(std::string(old.shortText), "1234567");
    EXPECT_EQ(old.words[0], 0x11111111u);
    EXPECT_EQ(old.words[2], 0x33333333u);
    EXPECT_EQ(old.driveLetter, 'E');
    EXPECT_EQ(old.capabilities, 0x21u);
    EXPECT_EQ(old.word228, 0x44444444u);
    EXPECT_EQ(std::string(old.text232), std::string(31, 'T'));
    EXPECT_EQ(old.word264, 0x55555555u);
    ASSERT_EQ(old.speedCount1, 3u);
    EXPECT_EQ(old.speeds1[0], 100u);
    EXPECT_EQ(old.speeds1[2], 102u);
    EXPECT_EQ(old.speeds1[3], 0u);
    ASSERT_EQ(old.speedCount2, 20u);
    EXPECT_EQ(old.speeds2[19], 119u);
}

TEST(OldDeviceRecord, SpeedTablesKeepFirst19AndLast) {
    struct Case {
        uint32_t count;
        uint32_t expectedCount;
        uint32_t lastPlace;  // expected value in the last copied place
    };
    const Case cases[] = {
        {0, 0, 0},
        {1, 1, 100},
        {20, 20, 119},
        {21, 20, 120},
        {25, 20, 124},
        {64, 20, 163},
        {65, 20, 163},    // a count beyond the 64 slots is held to them
        {1000, 20, 163},
    };
    for (const Case& c : cases) {
        HandMadeDrives drives;
        DeviceRecord& device = drives.Add("R", 'E');
        device.speedCount1 = c.count;
        FillSpeeds(device.speeds1, c.count);
        device.pad1260[0] = 0xEE;  // lies right after the second table; never copied
        OldDeviceRecord old;
        FillOldDeviceRecord(device, old);
        EXPECT_EQ(old.speedCount1, c.expectedCount) << "count " << c.count;
        if (c.expectedCount > 0) {
            EXPECT_EQ(old.speeds1[c.expectedCount - 1], c.lastPlace) << "count " << c.count;
            for (uint32_t i = 0; i + 1 < c.expectedCount; ++i) EXPECT_EQ(old.speeds1[i], 100 + i);
        }
        for (uint32_t i = c.expectedCount; i < 20; ++i) EXPECT_EQ(old.speeds1[i], 0u) << "count " << c.count;
        EXPECT_EQ(old.speedCount2, 0u);
    }
}

// Recorder names in the code page this run has: labels cut to whole characters, and the name the
// burn dialog hands back (its label upper-cased) finds its own recorder, never one whose name
// differs in the second byte of a character (ア and ヂ in 932, 丄 and 乤 in 936, 乙 and 兀
// in 950, 갂 and 갵 in 949).
TEST(CodePageDrives, LabelsAndNamesGoByCharacters) {
    const std::string stem(59, 'a');
    const struct {
        const char* name;
        char letter;
        std::string label;
    } rows[] = {
        {"アrecorder", 'E', "E: アrecorder"},
        {"ヂrecorder", 'F', "F: ヂrecorder"},
        {"丄drive", 'G', "G: 丄drive"},
        {"乤drive", 'H', "H: 乤drive"},
        {"Graveur \xc3\xa9", 'I', "I: Graveur \xc3\xa9"},
        {"乙drive", 'J', "J: 乙drive"},
        {"兀drive", 'K', "K: 兀drive"},
        {"갂drive", 'L', "L: 갂drive"},
        {"갵drive", 'M', "M: 갵drive"},
    };
    for (int cut = 0; cut < 2; ++cut) {
        SCOPED_TRACE(cut == 0 ? "whole names" : "names cut at 63 bytes inside a character");
        HandMadeDrives drives;
        std::vector<std::string> expected;
        for (const auto& row : rows) {
            AnsiTexts ansi;
            const std::string name = (cut ? stem : "") + ansi(row.name);
            const std::string label = cut ? std::string(1, row.letter) + ": " + stem : ansi(row.label.c_str());
            // A cut name must reach the limit inside a double-byte character.
            if (!ansi.representable() || (cut && !IsDBCSLeadByte(static_cast<BYTE>(name[stem.size()])))) continue;
            drives.Add(name, row.letter);
            expected.push_back(label);
        }
        if (cut == 0) {
            ASSERT_GE(expected.size(), 1u);
        }
        DriveLabels labels;
        ASSERT_EQ(Labels(drives.List(), labels), static_cast<int>(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(expected[i], labels[i]);
            std::string shown = labels[i];
            UpperCaseAsciiLetters(&shown[0]);
            if (cut == 0) {
                EXPECT_EQ(FindDriveIndex(drives.List(), shown.c_str() + 3), static_cast<int>(i)) << labels[i];
            }
        }
    }
}
