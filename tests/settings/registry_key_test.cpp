#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/registry_key.h"
#include "support/registry_fixture.h"

namespace {

const std::string kKey = std::string(kTestKeyRoot) + "\\store";
const char* const kValue = "Value";

// The system may add a terminating zero to a REG_SZ written without one; the text is what counts.
std::string StoredText(const RawValue& raw) {
    std::string text = raw.bytes;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string Dword(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey)); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kKey); }

    void Store(DWORD type, const std::string& bytes) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kKey, kValue, type, bytes));
    }

    // Opens the test key for reading, then queries; the open's failure when it does not open.
    template <typename Value>
    LONG Read(Value& out, const char* name = kValue) {
        RegistryKey key;
        const LONG opened = key.Open(HKEY_CURRENT_USER, kKey.c_str(), KEY_READ);
        return opened != ERROR_SUCCESS ? opened : key.QueryValue(name, out);
    }

    LONG Write(const char* name, DWORD type, const void* data, DWORD size) {
        RegistryKey key;
        const LONG created = key.Create(HKEY_CURRENT_USER, kKey.c_str(), KEY_WRITE);
        return created != ERROR_SUCCESS ? created : key.SetValue(name, type, data, size);
    }
};

TEST_F(RegistryKeyTest, MissingKeyLeavesOutValuesAndCreateMakesTheWholePath) {
    std::string text = "fallback";
    int32_t number = 42;
    EXPECT_EQ(Read(text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "fallback");
    EXPECT_EQ(Read(number), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(number, 42);

    const std::string deep = kKey + "\\one\\two";
    RegistryKey created;
    ASSERT_EQ(created.Create(HKEY_CURRENT_USER, deep.c_str(), KEY_WRITE), ERROR_SUCCESS);
    const DWORD five = 5;
    EXPECT_EQ(created.SetValue(kValue, REG_DWORD, &five, sizeof five), ERROR_SUCCESS);
    RegistryKey opened;
    ASSERT_EQ(opened.Open(HKEY_CURRENT_USER, deep.c_str(), KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(opened.QueryValue(kValue, number), ERROR_SUCCESS);
    EXPECT_EQ(number, 5);

    RegistryKey failed;
    EXPECT_EQ(failed.Open(HKEY_CURRENT_USER, (kKey + "\\absent").c_str(), KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(failed.get(), nullptr);
}

struct IntCase {
    const char* what;
    DWORD type;  // REG_NONE: nothing stored
    std::string bytes;
    LONG result;
    int32_t expected;  // the value read, or 12345 where the out value is left alone
};

TEST_F(RegistryKeyTest, IntegerQueryUnderstandsDwordAndDecimalText) {
    const IntCase cases[] = {
        {"DWORD", REG_DWORD, Dword(7), ERROR_SUCCESS, 7},
        {"negative DWORD", REG_DWORD, Dword(0xFFFFFFFEu), ERROR_SUCCESS, -2},
        {"text digit", REG_SZ, std::string("3", 2), ERROR_SUCCESS, 3},
        {"text without terminator", REG_SZ, "42", ERROR_SUCCESS, 42},
        {"text with blanks, sign and tail", REG_SZ, std::string("  -12abc", 9), ERROR_SUCCESS, -12},
        {"text letter", REG_SZ, std::string("x", 2), ERROR_SUCCESS, 0},
        {"missing", REG_NONE, "", ERROR_FILE_NOT_FOUND, 12345},
        {"binary", REG_BINARY, "3", ERROR_UNSUPPORTED_TYPE, 12345},
        {"expandable text", REG_EXPAND_SZ, std::string("3", 2), ERROR_UNSUPPORTED_TYPE, 12345},
        {"empty DWORD", REG_DWORD, "", ERROR_NO_DATA, 12345},
        {"text without data", REG_SZ, "", ERROR_NO_DATA, 12345},
        {"short DWORD", REG_DWORD, std::string("\x02\x01", 2), ERROR_SUCCESS, 0x0102},
        {"oversized DWORD", REG_DWORD, Dword(1) + Dword(2), ERROR_MORE_DATA, 12345},
    };
    for (const IntCase& c : cases) {
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey));
        if (c.type != REG_NONE) Store(c.type, c.bytes);
        else ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kKey, "other", REG_DWORD, Dword(0)));
        int32_t out = 12345;
        EXPECT_EQ(Read(out), c.result) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST_F(RegistryKeyTest, OversizedValueNeverWritesPastTheInteger) {
    Store(REG_DWORD, Dword(0x11111111) + Dword(0x22222222) + Dword(0x33333333));
    struct {
        int32_t value;
        int32_t guard[2];
    } target = {4, {0x5A5A5A5A, 0x5A5A5A5A}};
    EXPECT_EQ(Read(target.value), ERROR_MORE_DATA);
    EXPECT_EQ(target.value, 4);
    EXPECT_EQ(target.guard[0], 0x5A5A5A5A);
    EXPECT_EQ(target.guard[1], 0x5A5A5A5A);
}

struct StringCase {
    const char* what;
    DWORD type;  // REG_NONE: nothing stored
    std::string bytes;
    LONG result;
    std::string expected;  // the text read, or "unchanged" where the out value is left alone
};

TEST_F(RegistryKeyTest, TextQueryTakesTextUpToTheFirstZero) {
    const StringCase cases[] = {
        {"terminated", REG_SZ, std::string("E: Writer", 10), ERROR_SUCCESS, "E: Writer"},
        {"unterminated", REG_SZ, "E: Writer", ERROR_SUCCESS, "E: Writer"},
        {"binary", REG_BINARY, std::string("abc\0def", 7), ERROR_SUCCESS, "abc"},
        {"one zero byte", REG_SZ, std::string(1, '\0'), ERROR_SUCCESS, ""},
        {"missing", REG_NONE, "", ERROR_FILE_NOT_FOUND, "unchanged"},
        {"no data", REG_SZ, "", ERROR_NO_DATA, "unchanged"},
        {"DWORD", REG_DWORD, Dword(3), ERROR_UNSUPPORTED_TYPE, "unchanged"},
    };
    for (const StringCase& c : cases) {
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey));
        if (c.type != REG_NONE) Store(c.type, c.bytes);
        else ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kKey, "other", REG_DWORD, Dword(0)));
        std::string out = "unchanged";
        EXPECT_EQ(Read(out), c.result) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

// The raw query the engine loader reads its directory with: any type, at most the buffer.
TEST_F(RegistryKeyTest, RawQueryGivesTypeAndSizeOrLeavesThemAlone) {
    Store(REG_EXPAND_SZ, std::string("%SystemRoot%", 13));
    char buffer[16] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof buffer;
    RegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey.c_str(), KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryValue(kValue, type, buffer, size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(size, 13u);
    EXPECT_STREQ(buffer, "%SystemRoot%");

    type = REG_NONE;
    size = 4;
    EXPECT_EQ(key.QueryValue(kValue, type, buffer, size), ERROR_MORE_DATA);
    EXPECT_EQ(type, static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.QueryValue("absent", type, buffer, size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryKeyTest, SetValueStoresExactTypesAndSizes) {
    EXPECT_EQ(Write(kValue, REG_SZ, "ABCDEFGH", 8), ERROR_SUCCESS);
    RawValue raw = QueryRawValue(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredText(raw), "ABCDEFGH");
    EXPECT_LE(raw.bytes.size(), 9u);

    const DWORD minusThree = static_cast<DWORD>(-3);
    EXPECT_EQ(Write(kValue, REG_DWORD, &minusThree, sizeof minusThree), ERROR_SUCCESS);
    raw = QueryRawValue(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.bytes, Dword(0xFFFFFFFDu));

    // A key opened for reading only cannot be written through.
    RegistryKey readOnly;
    ASSERT_EQ(readOnly.Open(HKEY_CURRENT_USER, kKey.c_str(), KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(readOnly.SetValue(kValue, REG_SZ, "x", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(QueryRawValue(HKEY_CURRENT_USER, kKey, kValue).bytes, Dword(0xFFFFFFFDu));
}

TEST_F(RegistryKeyTest, EmptyValueNameMeansTheKeysDefaultValue) {
    EXPECT_EQ(Write("", REG_SZ, "default text", 12), ERROR_SUCCESS);
    EXPECT_EQ(StoredText(QueryRawValue(HKEY_CURRENT_USER, kKey, nullptr)), "default text");
    std::string text;
    EXPECT_EQ(Read(text, ""), ERROR_SUCCESS);
    EXPECT_EQ(text, "default text");
}

TEST_F(RegistryKeyTest, AnOpenKeyServesAsParent) {
    RegistryKey parent;
    ASSERT_EQ(parent.Create(HKEY_CURRENT_USER, kKey.c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    RegistryKey inner;
    ASSERT_EQ(inner.Create(parent.get(), "inner", KEY_WRITE), ERROR_SUCCESS);
    const DWORD eleven = 11;
    EXPECT_EQ(inner.SetValue(kValue, REG_DWORD, &eleven, sizeof eleven), ERROR_SUCCESS);
    EXPECT_EQ(QueryRawValue(HKEY_CURRENT_USER, kKey + "\\inner", kValue).bytes, Dword(11));
}

}  // namespace
