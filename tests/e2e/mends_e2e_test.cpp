// Unsafe input end to end: folders that are links, a payload someone else tries to swap while the
// installer runs, an event left set by another process, an archive that cannot be written.
#include "e2e/e2e_support.h"
// after windows.h
#include <tlhelp32.h>

namespace {

using namespace e2e;

// Ends the processes of this image name still running: a stand-in left behind by a failing case
// would keep CTest waiting for its output. How many there were.
size_t endProcessesNamed(const char* image) {
    size_t count = 0;
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        if (!equalsIgnoreCase(entry.szExeFile, image)) continue;
        ++count;
        if (const Handle process{OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)}) TerminateProcess(process.get(), 1);
    }
    return count;
}

// A link (a Unix symbolic link: a plain CreateFile follows one at a file, Windows programs see one at
// a folder as a reparse point) on the way of the payload or of the update agent's package, or at the
// log, leads into someone else's folder or file: nothing is written through it. The package's links
// are refused with 5 and an ERROR line naming them; the log is best-effort, so that run installs.
// The runtime settings folders and file are refused with -80 before anything there is read or written,
// also in a run whose installation would fail and restore the file.
TEST_F(LauncherE2E, LinksAreNeverWrittenThrough) {
    // link: as the ERROR line names it, empty: the log in the run's folder; installerCalls: checked with
    // the ERROR line, not for the log.
    struct Row { const char* what; std::string link; bool folder; long exitCode; size_t installerCalls; Environment env = {}; };
    const std::string work = workFolder(kWorkFolderName), agent = localLowFolder() + "\\Brennic\\Mako\\AU\\";
    const Row rows[] = {
        {"Halden folder", localLowFolder() + "\\Halden\\", true, 5, 0},
        {"work folder", work, true, 5, 0},
        {"kit's package", work + "\\forge3.1.0_27.msi", false, 5, 0},
        // Reached only after a good installation of the kit.
        {"update agent's folder", agent, true, 5, 1},
        {"update agent's package", agent + "au.msi", false, 5, 1},
        {"log", "", false, 0, 0},
        {"runtime settings folder", runtimeSettingsFolder(), true, -80, 0},
        {"Brennic folder", knownFolder(FOLDERID_ProgramData) + "\\Brennic", true, -80, 0},
        {"runtime settings file", runtimeSettingsFile(), false, -80, 0},
        {"runtime settings folder, failing install", runtimeSettingsFolder(), true, -80, 0, {{"MAKO_TEST_MSIEXEC_RESULT", "1603"}}},
        {"Brennic folder, failing install", knownFolder(FOLDERID_ProgramData) + "\\Brennic", true, -80, 0, {{"MAKO_TEST_MSIEXEC_RESULT", "1603"}}},
        {"runtime settings file, failing install", runtimeSettingsFile(), false, -80, 0, {{"MAKO_TEST_MSIEXEC_RESULT", "1603"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        const std::string victim = nextRunFolder() + "victim", bytes = "someone else's file\r\n";
        const std::string folder = nextRunFolder(), named = row.link.empty() ? folder + "musched.log" : row.link;
        const std::string link = named.substr(0, named.find_last_not_of('\\') + 1);
        removeTree(victim);  // left by an earlier run of the case
        if (row.folder) createFolders(victim);
        else writeFile(victim, bytes);
        createFolders(link.substr(0, link.rfind('\\')));
        const bool reparsePoint = makeLink(link, victim);  // what Windows programs see of a folder link
        ASSERT_TRUE(row.folder ? reparsePoint : readFile(link) == bytes) << link << " does not lead to the victim";

        const LauncherRun run = runLauncher("/s", row.env, E2E_SETUP_EXE, folder);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.log;
        if (row.folder) EXPECT_THAT(filesIn(victim, true), IsEmpty()) << "written through the link into " << victim;
        else EXPECT_TRUE(readFile(victim) == bytes) << "written through " << link;  // not printed: a package
        EXPECT_FALSE(run.logged("someone else's file")) << "the victim's content reached the log";
        if (row.exitCode != 0) {
            EXPECT_TRUE(run.logged(std::string("ERROR: ") + (row.folder ? "Folder is a link or junction" : "File is a link") +
                                   (row.exitCode == 5 ? ", not written through: " : ", not used: ") + link)) << run.log;
            EXPECT_EQ(row.installerCalls, run.installerCalls.size());
        }
        removeTree(link);
    }
}

// A runtime settings file planted by someone without administrator rights sets only the key the
// launcher keeps there; the others are logged once each and reach no command. A failed
// installation puts the file back byte for byte (sorted, CRLF: as the settings library writes it).
TEST_F(LauncherE2E, RuntimeSettingsFileSetsOnlyTheKeysKeptThere) {
    const std::string planted =
        "/INSTALLDIRPUBLOOM=C:\\PlantedRt\r\nADDLOCAL=PlantedFeature\r\nAUTO_UPDATE=Disable\r\n"
        "INSTALLDIR=C:\\PlantedKit\r\nMSI_CMDLINE=TRANSFORMS=C:\\Users\\Public\\x.mst\r\n";
    // The installed run's file, exported from the run's values, shows the one key taken from it.
    const struct { const char* what; Environment env; std::string fileAfter; } rows[] = {
        {"installed", {}, "AUTO_UPDATE=Disable\r\n"}, {"installation failed", {{"MAKO_TEST_MSIEXEC_RESULT", "1603"}}, planted}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        resetMachine();
        writeSettings(planted);
        const LauncherRun run = runLauncher("/s", row.env);

        for (const char* key : {"/INSTALLDIRPUBLOOM", "ADDLOCAL", "INSTALLDIR", "MSI_CMDLINE"}) {
            const std::string warning = std::string("WARNING: Key ") + key + " in the runtime configuration file ";
            const auto warns = [&](const std::string& entry) { return entry.find(warning) == 0; };
            EXPECT_EQ(1, std::count_if(run.entries.begin(), run.entries.end(), warns)) << key;
        }
        ASSERT_FALSE(run.installerCalls.empty()) << run.log;
        for (const RecordedCall& call : run.installerCalls)
            EXPECT_THAT(field(call, "command"), ::testing::AllOf(Not(HasSubstr("Planted")), Not(HasSubstr("x.mst"))));
        EXPECT_THAT(run.loomRecord, Not(HasSubstr("Planted")));
        EXPECT_EQ(row.fileAfter, readFile(runtimeSettingsFile()));
    }
}

// While the installer runs, this process (another than the launcher) can read every payload file but
// neither overwrite nor delete nor rename it; the installation then succeeds.
TEST_F(LauncherE2E, PayloadIsHeldAgainstOtherWritersWhileInstallerRuns) {
    const std::string folder = nextRunFolder(), release = folder + "release";
    Process launcher;
    start(launcher, E2E_SETUP_EXE, "/s", folder, {{"MAKO_TEST_PAUSE_UNTIL", release}});
    ASSERT_TRUE(waitFor(archivesReady, &launcher)) << "the launcher did not reach the installer";

    const auto opens = [](const std::string& path, DWORD access, DWORD sharing) {
        const HANDLE file = CreateFileA(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        return file != INVALID_HANDLE_VALUE && CloseHandle(file);
    };
    for (const char* name : kPayloadFiles) {
        SCOPED_TRACE(name);
        const std::string path = workFolder(kWorkFolderName) + "\\" + name;
        EXPECT_FALSE(opens(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) << "opened for writing";
        EXPECT_FALSE(DeleteFileA(path.c_str())) << "deleted";
        EXPECT_FALSE(MoveFileA(path.c_str(), (path + ".swapped").c_str())) << "renamed";
        EXPECT_TRUE(opens(path, GENERIC_READ, FILE_SHARE_READ)) << "not readable";
    }

    writeFile(release, "");
    EXPECT_EQ(0, finish(launcher, folder).exitCode);
}

// A folder stands where an archive is to be written while the installer (the stand-in, held at its
// start) runs. The worker reports the failure and sets the event so that the package stops waiting;
// the launcher stays until its installer has ended, and meanwhile a second launcher is refused. Then
// it puts the runtime settings back and ends with the Windows error code. The test left the event set
// beforehand (as another process could): the launcher resets it before the archives are written.
TEST_F(LauncherE2E, ArchiveWriteFailureEndsAfterTheInstallerWithErrorCodeAndSettingsBack) {
    for (const char* archive : {"ss310270.cab", "sz310270.cab"}) {  // the first and the last one written
        SCOPED_TRACE(archive);
        resetMachine();
        const std::string settingsBefore = "# kept\nEULA=Enable\r\n\nAUTO_UPDATE=Disable";
        const std::string blocked = workFolder(kWorkFolderName) + "\\" + archive;
        writeSettings(settingsBefore);
        createFolders(blocked);
        const Handle event(CreateEventA(nullptr, TRUE, TRUE, "HaldenForgeCabExtractWaitEvent"));
        ASSERT_TRUE(event);

        const std::string folder = nextRunFolder(), release = folder + "release";
        Process launcher;
        start(launcher, E2E_SETUP_EXE, "AUTO_UPDATE=Enable /s", folder,
              {{"MAKO_TEST_PAUSE_UNTIL", release}, {"MAKO_TEST_EVENT_WAIT_MS", "0"}, {"MAKO_TEST_MSIEXEC_RESULT", "1603"}});
        const std::string failure = "Installer : Wrapper.CreateFile  failed with error 5: ";
        EXPECT_TRUE(waitFor([&] { return readFile(folder + "musched.log").find(failure) != std::string::npos; }, &launcher))
            << "the worker did not report the archive";
        EXPECT_TRUE(waitFor(archivesReady, &launcher)) << "the event was not set after the failure";
        EXPECT_TRUE(launcher.running()) << "the launcher ended under its installer";
        const LauncherRun second = runLauncher("/s");
        EXPECT_EQ(-1, second.exitCode) << second.lastMessage();

        writeFile(release, "");
        const LauncherRun run = finish(launcher, folder);
        EXPECT_EQ(ERROR_ACCESS_DENIED, run.exitCode);
        // The stand-in writes its record when it ends: it ended before the launcher did.
        ASSERT_EQ(1u, run.installerCalls.size()) << "the installer had not ended when the launcher did";
        EXPECT_EQ("1603", field(run.installerCalls[0], "result"));
        EXPECT_TRUE(run.logged("ERROR: " + failure)) << run.log;
        EXPECT_TRUE(run.logged(" File: " + blocked)) << run.log;
        EXPECT_TRUE(run.logged("WARNING: HaldenForgeCabExtractWaitEvent already existed; reset before extracting cabs")) << run.log;
        EXPECT_THAT(run.log, Not(HasSubstr("Wrapper exit code")));
        EXPECT_EQ(settingsBefore, readFile(runtimeSettingsFile()));
        RemoveDirectoryA(blocked.c_str());
        endProcessesNamed("msiexec.exe");
    }
}

// The real installer never ends, as Wine's does when it loses the process it starts for the kit's
// action. The recording msiexec.exe ends the installer with the process it started, retries once when
// the event was set and the action never ran (what Wine's loss looks like), and otherwise reports a
// timeout naming the event and the action's state, in seconds instead of hanging the case.
TEST_F(LauncherE2E, StuckInstallerIsEndedAndRetriedOnlyWhenTheKitActionNeverRan) {
    // once: the retry reaches the system's installer; stuck: in the record's installer-stuck line.
    struct Row { const char* stall; bool once; long exitCode; const char* stuck; bool retried; };
    const Row rows[] = {
        {"server", true, 0, "kit action never started", true},
        {"server", false, ERROR_TIMEOUT, "kit action never started", true},
        {"action", false, ERROR_TIMEOUT, "kit action started, last: WaitForArchives: started (stalled_installer)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.stall) + (row.once ? " once" : ""));
        resetMachine();
        const std::string folder = nextRunFolder();
        Environment env = {{"MAKO_TEST_REAL_MSIEXEC", E2E_STALLED_INSTALLER_EXE}, {"MAKO_TEST_STALL", row.stall},
                           {"MAKO_TEST_INSTALLER_WAIT_MS", "3000"}};
        if (row.once) env.push_back({"MAKO_TEST_STALL_ONCE", folder + "stalled-once"});
        const LauncherRun run = runLauncher("/s", env, E2E_SETUP_EXE, folder);
        EXPECT_EQ(row.exitCode, run.exitCode) << run.log;
        ASSERT_LE(1u, run.installerCalls.size());
        const RecordedCall& call = run.installerCalls[0];
        EXPECT_THAT(field(call, "installer-stuck"),
                    HasSubstr("no end after 3000 ms; event HaldenForgeCabExtractWaitEvent signalled; " +
                              std::string(row.stuck) + "; ended 2 installer processes"));
        EXPECT_EQ(row.retried, field(call, "retried") != "<none>");
        EXPECT_EQ(row.retried && !row.once, field(call, "installer-stuck-again") != "<none>");
        EXPECT_EQ(0u, endProcessesNamed("stalled_installer.exe")) << "installer processes the recorder started still ran";
        if (row.exitCode == 0) expectKitInstalled();
    }
}

}  // namespace
