// The driver's Win32 pieces under Wine: work folders under the prefix's real user data folder, the
// marker held across processes, the reinstall status in the registry, the installer's path and the
// public-runtime run. The machine-wide pieces (Velmora keys, marker, work folder) are shared with the
// launcher's end-to-end tests; CTest serialises them through resource locks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/install_flag.h"
#include "driver/installer_command.h"
#include "driver/payload_extraction.h"
#include "driver/product_version.h"
#include "platform/all_utils.h"
#include "platform/handles.h"
#include "platform/sysinfo.h"
#include "platform/win_test_support.h"

namespace {

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string userData() {
    char folder[MAX_PATH] = {};
    userDataFolder(folder);
    return folder;
}

TEST(PayloadExtraction, PathsAndFoldersUnderTheUserDataFolder) {
    const std::string u = userData();
    ASSERT_FALSE(u.empty());
    for (const bool nativeX64 : {false, true}) {
        const std::string work = u + "\\Halden\\Mako\\forge3.1.0_27" + (nativeX64 ? "_x64" : "");
        char msi[payload::kPathCapacity] = {};
        ASSERT_TRUE(GetMsiPath(msi, nativeX64));
        EXPECT_EQ(std::string(msi), work + "\\forge3.1.0_27.msi");
        char cab[payload::kPathCapacity] = {};
        ASSERT_TRUE(GetCabPath(cab, "sz310270", nativeX64));
        EXPECT_EQ(std::string(cab), work + "\\sz310270.cab");
        EXPECT_TRUE(isFolder(work)) << work;
    }
    char cab[payload::kPathCapacity] = {};
    EXPECT_FALSE(GetCabPath(cab, std::string(250, 'n').c_str(), false));
    EXPECT_EQ(cab[0], '\0');
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

// One test, in this order: SetInstallFlag holds the marker until this process ends.
TEST(InstallFlag, HeldMarkerIsSeenStaleMarkerIsDeleted) {
    char flagPath[payload::kPathCapacity] = {};
    ASSERT_TRUE(GetInstallFlagPath(flagPath));
    EXPECT_EQ(std::string(flagPath), userData() + "\\Halden\\Mako\\MAKO_INSTALL_FLAG");
    EXPECT_FALSE(IsInstallInProgress(flagPath)) << "no marker, or a stale one";
    EXPECT_EQ(GetFileAttributesA(flagPath), INVALID_FILE_ATTRIBUTES);

    {  // another process holds the file
        const std::string ready = "driver-test-hold-" + std::to_string(GetCurrentProcessId());
        unique_handle readyEvent(CreateEventA(nullptr, TRUE, FALSE, ready.c_str()));
        unique_process_information holder = wintest::startHelper("hold_file", {flagPath, "60000", ready});
        ASSERT_EQ(WaitForSingleObject(readyEvent.get(), 60000), WAIT_OBJECT_0);
        EXPECT_TRUE(IsInstallInProgress(flagPath));
        EXPECT_NE(GetFileAttributesA(flagPath), INVALID_FILE_ATTRIBUTES);
        TerminateProcess(holder.process(), 0);
        WaitForSingleObject(holder.process(), 60000);
    }
    // The holder is gone and left its file: stale.
    EXPECT_FALSE(IsInstallInProgress(flagPath));
    EXPECT_EQ(GetFileAttributesA(flagPath), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(SetInstallFlag());
    EXPECT_TRUE(IsInstallInProgress(flagPath));
    EXPECT_NE(GetFileAttributesA(flagPath), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(SetInstallFlag()) << "a second launcher must not create it beside the first";
}

TEST(InstallerCommand, WindowsInstallerPath) {
    char path[MAX_PATH] = {};
    ASSERT_TRUE(GetWIPath(path, sizeof path));
    EXPECT_TRUE(endsWith(path, "\\msiexec.exe")) << path;
    char small[12] = {};
    EXPECT_FALSE(GetWIPath(small, sizeof small));
}

// Creates the keys of path under HKLM that do not exist yet and deletes exactly those again.
class ScratchKeys {
public:
    explicit ScratchKeys(const std::string& path) {
        size_t end = 0;
        while (end != std::string::npos) {
            end = path.find('\\', end + 1);
            const std::string key = path.substr(0, end);
            if (RegistryKeyExists(key)) continue;
            unique_hkey created;
            EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                      created.put(), nullptr),
                      ERROR_SUCCESS)
                << key;
            createdKeys.push_back(key);
        }
    }
    ~ScratchKeys() {
        for (auto key = createdKeys.rbegin(); key != createdKeys.rend(); ++key) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, key->c_str());
        }
    }
    bool created(const std::string& key) const {
        for (const std::string& k : createdKeys) {
            if (k == key) return true;
        }
        return false;
    }
    static bool RegistryKeyExists(const std::string& key) {
        unique_hkey opened;
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
    }

private:
    std::vector<std::string> createdKeys;
};

TEST(InstallerCommand, InstallStatusRoundTrip) {
    ScratchKeys keys("Software\\Velmora");
    char status[512] = {};
    ASSERT_TRUE(SetInstallStatus("reinstall"));
    ASSERT_TRUE(GetInstallStatus(status, sizeof status));
    EXPECT_STREQ(status, "reinstall");
    char small[9] = {};
    EXPECT_FALSE(GetInstallStatus(small, sizeof small)) << "refused, not read short";

    unique_hkey velmora;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Velmora", 0, KEY_ALL_ACCESS, velmora.put()), ERROR_SUCCESS);
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
    EXPECT_TRUE(ScratchKeys::RegistryKeyExists("Software\\Velmora"));
    RegDeleteKeyA(velmora.get(), "DriverTestSub");
    velmora.reset();
    ASSERT_TRUE(SetInstallStatus(nullptr));
    EXPECT_EQ(ScratchKeys::RegistryKeyExists("Software\\Velmora"), !keys.created("Software\\Velmora"));
    if (!ScratchKeys::RegistryKeyExists("Software\\Velmora")) {
        EXPECT_FALSE(SetInstallStatus(nullptr)) << "the key is not created";
    }
}

std::string recordArgsProgram() {
    std::string path = RECORD_ARGS_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

TEST(InstallerCommand, PublicRuntimeRunsOnceAndIsDeleted) {
    const std::string kitKey = std::string("SOFTWARE\\Velmora\\Mako Development Kit\\") + product_version::kProductVersion;
    ScratchKeys keys(kitKey);
    unique_hkey kit;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kitKey.c_str(), 0, KEY_ALL_ACCESS, kit.put()), ERROR_SUCCESS);
    const std::string savedHome = [&] {
        char home[kCommandCapacity] = {};
        return FindForgeHome(home) ? std::string(home) : std::string();
    }();

    const std::string home = SysInfo::getTempDir() + "\\driver-kit-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(home.c_str(), nullptr);
    RegSetValueExA(kit.get(), "MakoHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(home.c_str()),
                   static_cast<DWORD>(home.size() + 1));
    const std::string loom = home + "\\loom.exe";

    EXPECT_EQ(RunPublicRuntime(false, "", false), PublicRuntimeOutcome::NotPresent);
    ASSERT_TRUE(CopyFileA(recordArgsProgram().c_str(), loom.c_str(), FALSE)) << recordArgsProgram();
    EXPECT_EQ(RunPublicRuntime(true, "D:\\Run Time", true), PublicRuntimeOutcome::Ran);
    EXPECT_EQ(GetFileAttributesA(loom.c_str()), INVALID_FILE_ATTRIBUTES) << "loom.exe must be gone";
    std::ifstream recorded(loom + ".args");
    std::stringstream text;
    text << recorded.rdbuf();
    EXPECT_EQ(text.str(), "\"" + loom + "\" /s LAUNCHEDFROMFORGE=1 NOSTARTMENU=1 INSTALLDIR=\"D:\\Run Time\"  REBOOT=ReallySuppress");
    recorded.close();
    DeleteFileA((loom + ".args").c_str());
    RemoveDirectoryA(home.c_str());

    if (savedHome.empty()) {
        RegDeleteValueA(kit.get(), "MakoHome");
        EXPECT_EQ(RunPublicRuntime(false, "", false), PublicRuntimeOutcome::NoForgeHome);
    } else {
        RegSetValueExA(kit.get(), "MakoHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(savedHome.c_str()),
                       static_cast<DWORD>(savedHome.size() + 1));
    }
}

}  // namespace
