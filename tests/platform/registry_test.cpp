// The registry wrapper against Wine's registry; each test works under a key of its own that the
// fixture removes again (from both views of the machine hive where it wrote there).
#include "platform/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

const char kTestsKey[] = "Software\\MakoTests";

void deleteTree(HKEY root, REGSAM view, const std::string& name) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(root, kTestsKey, 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS) return;
    RegDeleteTreeA(parent, name.c_str());
    RegCloseKey(parent);
}

class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        deleteTree(HKEY_CURRENT_USER, 0, unique);
        deleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, unique);
        deleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, unique);
    }

    // Writes a value of any type and size, as a foreign program might have left it.
    void putRaw(const RegistryKey& key, const char* name, DWORD type, const void* data, size_t size) {
        ASSERT_EQ(RegSetValueExA(key.handle(), name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS);
    }

    std::string errorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "(no error)";
    }

    std::string unique = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                         std::to_string(GetCurrentProcessId());
    std::string path = std::string(kTestsKey) + "\\" + unique;
};

TEST_F(RegistryTest, MissingKeyThrowsOnOpenAndDoesNotExist) {
    EXPECT_EQ(errorOf([&] { RegistryKey::open(RegistryKey::user(), path); }), "open key (" + path + ") error: 2");
    EXPECT_FALSE(RegistryKey::exists(RegistryKey::user(), path));

    RegistryKey created = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    EXPECT_TRUE(created.isOwned());
    EXPECT_TRUE(RegistryKey::exists(RegistryKey::user(), path));
    // Read-only keys cannot write.
    RegistryKey readOnly = RegistryKey::open(RegistryKey::user(), path);
    EXPECT_EQ(errorOf([&] { readOnly.setDword("x", 1); }), "set dword value (x) error: 5");
}

TEST_F(RegistryTest, TypedValuesRoundTrip) {
    RegistryKey key = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    key.setDword("Number", 0xDEADBEEFu);
    key.setString("Text", "C:\\Dev Kits\\forge");
    key.setString("Empty", "");
    key.setBinary("Bytes", {0, 1, 0, 255});
    key.setBinary("NoBytes", {});

    RegistryKey reader = RegistryKey::open(RegistryKey::user(), path);
    EXPECT_EQ(reader.queryDword("Number"), 0xDEADBEEFu);
    EXPECT_EQ(reader.queryString("Text"), "C:\\Dev Kits\\forge");
    EXPECT_EQ(reader.queryString("Empty"), "");
    EXPECT_THAT(reader.queryBinary("Bytes"), ElementsAre(0, 1, 0, 255));
    EXPECT_THAT(reader.queryBinary("NoBytes"), IsEmpty());
    const RegistryValue raw = reader.queryValue("Text");
    EXPECT_EQ(raw.type, static_cast<uint32_t>(REG_SZ));
    EXPECT_EQ(raw.bytes.size(), std::strlen("C:\\Dev Kits\\forge") + 1) << "the terminating zero is stored";
    EXPECT_EQ(reader.queryStringOr("Missing", "fallback"), "fallback");
    EXPECT_EQ(reader.queryStringOr("Number", "fallback"), "fallback");
}

TEST_F(RegistryTest, ForeignValuesAreReadOrRefusedExactly) {
    RegistryKey key = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    const uint64_t qword = 7;
    putRaw(key, "sz_unterminated", REG_SZ, "abc", 3);
    putRaw(key, "sz_two_zeros", REG_SZ, "ab\0\0", 4);
    putRaw(key, "expand", REG_EXPAND_SZ, "%TEMP%\\x", 9);
    putRaw(key, "dword_8_bytes", REG_DWORD, &qword, 8);
    putRaw(key, "dword_2_bytes", REG_DWORD, "\1\2", 2);
    putRaw(key, "qword", REG_QWORD, &qword, 8);
    putRaw(key, "multi", REG_MULTI_SZ, "a\0b\0\0", 5);

    struct Row {
        const char* name;
        char as;  // s: string, d: dword, b: binary
        std::string expected;
    };
    const Row rows[] = {
        {"sz_unterminated", 's', "abc"},
        {"sz_two_zeros", 's', std::string("ab\0", 3)},
        {"expand", 's', "%TEMP%\\x"},
        {"dword_8_bytes", 'd', "query dword value (dword_8_bytes) error: wrong size"},
        {"dword_2_bytes", 'd', "query dword value (dword_2_bytes) error: wrong size"},
        {"qword", 's', "query string value (qword) error: wrong type"},
        {"multi", 's', "query string value (multi) error: wrong type"},
        {"sz_unterminated", 'd', "query dword value (sz_unterminated) error: wrong type"},
        {"qword", 'b', "query binary value (qword) error: wrong type"},
        {"missing", 's', "query value (missing) error: 2"},
        {"missing", 'd', "query value (missing) error: 2"},
    };
    for (const Row& row : rows) {
        std::string got;
        try {
            if (row.as == 's') got = key.queryString(row.name);
            if (row.as == 'd') got = std::to_string(key.queryDword(row.name));
            if (row.as == 'b') got = std::to_string(key.queryBinary(row.name).size());
        } catch (const std::runtime_error& e) {
            got = e.what();
        }
        EXPECT_EQ(got, row.expected) << row.name << " as " << row.as;
    }
}

TEST_F(RegistryTest, EnumeratesDirectSubkeys) {
    RegistryKey key = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    EXPECT_THAT(key.enumSubkeys(), IsEmpty());
    for (const char* name : {"3.1.0_27", "3.1", "1.8.0_201"}) RegistryKey::open(key, name, RegistryKey::ReadWrite);
    RegistryKey::open(key, "3.1\\below", RegistryKey::ReadWrite);
    EXPECT_THAT(key.enumSubkeys(), UnorderedElementsAre("3.1.0_27", "3.1", "1.8.0_201"));
}

TEST_F(RegistryTest, ViewIsInheritedByKeysBelow) {
    // The same path holds a different value in each view of the machine hive.
    for (const auto& [root, text] : {std::pair<const RegistryKey*, const char*>{&RegistryKey::machine32(), "32"},
                                     {&RegistryKey::machine64(), "64"}}) {
        RegistryKey leaf = RegistryKey::open(*root, path + "\\level1\\level2", RegistryKey::ReadWrite);
        leaf.setString("view", text);
    }
    struct Row {
        const RegistryKey* root;
        const char* expected;
    };
    const Row rows[] = {
        {&RegistryKey::machine32(), "32"},
        {&RegistryKey::machine64(), "64"},
        {&RegistryKey::machine(), sizeof(void*) == 8 ? "64" : "32"},  // the process's own view
    };
    for (const Row& row : rows) {
        RegistryKey top = RegistryKey::open(*row.root, path);
        RegistryKey middle = RegistryKey::open(top, "level1");
        RegistryKey leaf = RegistryKey::open(middle, "level2");
        EXPECT_EQ(leaf.view(), row.root->view());
        EXPECT_EQ(leaf.queryString("view"), row.expected) << "root view " << row.root->view();
    }
}

TEST_F(RegistryTest, MovedKeysOwnTheirHandleOnce) {
    RegistryKey first = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    RegistryKey second = std::move(first);
    EXPECT_FALSE(first.isOwned());
    EXPECT_EQ(first.handle(), nullptr);
    second.setString("still", "open");
    second = RegistryKey::open(RegistryKey::user64(), path);
    EXPECT_EQ(second.view(), static_cast<REGSAM>(KEY_WOW64_64KEY));
    EXPECT_EQ(second.queryString("still"), "open");
    EXPECT_FALSE(RegistryKey::user().isOwned());
}

TEST_F(RegistryTest, ReopenableKeyReadsBuildNumbers) {
    RegistryKey::open(RegistryKey::user(), path + "\\kit", RegistryKey::ReadWrite).setString("BuildNumber", "10");
    RegistryKey::open(RegistryKey::user(), path + "\\bare", RegistryKey::ReadWrite);

    ReopenableKey key(HKEY_CURRENT_USER);
    EXPECT_EQ(key.reopen(path + "\\missing", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.open());

    ASSERT_EQ(key.reopen(path + "\\kit", KEY_READ), ERROR_SUCCESS);
    RegistryValue value{99, {1}};
    EXPECT_EQ(key.queryBuildNumber(value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, static_cast<uint32_t>(REG_SZ));
    EXPECT_EQ(std::string(value.bytes.begin(), value.bytes.end()), std::string("10\0", 3));

    ASSERT_EQ(key.reopen(path + "\\bare", KEY_READ), ERROR_SUCCESS);
    EXPECT_TRUE(key.open());
    EXPECT_EQ(key.queryBuildNumber(value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value.type, 0u);
    EXPECT_THAT(value.bytes, IsEmpty());
}

}  // namespace
