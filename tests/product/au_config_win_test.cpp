// The update agent's policy store against Wine's registry and data protection, each test under a
// policy key of its own in the 32-bit view, removed again by the fixture. The protected form as the
// agent reads it is checked end to end (tests/e2e/update_agent_e2e_test.cpp).
#include "product/au_config.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/logger.h"
#include "platform/win_test_support.h"

namespace {

using ::testing::HasSubstr;

const char kTestsKey[] = "Software\\MakoTests";

class PolicyStoreTest : public ::testing::Test {
protected:
    void TearDown() override {
        wintest::deleteTree(std::string(kTestsKey) + "\\" + unique, KEY_WOW64_32KEY);
        DeleteFileA(logPath.c_str());
    }
    RegistryKey key(const std::string& sub) {
        return RegistryKey::open(RegistryKey::machine32(), sub.empty() ? policy : policy + "\\" + sub, RegistryKey::ReadWrite);
    }

    std::string unique = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                         std::to_string(GetCurrentProcessId());
    std::string policy = std::string(kTestsKey) + "\\" + unique + "\\Policy";
    std::string logPath = wintest::scratchFile("au-" + unique);
    wintest::ScopedValue<std::string> redirect{globalLogger.path, logPath};
};

// The schedule is one line of protected Base64 under mucheck, as the agent reads it; both layouts'
// schedules carried over to the new agent are shown end to end. The notification type is exactly
// one of two flags.
TEST_F(PolicyStoreTest, ScheduleIsOneLineAndNotificationIsOneFlag) {
    au::Config(1, policy).setSchedule({0x0111, 3, 45});
    const RegistryValue stored = key("mucheck").queryValue("UpdateMin");
    EXPECT_EQ(std::string::npos, std::string(stored.bytes.begin(), stored.bytes.end()).find_first_of("\r\n"))
        << "one line of Base64";

    au::Config config(1, policy);
    EXPECT_EQ(0, config.readOrResetNotifyType()) << "missing: download";
    key("mucheck").setDword("NotifyInstall", 1);  // both flags: inconsistent
    EXPECT_EQ(0, au::Config(1, policy).readOrResetNotifyType());
    EXPECT_EQ(0u, key("mucheck").queryDword("NotifyInstall")) << "reset to download";
}

// A schedule that is missing or unreadable is drawn afresh from the seeded generator and stored;
// when even storing fails, ok says so.
TEST_F(PolicyStoreTest, MissingScheduleIsDrawnAfreshAndStored) {
    au::seedScheduleGenerator(1);
    bool ok = false;
    const au::Schedule first = au::Config(1, policy).getSchedule(&ok);
    EXPECT_EQ((au::Schedule{0x240, 22, 40}), first);
    EXPECT_TRUE(ok);
    EXPECT_EQ(first, au::Config(1, policy).getSchedule(&ok)) << "the fresh schedule was not stored";
    EXPECT_THAT(wintest::readFile(logPath), HasSubstr("(au::Config::getSchedule)]\r\n\tERROR: getSchedule failed: open key (" +
                                                      policy + "\\mucheck) error: 2, rescheduling"));

    const std::string unwritable = std::string(kTestsKey) + "\\" + unique + "\\" + std::string(300, 'k');
    EXPECT_EQ((au::Schedule{0x408, 6, 18}), au::Config(1, unwritable).getSchedule(&ok));
    EXPECT_FALSE(ok);

    key("mucheck").setString("UpdateMin", "not base64 !");
    EXPECT_FALSE(first == au::Config(1, policy).getSchedule(&ok)) << "an unreadable schedule was kept";
    EXPECT_TRUE(ok);
}

}  // namespace
