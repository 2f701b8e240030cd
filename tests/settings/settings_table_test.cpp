#include <gtest/gtest.h>

#include <string>

#include "settings/settings.h"
#include "support/registry_fixture.h"

namespace {

// The real key path, inside a private hive so other test programs keep theirs.
class SettingsTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hive.active()) << "cannot redirect the current user's hive"; }
    ScopedUserHive hive{"settings"};
};

TEST_F(SettingsTableTest, FirstRunDefaults) {
    EXPECT_FALSE(settings::Read(settings::kCrashGuard));
    EXPECT_EQ(settings::Read(settings::kLastDrive), "");
    EXPECT_EQ(settings::Read(settings::kLastMode), 0);
    EXPECT_EQ(settings::Read(settings::kAudioGap), 0);
    EXPECT_TRUE(settings::Read(settings::kUnderrun));
    EXPECT_TRUE(settings::Read(settings::kSimulate));
    EXPECT_EQ(settings::Read(settings::kLastVersionMajor), 0);
    EXPECT_EQ(settings::Read(settings::kLastVersionMinor), 0);
}

TEST_F(SettingsTableTest, ValuesLandUnderTheSettingsKeyWithTheirNamesAndTypes) {
    settings::Write(settings::kCrashGuard, true);
    settings::Write(settings::kLastDrive, "E: Writer");
    settings::Write(settings::kAudioGap, 3);
    settings::Write(settings::kSimulate, false);

    const std::string key = "Software\\Outwell\\Tolvane";
    RawValue guard = QueryRawValue(hive.key(), key, "NeroFuckedUpAgain");
    EXPECT_EQ(guard.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(guard.bytes, std::string("\x01\0\0\0", 4));
    RawValue drive = QueryRawValue(hive.key(), key, "Last Drive");
    EXPECT_EQ(drive.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(drive.bytes.substr(0, 9), "E: Writer");
    EXPECT_EQ(QueryRawValue(hive.key(), key, "Audio Gap").bytes, std::string("\x03\0\0\0", 4));
    EXPECT_EQ(QueryRawValue(hive.key(), key, "Simulate").bytes, std::string(4, '\0'));

    EXPECT_TRUE(settings::Read(settings::kCrashGuard));
    EXPECT_EQ(settings::Read(settings::kLastDrive), "E: Writer");
    EXPECT_EQ(settings::Read(settings::kAudioGap), 3);
    EXPECT_FALSE(settings::Read(settings::kSimulate));
}

}  // namespace
