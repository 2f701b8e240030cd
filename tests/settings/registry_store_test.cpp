#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "base/handles.h"
#include "settings/registry_store.h"
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

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey));
        store.root = HKEY_CURRENT_USER;
    }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kKey); }

    void Store(DWORD type, const std::string& bytes) {
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kKey, kValue, type, bytes));
    }

    RegistryStore store;
};

TEST_F(RegistryStoreTest, MissingKeyGivesDefaultsAndFirstWriteCreatesWholePath) {
    std::string text;
    int32_t number = 0;
    bool flag = false;
    EXPECT_FALSE(store.ReadString(kKey.c_str(), kValue, text, "fallback"));
    EXPECT_EQ(text, "fallback");
    EXPECT_FALSE(store.ReadInt(kKey.c_str(), kValue, number, 42));
    EXPECT_EQ(number, 42);
    EXPECT_FALSE(store.ReadBool(kKey.c_str(), kValue, flag, true));
    EXPECT_TRUE(flag);

    const std::string deep = kKey + "\\one\\two";
    EXPECT_TRUE(store.WriteInt(deep.c_str(), kValue, 5));
    EXPECT_TRUE(store.ReadInt(deep.c_str(), kValue, number, 0));
    EXPECT_EQ(number, 5);
}

struct IntCase {
    const char* what;
    DWORD type;
    std::string bytes;
    int32_t defaultValue;
    bool result;
    int32_t expected;
};

TEST_F(RegistryStoreTest, ReadIntUnderstandsDwordAndDecimalText) {
    const IntCase cases[] = {
        {"DWORD", REG_DWORD, Dword(7), -1, true, 7},
        {"negative DWORD", REG_DWORD, Dword(0xFFFFFFFEu), 0, true, -2},
        {"text digit", REG_SZ, std::string("3", 2), -1, true, 3},
        {"text without terminator", REG_SZ, "42", -1, true, 42},
        {"text with blanks, sign and tail", REG_SZ, std::string("  -12abc", 9), 0, true, -12},
        {"text letter", REG_SZ, std::string("x", 2), 9, true, 0},
        {"binary", REG_BINARY, "3", 9, false, 9},
        {"expandable text", REG_EXPAND_SZ, std::string("3", 2), 9, false, 9},
        {"empty DWORD", REG_DWORD, "", 9, false, 9},
        {"short DWORD", REG_DWORD, std::string("\x02\x01", 2), -1, true, 0x0102},
        {"oversized DWORD", REG_DWORD, Dword(1) + Dword(2), 9, false, 9},
    };
    for (const IntCase& c : cases) {
        Store(c.type, c.bytes);
        int32_t out = 12345;
        EXPECT_EQ(store.ReadInt(kKey.c_str(), kValue, out, c.defaultValue), c.result) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST_F(RegistryStoreTest, OversizedValueNeverWritesPastTheInteger) {
    Store(REG_DWORD, Dword(0x11111111) + Dword(0x22222222) + Dword(0x33333333));
    struct {
        int32_t value;
        int32_t guard[2];
    } target = {0, {0x5A5A5A5A, 0x5A5A5A5A}};
    EXPECT_FALSE(store.ReadInt(kKey.c_str(), kValue, target.value, 4));
    EXPECT_EQ(target.value, 4);
    EXPECT_EQ(target.guard[0], 0x5A5A5A5A);
    EXPECT_EQ(target.guard[1], 0x5A5A5A5A);

    bool flag = false;
    EXPECT_FALSE(store.ReadBool(kKey.c_str(), kValue, flag, true));
    EXPECT_TRUE(flag);
}

struct BoolCase {
    const char* what;
    DWORD type;
    std::string bytes;
    bool defaultValue;
    bool expected;
};

TEST_F(RegistryStoreTest, ReadBoolIsTrueForAnyNonZeroInteger) {
    const BoolCase cases[] = {
        {"DWORD 7", REG_DWORD, Dword(7), false, true},
        {"DWORD 0", REG_DWORD, Dword(0), true, false},
        {"text 0", REG_SZ, std::string("0", 2), true, false},
        {"binary keeps default true", REG_BINARY, "\x01", true, true},
        {"binary keeps default false", REG_BINARY, "\x01", false, false},
    };
    for (const BoolCase& c : cases) {
        Store(c.type, c.bytes);
        bool out = !c.expected;
        store.ReadBool(kKey.c_str(), kValue, out, c.defaultValue);
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

struct StringCase {
    const char* what;
    DWORD type;
    std::string bytes;
    bool result;
    std::string expected;
};

TEST_F(RegistryStoreTest, ReadStringTakesTextUpToTheFirstZero) {
    const StringCase cases[] = {
        {"terminated", REG_SZ, std::string("E: Writer", 10), true, "E: Writer"},
        {"unterminated", REG_SZ, "E: Writer", true, "E: Writer"},
        {"binary", REG_BINARY, std::string("abc\0def", 7), true, "abc"},
        {"one zero byte", REG_SZ, std::string(1, '\0'), true, ""},
        {"no data", REG_SZ, "", false, "default"},
        {"DWORD", REG_DWORD, Dword(3), false, "default"},
    };
    for (const StringCase& c : cases) {
        Store(c.type, c.bytes);
        std::string out = "garbage";
        EXPECT_EQ(store.ReadString(kKey.c_str(), kValue, out, "default"), c.result) << c.what;
        EXPECT_EQ(out, c.expected) << c.what;
    }
}

TEST_F(RegistryStoreTest, WritesStoreExactTypesAndSizes) {
    EXPECT_TRUE(store.WriteString(kKey.c_str(), kValue, "ABCDEFGH"));
    RawValue raw = QueryRawValue(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(StoredText(raw), "ABCDEFGH");
    EXPECT_LE(raw.bytes.size(), 9u);

    EXPECT_TRUE(store.WriteString(kKey.c_str(), kValue, ""));
    raw = QueryRawValue(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, std::string(1, '\0'));
    std::string text = "garbage";
    EXPECT_TRUE(store.ReadString(kKey.c_str(), kValue, text, "default"));
    EXPECT_EQ(text, "");

    EXPECT_TRUE(store.WriteInt(kKey.c_str(), kValue, -3));
    raw = QueryRawValue(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.bytes, Dword(0xFFFFFFFDu));

    EXPECT_TRUE(store.WriteBool(kKey.c_str(), kValue, true));
    EXPECT_EQ(QueryRawValue(HKEY_CURRENT_USER, kKey, kValue).bytes, Dword(1));
    EXPECT_TRUE(store.WriteBool(kKey.c_str(), kValue, false));
    EXPECT_EQ(QueryRawValue(HKEY_CURRENT_USER, kKey, kValue).bytes, Dword(0));
}

TEST_F(RegistryStoreTest, EmptyValueNameMeansTheKeysDefaultValue) {
    EXPECT_TRUE(store.WriteString(kKey.c_str(), "", "default text"));
    EXPECT_EQ(StoredText(QueryRawValue(HKEY_CURRENT_USER, kKey, nullptr)), "default text");
    std::string text;
    EXPECT_TRUE(store.ReadString(kKey.c_str(), "", text, ""));
    EXPECT_EQ(text, "default text");
}

TEST_F(RegistryStoreTest, LowerLayerServesAnyRoot) {
    UniqueRegKey root;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, root.put(),
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_TRUE(registry::WriteInt(root.get(), "inner", kValue, 11));
    int32_t out = 0;
    EXPECT_TRUE(registry::ReadInt(HKEY_CURRENT_USER, (kKey + "\\inner").c_str(), kValue, out, 0));
    EXPECT_EQ(out, 11);

    // A store handed a key of the caller's reads through it, and closes it when it goes.
    RegistryStore owner;
    owner.OwnRoot(std::move(root));
    out = 0;
    EXPECT_TRUE(owner.ReadInt("inner", kValue, out, 0));
    EXPECT_EQ(out, 11);
}

// The lower layer tells what happened; the store keeps telling what it always told.
TEST_F(RegistryStoreTest, LowerLayerSaysHowFarEachReadGot) {
    using registry::Result;
    enum Read { kString, kInt };
    const struct {
        const char* what;
        Read read;
        DWORD type;  // REG_NONE: nothing stored
        std::string bytes;
        LONG code;
        Result::Reached reached;
        bool reported;
    } cases[] = {
        {"text", kString, REG_SZ, "abc", ERROR_SUCCESS, Result::kValueFound, true},
        {"missing value", kString, REG_NONE, "", ERROR_FILE_NOT_FOUND, Result::kKeyOpen, false},
        {"DWORD as text", kString, REG_DWORD, Dword(3), ERROR_UNSUPPORTED_TYPE, Result::kKeyOpen, false},
        {"text without data", kString, REG_SZ, "", ERROR_NO_DATA, Result::kKeyOpen, false},
        {"DWORD", kInt, REG_DWORD, Dword(3), ERROR_SUCCESS, Result::kValueFound, true},
        {"missing number", kInt, REG_NONE, "", ERROR_FILE_NOT_FOUND, Result::kKeyOpen, false},
        {"binary number", kInt, REG_BINARY, Dword(3), ERROR_UNSUPPORTED_TYPE, Result::kKeyOpen, false},
        {"empty DWORD", kInt, REG_DWORD, "", ERROR_NO_DATA, Result::kKeyOpen, false},
        {"oversized DWORD", kInt, REG_DWORD, Dword(1) + Dword(2), ERROR_MORE_DATA, Result::kKeyOpen, false},
        // Found, but its data could not be taken: the store has always called that a success.
        {"number text without data", kInt, REG_SZ, "", ERROR_NO_DATA, Result::kValueFound, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey));
        if (c.type != REG_NONE) {
            Store(c.type, c.bytes);
        } else {
            ASSERT_TRUE(store.WriteInt(kKey.c_str(), "other", 0));
        }
        std::string text;
        int32_t number = 0;
        const Result result = c.read == kString
                                  ? registry::ReadString(HKEY_CURRENT_USER, kKey.c_str(), kValue, text, "default")
                                  : registry::ReadInt(HKEY_CURRENT_USER, kKey.c_str(), kValue, number, 9);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.reached, c.reached);
        if (!result) {
            EXPECT_TRUE(c.read == kString ? text == "default" : number == 9) << "the default is kept";
        }
        const bool reported = c.read == kString ? store.ReadString(kKey.c_str(), kValue, text, "default")
                                                : store.ReadInt(kKey.c_str(), kValue, number, 9);
        EXPECT_EQ(reported, c.reported);
    }
    ASSERT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, kKey));
    std::string text;
    const Result noKey = registry::ReadString(HKEY_CURRENT_USER, kKey.c_str(), kValue, text, "");
    EXPECT_EQ(noKey.code, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(noKey.reached, Result::kNothing);
}

}  // namespace
