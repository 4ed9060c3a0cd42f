// The registry wrapper against Wine's registry; each test works under a key of its own that the
// fixture removes again (from both views of the machine hive where it wrote there).
#include "platform/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
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

    std::string unique = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                         std::to_string(GetCurrentProcessId());
    std::string path = std::string(kTestsKey) + "\\" + unique;
};

TEST_F(RegistryTest, OpenCreateAndTypedValuesRoundTrip) {
    EXPECT_THAT([&] { RegistryKey::open(RegistryKey::user(), path); },
                ThrowsMessage<std::runtime_error>("open key (" + path + ") error: 2"));
    EXPECT_FALSE(RegistryKey::exists(RegistryKey::user(), path));
    RegistryKey key = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    key.setDword("Number", 0xDEADBEEFu);
    key.setString("Text", "C:\\Dev Kits\\forge");
    key.setBinary("Bytes", {0, 1, 0, 255});

    RegistryKey reader = RegistryKey::open(RegistryKey::user(), path);
    EXPECT_THAT([&] { reader.setDword("x", 1); }, ThrowsMessage<std::runtime_error>("set dword value (x) error: 5"));
    EXPECT_EQ(reader.queryDword("Number"), 0xDEADBEEFu);
    EXPECT_EQ(reader.queryString("Text"), "C:\\Dev Kits\\forge");
    EXPECT_EQ(reader.queryValue("Text").bytes.size(), std::strlen("C:\\Dev Kits\\forge") + 1) << "terminating zero stored";
    EXPECT_THAT(reader.queryBinary("Bytes"), ElementsAre(0, 1, 0, 255));
    EXPECT_EQ(reader.queryStringOr("Missing", "fallback"), "fallback");
    EXPECT_EQ(reader.queryStringOr("Number", "fallback"), "fallback");
}

TEST_F(RegistryTest, ForeignValuesAreReadOrRefusedExactly) {
    RegistryKey key = RegistryKey::open(RegistryKey::user(), path, RegistryKey::ReadWrite);
    const std::string qword("\7\0\0\0\0\0\0\0", 8);
    const struct { const char* name; DWORD type; std::string data; } foreign[] = {  // as other programs leave them
        {"sz_unterminated", REG_SZ, "abc"},
        {"sz_two_zeros", REG_SZ, std::string("ab\0\0", 4)},
        {"expand", REG_EXPAND_SZ, std::string("%TEMP%\\x", 9)},
        {"dword_8_bytes", REG_DWORD, qword},
        {"qword", REG_QWORD, qword},
        {"multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
    };
    for (const auto& value : foreign) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.handle(), value.name, 0, value.type,
                                                reinterpret_cast<const BYTE*>(value.data.data()), DWORD(value.data.size())));
    }
    struct Row { const char* name; char as; std::string expected; };  // as: s string, d dword, b binary
    const Row rows[] = {
        {"sz_unterminated", 's', "abc"},
        {"sz_two_zeros", 's', std::string("ab\0", 3)},
        {"expand", 's', "%TEMP%\\x"},
        {"dword_8_bytes", 'd', "query dword value (dword_8_bytes) error: wrong size"},
        {"qword", 's', "query string value (qword) error: wrong type"},
        {"multi", 's', "query string value (multi) error: wrong type"},
        {"sz_unterminated", 'd', "query dword value (sz_unterminated) error: wrong type"},
        {"qword", 'b', "query binary value (qword) error: wrong type"},
        {"missing", 's', "query value (missing) error: 2"},
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

TEST_F(RegistryTest, ViewIsInheritedByKeysBelowAndOnlyDirectSubkeysAreListed) {
    // The same path holds a different value in each view of the machine hive.
    RegistryKey::open(RegistryKey::machine32(), path + "\\level1\\level2", RegistryKey::ReadWrite).setString("view", "32");
    RegistryKey::open(RegistryKey::machine64(), path + "\\level1\\level2", RegistryKey::ReadWrite).setString("view", "64");
    RegistryKey::open(RegistryKey::machine64(), path + "\\other", RegistryKey::ReadWrite);
    const std::pair<const RegistryKey*, const char*> rows[] = {
        {&RegistryKey::machine32(), "32"},
        {&RegistryKey::machine64(), "64"},
        {&RegistryKey::machine(), sizeof(void*) == 8 ? "64" : "32"},  // the process's own view
    };
    for (const auto& [root, expected] : rows) {
        RegistryKey top = RegistryKey::open(*root, path);
        RegistryKey leaf = RegistryKey::open(RegistryKey::open(top, "level1"), "level2");
        EXPECT_EQ(leaf.view(), root->view());
        EXPECT_EQ(leaf.queryString("view"), expected) << "root view " << root->view();
    }
    RegistryKey moved = RegistryKey::open(RegistryKey::machine64(), path);
    RegistryKey owner = std::move(moved);
    EXPECT_EQ(moved.handle(), nullptr);
    EXPECT_THAT(owner.enumSubkeys(), UnorderedElementsAre("level1", "other"));
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
    EXPECT_EQ(key.queryBuildNumber(value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value.type, 0u);
    EXPECT_THAT(value.bytes, IsEmpty());
}

}  // namespace
