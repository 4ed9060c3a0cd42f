// The driver's Win32 pieces under Wine that the end-to-end runs do not reach: a stale marker, a
// missing user data folder and the public runtime without its kit. The Velmora keys and the marker
// are shared with the launcher's end-to-end tests; CTest serialises them through resource locks.
#include <gtest/gtest.h>

#include <string>

#include "driver/install_flag.h"
#include "driver/install_sequence.h"
#include "driver/existing_installations_keys.h"
#include "driver/public_runtime.h"
#include "driver/update_agent.h"
#include "driver/user_data_folder.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/registry.h"
#include "platform/win_test_support.h"

namespace {

// One test, in this order. A folder under the marker's name and the marker held by another launcher
// are shown end to end.
TEST(InstallFlag, StaleMarkerIsDeletedAndAHeldOneIsSeen) {
    char flagPath[payload::kPathCapacity] = {};
    ASSERT_TRUE(GetInstallFlagPath(flagPath));
    EXPECT_EQ(InstallFlagState::Free, RemoveStaleInstallFlag(flagPath)) << "no marker";
    unique_handle(CreateFileA(flagPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));  // left by a holder gone
    ASSERT_TRUE(wintest::fileExists(flagPath));
    EXPECT_EQ(InstallFlagState::Free, RemoveStaleInstallFlag(flagPath));
    EXPECT_FALSE(wintest::fileExists(flagPath)) << "a stale marker is deleted";

    {
        const unique_handle held = SetInstallFlag();
        ASSERT_TRUE(held);
        EXPECT_EQ(InstallFlagState::HeldByAnother, RemoveStaleInstallFlag(flagPath));
        EXPECT_TRUE(wintest::fileExists(flagPath));
        EXPECT_FALSE(SetInstallFlag()) << "a second launcher must not create it beside the first";
    }
    EXPECT_FALSE(wintest::fileExists(flagPath)) << "the marker outlived its holder";
}

// A system that cannot name the user data folder: no path is built from an empty text. The sequence
// ends with 3 after an ERROR line, before the marker, the payload or the runtime settings file is
// written (the arguments ask for an export); the update agent's folder comes from the same required
// lookup, so the agent is skipped with that line and nothing lands under the drive's root.
TEST(UserDataFolder, MissingFolderEndsTheRunAndSkipsTheAgentBeforeAnythingIsWritten) {
    const std::string error = "\tERROR: The user data folder (FOLDERID_LocalAppDataLow) could not be found; nothing is "
                              "written under it.";
    const std::string log = wintest::scratchFile("no-user-data");
    wintest::ScopedValue redirect(globalLogger.path, log);
    const std::string settings = wintest::runtimeSettingsFile();
    const std::string settingsBefore = wintest::contentsOrNone(settings);

    struct Restore {
        UserDataFolderSource real;
        ~Restore() { SetUserDataFolderSource(real); }
    } restore{SetUserDataFolderSource([](char(&)[MAX_PATH]) {})};
    EXPECT_FALSE(SetInstallFlag());
    EXPECT_EQ(3, RunInstallSequence(GetModuleHandleA(nullptr), L"setup.exe /s AUTO_UPDATE=Disable"));

    EXPECT_EQ(settingsBefore, wintest::contentsOrNone(settings));
    EXPECT_FALSE(fileExists("\\Halden") || fileExists("Halden"));
    const std::string logged = wintest::readFile(log);
    EXPECT_NE(std::string::npos, logged.find(error)) << logged;
    EXPECT_EQ(std::string::npos, logged.find("Wrapper exit code")) << logged;

    EXPECT_EQ(update_agent::kAgentFolderNotCreated, ExtractAndInstallAU(GetModuleHandleA(nullptr), true));
    EXPECT_FALSE(fileExists("\\Brennic") || fileExists("Brennic"));
    EXPECT_NE(std::string::npos, wintest::readFile(log).find(error, logged.size())) << "the agent logged no ERROR line";
}

// Without this version's kit key, or without loom.exe in the kit's folder, nothing runs.
TEST(PublicRuntime, NothingRunsWithoutTheKitsFolderOrItsInstaller) {
    const std::string kitKey = forgeVersionKey();
    ASSERT_FALSE(RegistryKey::exists(RegistryKey::machine(), kitKey)) << "an installed kit is in the way";
    const bool velmoraWasThere = RegistryKey::exists(RegistryKey::machine(), "Software\\Velmora");
    EXPECT_EQ(PublicRuntimeOutcome::NoForgeHome, RunPublicRuntime(false, "", false));

    const std::string home = wintest::scratchFile("kit-home");
    ASSERT_TRUE(CreateDirectoryA(home.c_str(), nullptr));
    RegistryKey::open(RegistryKey::machine(), kitKey, RegistryKey::ReadWrite).setString("MakoHome", home);
    EXPECT_EQ(PublicRuntimeOutcome::NotPresent, RunPublicRuntime(true, "C:\\Runtime", true));
    EXPECT_TRUE(RemoveDirectoryA(home.c_str())) << "the kit's folder is left as it was";

    // Only what this test created goes: a key with subkeys refuses the deletion.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kitKey.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kitKey.substr(0, kitKey.rfind('\\')).c_str());
    if (!velmoraWasThere) RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Velmora");
}

}  // namespace
