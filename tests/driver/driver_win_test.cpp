// The driver's Win32 pieces under Wine that the end-to-end runs do not reach: the archive worker
// without archives, a stale marker, a missing user data folder, the reinstall status in the
// registry, the installer's path and the public runtime without its kit. The Velmora keys and the
// marker are shared with the launcher's end-to-end tests; CTest serialises them through resource
// locks.
#include <gtest/gtest.h>

#include <string>

#include "driver/install_flag.h"
#include "driver/install_sequence.h"
#include "driver/existing_installations_keys.h"
#include "driver/install_status.h"
#include "driver/public_runtime.h"
#include "driver/windows_installer.h"
#include "driver/payload_extraction.h"
#include "driver/user_data_folder.h"
#include "platform/all_utils.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/win_test_support.h"
// after windows.h
#include <shlobj.h>

namespace {

std::string userData() {
    char folder[MAX_PATH] = {};
    userDataFolder(folder);
    return folder;
}

// Without archive resources in this module every archive is skipped, and the waiting package still
// gets its event.
TEST(PayloadExtraction, WorkerSetsTheEventWhenArchivesAreMissing) {
    unique_handle event(CreateEventA(nullptr, TRUE, FALSE, payload::kCabExtractEventName));
    ASSERT_TRUE(event);
    ResetEvent(event.get());
    unique_handle worker(CreateThread(nullptr, 0, ExtractCabs, GetModuleHandleA(nullptr), 0, nullptr));
    ASSERT_TRUE(worker);
    ASSERT_EQ(WaitForSingleObject(worker.get(), 60000), WAIT_OBJECT_0);
    DWORD result = 0;
    GetExitCodeThread(worker.get(), &result);
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0);
    ResetEvent(event.get());
}

// One test, in this order: SetInstallFlag holds the marker until this process ends. The marker held
// by another launcher is shown end to end.
TEST(InstallFlag, StaleMarkerIsDeletedHeldOneIsSeen) {
    char flagPath[payload::kPathCapacity] = {};
    ASSERT_TRUE(GetInstallFlagPath(flagPath));
    EXPECT_EQ(std::string(flagPath), userData() + "\\Halden\\Mako\\MAKO_INSTALL_FLAG");
    const auto present = [&] { return GetFileAttributesA(flagPath) != INVALID_FILE_ATTRIBUTES; };
    EXPECT_FALSE(IsInstallInProgress(flagPath) || present()) << "no marker";
    unique_handle(CreateFileA(flagPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));  // left by a holder gone
    ASSERT_TRUE(present());
    EXPECT_FALSE(IsInstallInProgress(flagPath) || present()) << "a stale marker is deleted";

    ASSERT_TRUE(SetInstallFlag());
    EXPECT_TRUE(IsInstallInProgress(flagPath) && present());
    EXPECT_FALSE(SetInstallFlag()) << "a second launcher must not create it beside the first";
}

// A system that cannot name the user data folder: no path is built from an empty text, and the
// sequence ends with 3 after an ERROR line, before the marker, the payload or the runtime settings
// file is written (the arguments ask for an export).
TEST(UserDataFolder, MissingFolderEndsTheRunBeforeAnythingIsWritten) {
    const std::string log = wintest::scratchFile("no-user-data");
    wintest::GlobalLogRedirect redirect(log);
    char common[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common));
    const std::string settings = std::string(common) + "\\Brennic\\Mako\\mako.settings.cfg";
    const bool settingsExisted = fileExists(settings);
    const std::string settingsBefore = wintest::readFile(settings);

    struct Restore {
        UserDataFolderSource real;
        ~Restore() { SetUserDataFolderSource(real); }
    } restore{SetUserDataFolderSource([](char(&)[MAX_PATH]) {})};
    char path[payload::kPathCapacity] = "stale";
    EXPECT_FALSE(GetInstallFlagPath(path));
    EXPECT_FALSE(SetInstallFlag());
    EXPECT_FALSE(GetMsiPath(path, false));
    EXPECT_FALSE(GetCabPath(path, "ss310270", true));
    EXPECT_STREQ("", path);
    EXPECT_EQ(3, RunInstallSequence(GetModuleHandleA(nullptr), L"setup.exe /s AUTO_UPDATE=Disable"));

    EXPECT_EQ(settingsExisted, fileExists(settings));
    EXPECT_EQ(settingsBefore, wintest::readFile(settings));
    EXPECT_FALSE(fileExists("\\Halden") || fileExists("Halden"));
    const std::string logged = wintest::readFile(log);
    EXPECT_NE(std::string::npos, logged.find("\tERROR: The user data folder (FOLDERID_LocalAppDataLow) could not be "
                                             "found; nothing is written under it.")) << logged;
    EXPECT_EQ(std::string::npos, logged.find("Wrapper exit code")) << logged;
}

TEST(InstallerCommand, WindowsInstallerPath) {
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetWIPath(path, sizeof path));
    const std::string found = path;
    EXPECT_EQ(found.rfind("\\msiexec.exe"), found.size() - 12) << found;
    char small[12] = {};
    EXPECT_FALSE(GetWIPath(small, sizeof small));
}

bool keyExists(const std::string& key) {
    unique_hkey opened;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

TEST(InstallerCommand, InstallStatusRoundTrip) {
    const bool velmoraWasThere = keyExists("Software\\Velmora");
    unique_hkey velmora;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velmora", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, velmora.put(),
                              nullptr), ERROR_SUCCESS);
    char status[512] = {};
    ASSERT_TRUE(SetInstallStatus("reinstall"));
    ASSERT_TRUE(GetInstallStatus(status, sizeof status));
    EXPECT_STREQ(status, "reinstall");
    char small[9] = {};
    EXPECT_FALSE(GetInstallStatus(small, sizeof small)) << "refused, not read short";

    const DWORD number = 7;
    RegSetValueExA(velmora.get(), "InstallStatus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_FALSE(GetInstallStatus(status, sizeof status)) << "not a string";
    ASSERT_TRUE(SetInstallStatus(""));
    EXPECT_FALSE(GetInstallStatus(status, sizeof status)) << "empty";

    // A key with a subkey stays; once empty it goes with the value.
    unique_hkey sub;
    ASSERT_EQ(RegCreateKeyExA(velmora.get(), "DriverTestSub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.put(), nullptr),
              ERROR_SUCCESS);
    sub.reset();
    ASSERT_TRUE(SetInstallStatus(nullptr));
    EXPECT_FALSE(GetInstallStatus(status, sizeof status));
    EXPECT_TRUE(keyExists("Software\\Velmora"));
    RegDeleteKeyA(velmora.get(), "DriverTestSub");
    velmora.reset();
    ASSERT_TRUE(SetInstallStatus(nullptr));
    EXPECT_EQ(keyExists("Software\\Velmora"), velmoraWasThere);
    if (!velmoraWasThere) {
        EXPECT_FALSE(SetInstallStatus(nullptr)) << "the key is not created";
    }
}

// Without this version's kit key, or without loom.exe in the kit's folder, nothing runs.
TEST(PublicRuntime, NothingRunsWithoutTheKitsFolderOrItsInstaller) {
    const std::string kitKey = forgeVersionKey();
    ASSERT_FALSE(RegistryKey::exists(RegistryKey::machine(), kitKey)) << "an installed kit is in the way";
    const bool velmoraWasThere = keyExists("Software\\Velmora");
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
