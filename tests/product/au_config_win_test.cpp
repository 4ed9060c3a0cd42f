// The update agent's policy store against Wine's registry and data protection, each test under a
// policy key of its own in both hives' 32-bit views, removed again by the fixture. The test reads
// and writes the raw values itself (crypt32 linked directly) to check what the store leaves.
#include "product/au_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <wincrypt.h>
#include <dpapi.h>

#include "platform/win_test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

const char kTestsKey[] = "Software\\MakoTests";

std::vector<uint8_t> protectBytes(std::vector<uint8_t> bytes, DWORD flags) {
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), bytes.data()}, out{};
    EXPECT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, flags | CRYPTPROTECT_UI_FORBIDDEN, &out));
    std::vector<uint8_t> result(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return result;
}

std::vector<uint8_t> unprotectBytes(std::vector<uint8_t> bytes) {
    DATA_BLOB in{static_cast<DWORD>(bytes.size()), bytes.data()}, out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return {};
    std::vector<uint8_t> result(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return result;
}

std::string base64(const std::vector<uint8_t>& bytes) {
    DWORD size = 0;
    CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF,
                         nullptr, &size);
    std::string text(size, '\0');
    CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF,
                         &text[0], &size);
    text.resize(size);
    return text;
}

std::vector<uint8_t> fromBase64(const std::string& text) {
    DWORD size = 0;
    CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, nullptr, &size, nullptr,
                         nullptr);
    std::vector<uint8_t> bytes(size);
    CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(), &size,
                         nullptr, nullptr);
    return bytes;
}

std::vector<uint8_t> littleEndian(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

class PolicyStoreTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            HKEY parent = nullptr;
            if (RegOpenKeyExA(root, kTestsKey, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent) != ERROR_SUCCESS) continue;
            RegDeleteTreeA(parent, unique.c_str());
            RegCloseKey(parent);
        }
        DeleteFileA(logPath.c_str());
    }

    // The value as stored under root (32-bit view) at <policy>[\sub].
    RegistryValue raw(const RegistryKey& root, const std::string& sub, const std::string& name) {
        return RegistryKey::open(root, sub.empty() ? policy : policy + "\\" + sub).queryValue(name);
    }
    RegistryKey writable(const std::string& sub) {
        return RegistryKey::open(RegistryKey::machine32(), sub.empty() ? policy : policy + "\\" + sub,
                                 RegistryKey::ReadWrite);
    }
    std::string log() { return wintest::readFile(logPath); }

    std::string unique = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                         std::to_string(GetCurrentProcessId());
    std::string policy = std::string(kTestsKey) + "\\" + unique + "\\Policy";
    std::string logPath = wintest::scratchFile("au-" + unique);
    wintest::GlobalLogRedirect redirect{logPath};
};

// Each encryption type in each layout lands where and as what the agent expects, and reads back.
TEST_F(PolicyStoreTest, EncryptionTypesRoundTripInBothLayouts) {
    const struct Row {
        int32_t layout;
        au::RegValueSpec spec;
        bool user;
        const char* sub;
        uint32_t type;
    } rows[] = {
        {1, au::values::StartupDelay, false, "", REG_DWORD},
        {1, au::values::NotifyInstall, false, "mucheck", REG_DWORD},
        {1, au::values::SDVC, true, "", REG_BINARY},
        {1, au::values::Frequency, false, "mucheck", REG_SZ},
        {0, au::values::Frequency, false, "", REG_DWORD},
        {0, au::values::NotifyDownload, false, "", REG_DWORD},
        {0, au::values::OOBD, true, "", REG_BINARY},
    };
    uint32_t value = 0x0A0B0C0D;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.layout) + " " + row.spec.name);
        ++value;
        {
            au::RegData data(row.layout, policy);
            data.setValue(row.spec, value);
            EXPECT_EQ(value, data.getValue(row.spec));
        }
        const RegistryValue stored = raw(row.user ? RegistryKey::user32() : RegistryKey::machine32(), row.sub, row.spec.name);
        ASSERT_EQ(row.type, stored.type);
        std::vector<uint8_t> plain = stored.bytes;
        if (row.type == REG_BINARY) plain = unprotectBytes(stored.bytes);
        if (row.type == REG_SZ) {
            const std::string text(stored.bytes.begin(), stored.bytes.end() - 1);
            EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << text;
            plain = unprotectBytes(fromBase64(text));
        }
        EXPECT_EQ(littleEndian(value), plain);
    }
}

// Layout 0 reads the schedule as plain words under the policy key; layout 1 as protected Base64
// text under mucheck. A protected value of the wrong size is refused and the schedule replaced.
TEST_F(PolicyStoreTest, SchedulesAreReadFromTheLayoutsOwnPlace) {
    {
        RegistryKey old = writable("");
        old.setDword("Frequency", 0x0110);
        old.setDword("UpdateSchedule", 3);
        old.setDword("UpdateMin", 15);
        RegistryKey current = writable("mucheck");
        current.setString("Frequency", base64(protectBytes(littleEndian(0x0801), CRYPTPROTECT_LOCAL_MACHINE)));
        current.setString("UpdateSchedule", base64(protectBytes(littleEndian(17), CRYPTPROTECT_LOCAL_MACHINE)));
        current.setString("UpdateMin", base64(protectBytes(littleEndian(45), CRYPTPROTECT_LOCAL_MACHINE)));
    }
    bool ok = false;
    EXPECT_EQ((au::Schedule{0x0110, 3, 15}), au::Config(0, policy).getSchedule(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ((au::Schedule{0x0801, 17, 45}), au::Config(1, policy).getSchedule(&ok));
    EXPECT_TRUE(ok);

    writable("mucheck").setString("UpdateMin", base64(protectBytes({1, 2, 3}, CRYPTPROTECT_LOCAL_MACHINE)));
    au::RegData data(1, policy);
    EXPECT_THAT([&] { data.getValue(au::values::UpdateMin); },
                ThrowsMessage<std::runtime_error>("decrypted data has wrong size"));
    EXPECT_THAT(log(), HasSubstr("(au::RegData::getValue)]\r\n\tERROR: getValue(DWORD) failed: decrypted data has wrong size"));

    writable("mucheck").setString("UpdateMin", "not base64 !");
    EXPECT_THAT([&] { data.getValue(au::values::UpdateMin); },
                ThrowsMessage<std::runtime_error>(HasSubstr("string2binary (phase1) failed, sysError=")));
}

// A missing schedule is replaced by a fresh one from the generator and stored; when even storing
// fails, ok says so.
TEST_F(PolicyStoreTest, MissingScheduleIsDrawnAfreshAndStored) {
    au::seedScheduleGenerator(1);
    bool ok = false;
    const au::Schedule first = au::Config(1, policy).getSchedule(&ok);
    EXPECT_EQ((au::Schedule{0x240, 22, 40}), first);
    EXPECT_TRUE(ok);
    EXPECT_EQ(first, au::Config(1, policy).getSchedule(&ok)) << "the fresh schedule was not stored";
    EXPECT_THAT(log(), HasSubstr("(au::Config::getSchedule)]\r\n\tERROR: getSchedule failed: open key (" + policy +
                                 "\\mucheck) error: 2, rescheduling"));

    const std::string unwritable = std::string(kTestsKey) + "\\" + unique + "\\" + std::string(300, 'k');
    EXPECT_EQ((au::Schedule{0x408, 6, 18}), au::Config(1, unwritable).getSchedule(&ok));
    EXPECT_FALSE(ok);
}

TEST_F(PolicyStoreTest, NotificationTypeIsExactlyOneFlagElseResetToDownload) {
    const struct Row {
        bool present;
        uint32_t download, install;
        int32_t expected;
        bool reset;
    } rows[] = {{true, 1, 0, 0, false}, {true, 0, 7, 1, false}, {true, 1, 1, 0, true}, {true, 0, 0, 0, true},
                {false, 0, 0, 0, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.download) + "/" + std::to_string(row.install));
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (policy + "\\mucheck").c_str(), KEY_WOW64_32KEY, 0);
        if (row.present) {
            RegistryKey key = writable("mucheck");
            key.setDword("NotifyDownload", row.download);
            key.setDword("NotifyInstall", row.install);
        }
        DeleteFileA(logPath.c_str());
        EXPECT_EQ(row.expected, au::Config(1, policy).getNotifyType());
        const uint32_t download = row.reset ? 1 : row.download, install = row.reset ? 0 : row.install;
        EXPECT_EQ(download, raw(RegistryKey::machine32(), "mucheck", "NotifyDownload").bytes[0]);
        EXPECT_EQ(install, raw(RegistryKey::machine32(), "mucheck", "NotifyInstall").bytes[0]);
        if (row.present && row.reset) {
            EXPECT_THAT(log(), HasSubstr("(au::Config::getNotifyType)]\r\n\tERROR: getNotifyType failed: inconsistent "
                                         "data, reset to default"));
        }
    }

    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (policy + "\\mucheck").c_str(), KEY_WOW64_32KEY, 0);
    au::Config config(1, policy);
    EXPECT_THAT([&] { config.setNotifyType(2); }, ThrowsMessage<std::runtime_error>("unknown notifyType"));
    EXPECT_THAT(log(), HasSubstr("(au::Config::setNotifyType)]\r\n\tERROR: setNotifyType: unknown value: 2"));
    EXPECT_FALSE(RegistryKey::exists(RegistryKey::machine32(), policy + "\\mucheck")) << "something was written";
    config.setNotifyType(1);
    EXPECT_EQ(1, config.getNotifyType());
}

}  // namespace
