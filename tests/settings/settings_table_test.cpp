#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "support/registry_fixture.h"

namespace {

std::string Dword(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

// Data the plug-in never writes. `accepted` cases are read whole; the others give the default.
struct Stored {
    const char* what;
    DWORD type;
    std::string bytes;
    bool accepted;
};

constexpr size_t kOversized = 64 * 1024;

// Every way a number can be stored wrongly, each holding `n` where it holds anything.
std::vector<Stored> BadNumbers(uint32_t n) {
    const std::string text = std::to_string(n) + '\0';
    std::string hugeDword;
    for (size_t i = 0; i < kOversized / 4; ++i) hugeDword += Dword(n);
    return {
        {"REG_BINARY", REG_BINARY, Dword(n), false},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, text, false},
        {"REG_MULTI_SZ", REG_MULTI_SZ, text + '\0', false},
        {"REG_QWORD", REG_QWORD, Dword(n) + Dword(0), false},
        {"REG_NONE", REG_NONE, Dword(n), false},
        {"empty REG_DWORD", REG_DWORD, "", false},
        {"empty REG_SZ", REG_SZ, "", false},
        {"oversized REG_DWORD", REG_DWORD, hugeDword, false},
        {"oversized decimal text", REG_SZ, std::string(kOversized, '0') + text, true},
    };
}

std::vector<Stored> BadTexts(const std::string& text) {
    return {
        {"REG_DWORD", REG_DWORD, Dword(0x45), false},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, text + '\0', false},
        {"REG_MULTI_SZ", REG_MULTI_SZ, text + std::string(2, '\0'), false},
        {"REG_QWORD", REG_QWORD, Dword(0x45) + Dword(0), false},
        {"REG_NONE", REG_NONE, text, false},
        {"empty REG_SZ", REG_SZ, "", false},
        {"empty REG_BINARY", REG_BINARY, "", false},
        {"oversized REG_SZ", REG_SZ, text, true},
    };
}

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

    // Text without its terminator (the system may add one), the empty text as one zero byte.
    EXPECT_LE(drive.bytes.size(), 10u);
    settings::Write(settings::kLastDrive, "");
    drive = QueryRawValue(hive.key(), key, "Last Drive");
    EXPECT_EQ(drive.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(drive.bytes, std::string(1, '\0'));
    EXPECT_EQ(settings::Read(settings::kLastDrive), "");
}

}  // namespace

TEST_F(SettingsTableTest, ValuesThePluginNeverWritesReadAsTheirDefaults) {
    auto store = [&](const char* name, const Stored& stored) {
        ASSERT_TRUE(SetRawValue(hive.key(), settings::kKeyPath, name, stored.type, stored.bytes)) << stored.what;
    };
    for (const settings::IntSetting* setting : {&settings::kLastMode, &settings::kAudioGap,
                                                &settings::kLastVersionMajor, &settings::kLastVersionMinor}) {
        for (const Stored& stored : BadNumbers(7)) {
            store(setting->name, stored);
            EXPECT_EQ(settings::Read(*setting), stored.accepted ? 7 : setting->defaultValue)
                << setting->name << " stored as " << stored.what;
        }
    }
    for (const settings::BoolSetting* setting : {&settings::kCrashGuard, &settings::kUnderrun, &settings::kSimulate}) {
        // Each holds the opposite of the default, so a wrongly accepted value shows.
        for (const Stored& stored : BadNumbers(setting->defaultValue ? 0 : 1)) {
            store(setting->name, stored);
            EXPECT_EQ(settings::Read(*setting), stored.accepted ? !setting->defaultValue : setting->defaultValue)
                << setting->name << " stored as " << stored.what;
        }
    }
    const std::string longDrive(kOversized, 'E');
    for (const Stored& stored : BadTexts(longDrive)) {
        store(settings::kLastDrive.name, stored);
        const std::string read = settings::Read(settings::kLastDrive);
        EXPECT_EQ(read.size(), stored.accepted ? longDrive.size() : 0u) << "Last Drive stored as " << stored.what;
    }
}
