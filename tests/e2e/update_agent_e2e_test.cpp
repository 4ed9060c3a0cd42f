// The update agent end to end: after a silent installation of the kit (whose stand-in runtime
// registers itself), the launcher installs the stand-in agent with Wine's msiexec.exe, replaces an
// older one with its policy carried over, and runs the registration program. Each case starts
// without an agent, its policy values and the test's folder override for maureg.exe.
#include <array>
#include <cstring>

#include "e2e/e2e_support.h"
// after windows.h
#include <wincrypt.h>
#include <dpapi.h>

namespace {

using namespace e2e;

const char kAgentKey[] = "SOFTWARE\\Velmora\\Auto Update";
const char kPolicyRoot[] = "SOFTWARE\\Velmora\\Mako Update";
const char kMucheckKey[] = "SOFTWARE\\Velmora\\Mako Update\\Policy\\mucheck";
const char kAgentTestKey[] = "SOFTWARE\\Velmora\\Mako Update Test";  // read by the stand-in package
const char kAgentProductCode[] = "{5C17A2B3-0D4E-4F61-8A29-3B6E1C7D9F04}";

using Schedule = std::array<uint32_t, 3>;  // frequency, hour, minute
const char* const kScheduleValues[] = {"Frequency", "UpdateSchedule", "UpdateMin"};

bool agentVersion(std::string& out) { return readString(kAgentKey, "AUVersion", out, KEY_WOW64_32KEY); }

// The schedule as current agents keep it under mucheck, written and read here with crypt32 linked
// directly: each value 4 little-endian bytes (as Windows keeps a number), machine-protected, as
// Base64 text without line breaks.
void writeProtectedSchedule(Schedule s) {
    for (int i = 0; i < 3; ++i) {
        DATA_BLOB in{sizeof s[i], reinterpret_cast<BYTE*>(&s[i])}, out{};
        ASSERT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr,
                                     CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &out));
        std::string text(out.cbData * 2 + 4, '\0');
        DWORD size = static_cast<DWORD>(text.size());
        CryptBinaryToStringA(out.pbData, out.cbData, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &text[0], &size);
        LocalFree(out.pbData);
        text.resize(size);
        EXPECT_TRUE(setString(kMucheckKey, kScheduleValues[i], text, KEY_WOW64_32KEY));
    }
}

std::optional<Schedule> currentSchedule() {
    Schedule s;
    for (int i = 0; i < 3; ++i) {
        std::string text;
        std::vector<BYTE> bytes(4096);
        DWORD size = static_cast<DWORD>(bytes.size());
        DATA_BLOB in{}, out{};
        if (!readString(kMucheckKey, kScheduleValues[i], text, KEY_WOW64_32KEY) ||
            !CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64, bytes.data(), &size, nullptr, nullptr))
            return std::nullopt;
        in = {size, bytes.data()};
        if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return std::nullopt;
        const bool ok = out.cbData == sizeof s[i];
        if (ok) std::memcpy(&s[i], out.pbData, sizeof s[i]);
        LocalFree(out.pbData);
        if (!ok) return std::nullopt;
    }
    return s;
}

// "<download>/<install>" from the current layout's two flags, "<none>" when one is missing.
std::string currentNotifyType() {
    const Key key = openKey(kMucheckKey, KEY_READ, KEY_WOW64_32KEY);
    DWORD flags[2] = {}, found = 0;
    for (const char* name : {"NotifyDownload", "NotifyInstall"}) {
        DWORD size = sizeof(DWORD);
        found += key && RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&flags[found]),
                                         &size) == ERROR_SUCCESS;
    }
    return found == 2 ? std::to_string(flags[0]) + "/" + std::to_string(flags[1]) : "<none>";
}

std::string agentPackage(const char* name) { return std::string(E2E_AGENT_DIR) + "\\" + name + ".msi"; }

class AgentE2E : public LauncherE2E {
protected:
    void TearDown() override {
        resetAgent();
        LauncherE2E::TearDown();
    }

    static void resetAgent() {
        std::string version;
        if (agentVersion(version)) msiexec(std::string("/x ") + kAgentProductCode + " /qn");
        for (const char* key : {kAgentKey, kPolicyRoot, kAgentTestKey}) deleteTree(key, KEY_WOW64_32KEY);
        // An empty Velmora key left in the 32-bit view would look like someone else's to other tests; one
        // with subkeys is not deleted.
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Velmora", KEY_WOW64_32KEY, 0);
        ASSERT_FALSE(agentVersion(version)) << "the agent could not be removed before the case";
    }
};

// What the launcher does for each agent found on the machine. An older agent without a schedule
// gets a fresh one, drawn from a generator seeded per run: two such rows draw different ones.
TEST_F(AgentE2E, AgentIsInstalledOnlyOverOlderOnesWithThePolicyCarriedOver) {
    // The defaults: a fresh agent, enabled, installed and registered.
    struct Row {
        const char* what;
        std::string logged;
        std::function<void()> prepare = [] {};
        Environment env = {};
        bool registers = true;
        std::optional<bool> installsEnabled = true;  // nothing: no agent install
        std::string versionAfter = "2.3.27.9";
        // An older agent replaced, its policy in the current layout (kFresh: a drawn schedule).
        std::optional<Schedule> scheduleAfter = std::nullopt;
        std::string installResult = "0", arguments = "/s";
    };
    const Schedule kFresh{0, 0, 0};
    const auto older = [] { EXPECT_EQ(0, installPackage(agentPackage("au2.3.5.0"))); };
    const auto withAgent = [](const char* name) { return [name] { EXPECT_EQ(0, installPackage(agentPackage(name))); }; };
    const auto withVersion = [](const char* v) { return [v] { EXPECT_TRUE(setString(kAgentKey, "AUVersion", v, KEY_WOW64_32KEY)); }; };
    const std::string enabled = "INFO: Auto Update is enabled", notUpgradable =
        "INFO: AU is not upgradable - Installed version >= the bundled version.";
    const Row fresh = {"an older agent without a schedule", "ERROR: getSchedule failed: ", older, {}, true, true, "2.3.27.9", kFresh};
    const std::vector<Row> rows = {
        {"no agent", enabled},
        // The kit's installer only answers 0: no runtime gets registered.
        {"no runtime registered", "INFO: Wrapper exit code: 0", [] {}, {{"MAKO_TEST_MSIEXEC_RESULT", "0"}}, false, std::nullopt, "<none>"},
        {"AUTO_UPDATE disabled", "INFO: Auto Update is disabled via configuration settings", [] {}, {}, true, false, "2.3.27.9",
         std::nullopt, "0", "/s AUTO_UPDATE=Disable"},
        {"the same agent", notUpgradable, withAgent("au"), {}, false, std::nullopt},
        {"a newer agent", notUpgradable, withVersion("2.3.30.0"), {}, false, std::nullopt, "2.3.30.0"},
        {"an agent of the older layout", enabled, withAgent("au2.2.90.1"), {}, true, true, "2.3.27.9", Schedule{0x110, 3, 15}},
        {"an older agent of the current layout", enabled, [&] { older(), writeProtectedSchedule({0x801, 17, 45}); }, {}, true, true,
         "2.3.27.9", Schedule{0x801, 17, 45}},
        fresh, fresh,
        {"an agent version that is not a version", "INFO: Installed AU version is not usable, treated as no AU installed",
         withVersion("2.3.x")},
        {"no registration program", "ERROR: Executor.exec(): CreateProcess failed",
         [] { EXPECT_TRUE(setString(kAgentTestKey, "MauregFolder", localLowFolder() + "\\mako-e2e-maureg\\", KEY_WOW64_32KEY)); },
         {}, false},
        {"the agent install fails", "INFO: Auto Update install failed", [] {}, {{"MAKO_TEST_AGENT_FAIL", "1"}}, false, true, "<none>",
         std::nullopt, "1603"},
    };
    std::vector<Schedule> drawn;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        resetAgent();
        row.prepare();
        const LauncherRun run = runLauncher(row.arguments, row.env);
        const std::string& maureg = run.mauregRecord;
        EXPECT_EQ(0, run.exitCode);
        EXPECT_EQ("Wrapper exit code: 0", run.lastMessage());
        EXPECT_TRUE(run.logged(row.logged)) << row.logged << "\n" << run.log;

        std::vector<std::string> endings, commands;  // the agent's installer calls follow the kit's
        if (row.scheduleAfter) endings.push_back(std::string(" /x ") + kAgentProductCode + " /qn -> 0");
        if (row.installsEnabled)
            endings.push_back(localLowFolder() + "\\Brennic\\Mako\\AU\\au.msi\"" +
                              (*row.installsEnabled ? " " : "DISABLE=1 ") + "ALLUSERS=1 /qn -> " + row.installResult);
        for (size_t i = 1; i < run.installerCalls.size(); ++i)
            commands.push_back(field(run.installerCalls[i], "command") + " -> " + field(run.installerCalls[i], "result"));
        ASSERT_EQ(endings.size(), commands.size()) << run.log;
        for (size_t i = 0; i < endings.size(); ++i) EXPECT_THAT(commands[i], EndsWith(endings[i]));

        std::string version = "<none>", disabled = "<none>", plain;
        agentVersion(version);
        EXPECT_EQ(row.versionAfter, version);
        if (row.installsEnabled && row.installResult == "0") {
            readString(kAgentKey, "InstalledDisabled", disabled, KEY_WOW64_32KEY);
            EXPECT_EQ(*row.installsEnabled ? "0" : "1", disabled);
        }
        if (row.registers) {
            EXPECT_THAT(maureg, HasSubstr("maureg.exe\" -r loom 3.1.0_27-b09")) << maureg;
            EXPECT_TRUE(equalsIgnoreCase(maureg.substr(1, maureg.find('"', 1) - 1),
                                         knownFolder(FOLDERID_ProgramFilesCommonX86) + "\\Mako\\Mako Update\\maureg.exe")) << maureg;
        }
        EXPECT_EQ(row.registers, !maureg.empty()) << maureg;
        if (row.scheduleAfter == kFresh) {
            ASSERT_TRUE(currentSchedule().has_value()) << run.log;
            drawn.push_back(*currentSchedule());
        } else if (row.scheduleAfter) {
            EXPECT_EQ(row.scheduleAfter, currentSchedule());
        }
        EXPECT_FALSE(row.scheduleAfter && readString(kPolicyRoot + std::string("\\Policy"), "Frequency", plain, KEY_WOW64_32KEY));
        EXPECT_EQ(row.scheduleAfter ? "0/1" : "<none>", currentNotifyType());
    }
    ASSERT_EQ(2u, drawn.size());
    EXPECT_NE(drawn[0], drawn[1]) << "the same schedule drawn twice";
}

// Reading an older agent's policy loads crypt32.dll, which imports bcrypt.dll by name. A bcrypt.dll
// beside the launcher, with Wine told to prefer native libraries of that name (the test's CTest
// entry sets WINEDLLOVERRIDES), is not loaded: the search for libraries leaves the launcher's folder out.
TEST_F(AgentE2E, LibraryPlantedBesideTheLauncherIsNotLoaded) {
    char overrides[256] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides);
    ASSERT_THAT(overrides, HasSubstr("bcrypt=n")) << "without the override Wine never loads the planted library";
    resetAgent();
    EXPECT_EQ(0, installPackage(agentPackage("au2.3.5.0")));
    writeProtectedSchedule({0x801, 17, 45});
    const std::string folder = nextRunFolder(), launcher = folder + "mako-forge-setup.exe", marker = folder + "planted-loaded";
    ASSERT_TRUE(CopyFileA(E2E_SETUP_EXE, launcher.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(E2E_PLANTED_LIBRARY_DLL, (folder + "bcrypt.dll").c_str(), FALSE));

    const LauncherRun run = runLauncher("/s", {{"MAKO_TEST_PLANTED_MARKER", marker}}, launcher, folder);
    EXPECT_FALSE(fileExists(marker)) << "the planted bcrypt.dll was loaded";
    EXPECT_EQ(0, run.exitCode) << run.log;
    EXPECT_EQ(Schedule({0x801, 17, 45}), currentSchedule());  // the policy was read and carried over
}

}  // namespace
