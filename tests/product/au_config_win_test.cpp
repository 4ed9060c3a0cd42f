// The update agent's policy store against Wine's registry and data protection, each test under a
// policy key of its own in both hives' 32-bit views, removed again by the fixture. The test reads
// and writes the raw values itself (crypt32 linked directly) to check what the store leaves.
#include "product/au_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/win_test_support.h"
#include "product/protected_values.h"

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using protected_values::littleEndian;
using protected_values::machineProtectedText;

const char kTestsKey[] = "Software\\MakoTests";

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
        if (row.type == REG_BINARY) plain = protected_values::unprotect(stored.bytes);
        if (row.type == REG_SZ) {
            const std::string text(stored.bytes.begin(), stored.bytes.end() - 1);
            EXPECT_EQ(std::string::npos, text.find_first_of("\r\n")) << text;
            plain = protected_values::unprotect(protected_values::fromBase64(text));
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
        current.setString("Frequency", machineProtectedText(littleEndian(0x0801)));
        current.setString("UpdateSchedule", machineProtectedText(littleEndian(17)));
        current.setString("UpdateMin", machineProtectedText(littleEndian(45)));
    }
    bool ok = false;
    EXPECT_EQ((au::Schedule{0x0110, 3, 15}), au::Config(0, policy).getSchedule(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ((au::Schedule{0x0801, 17, 45}), au::Config(1, policy).getSchedule(&ok));
    EXPECT_TRUE(ok);

    writable("mucheck").setString("UpdateMin", machineProtectedText({1, 2, 3}));
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
