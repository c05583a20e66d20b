// The Windows Installer package as an administrator deploys it: msiexec installs it silently
// with properties that give the PC its first settings, refuses a bad property before anything
// is installed, upgrades an older package in place and removes the product again, keeping the
// settings and the log.

#include <windows.h>

#include <msi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ProductFacts.h"
#include "tests/e2e/InstalledProduct_win.h"
#include "tests/e2e/LocalChrony.h"
#include "tests/support/WindowsTimeStandIn_win.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kUpgradeCode = "{5E0B6C52-3D0B-4C3E-9A55-7C2F1D0B4A61}";

// Where the shortcut lies: the common Start menu on Windows; Wine's installer resolves the
// menu folder of a per-machine package to the user's.
std::vector<std::string> MenuFolders() {
    const std::string folder = "\\Microsoft\\Windows\\Start Menu\\Programs\\Horalux Clock Service";
    return {Expand("%ProgramData%") + folder, Expand("%AppData%") + folder};
}

bool ShortcutExists() {
    for (const std::string& folder : MenuFolders()) {
        if (FileExists(folder + "\\Horalux Clock Service Console.lnk")) {
            return true;
        }
    }
    return false;
}

std::string FolderListing(const std::string& folder) {
    std::string names;
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found) != FALSE) {
        names += std::string(found.cFileName) + "\n";
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    return names;
}

// The products of this upgrade code that are installed, with their versions.
std::vector<std::string> InstalledVersions() {
    std::vector<std::string> versions;
    char product[39] = {};
    for (DWORD index = 0; ::MsiEnumRelatedProductsA(kUpgradeCode, 0, index, product) == ERROR_SUCCESS;
         ++index) {
        char version[64] = {};
        DWORD size = sizeof version;
        ::MsiGetProductInfoA(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        versions.emplace_back(version);
    }
    return versions;
}

class MsiPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ServiceState(), 0u) << "a Horalux service is left over from an earlier test";
        RemoveSettings();
    }

    void TearDown() override {
        for (const char* package : {HORALUX_MSI, HORALUX_OLDER_MSI}) {
            DWORD exitCode = 0;
            RunToEnd("msiexec /x \"" + OnDriveZ(package) + "\" /qn", 120s, &exitCode);
        }
        RemoveLeftovers();
        for (const std::string& folder : MenuFolders()) {
            ::DeleteFileA((folder + "\\Horalux Clock Service Console.lnk").c_str());
            ::RemoveDirectoryA(folder.c_str());
        }
        RemoveSettings();
        ::DeleteFileA(WindowsFile("zHoraluxHelp.chm").c_str());
        ::DeleteFileA(m_strLog.c_str());
    }

    static void RemoveSettings() {
        for (const char* name : {"zHoraluxServ.ini", "zHoraluxServ.log", "zHoraluxServ.bin"}) {
            ::DeleteFileA(WindowsFile(name).c_str());
        }
    }

    // msiexec on a package, silently, with a verbose log; its exit code.
    DWORD Msiexec(const char* action, const char* package, const std::string& properties = "") {
        DWORD exitCode = 1;
        EXPECT_TRUE(RunToEnd("msiexec " + std::string(action) + " \"" + OnDriveZ(package) + "\" /qn " +
                                 properties + " /l*v \"" + m_strLog + "\"",
                             180s, &exitCode))
            << "msiexec did not end";
        return exitCode;
    }

    const std::string m_strLog = Expand("%TEMP%\\horalux-msi.log");
};

TEST_F(MsiPackageTest, InstallsWithPropertiesSynchronisesAndUninstallsKeepingTheSettings) {
    CLocalChrony chrony;
    ASSERT_TRUE(chrony.start("127.0.0.1")) << chrony.error();
    ASSERT_EQ(Msiexec("/i", HORALUX_MSI, "SERVERS=\"Local~127.0.0.1\" MODE=demand"), 0u);

    ExpectInstalledServiceRunning();
    EXPECT_TRUE(FileExists(Installed("HoraluxCons.exe")));
    EXPECT_TRUE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_TRUE(ShortcutExists());
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{HORALUX_VERSION_TEXT});
    // The properties' settings and nothing else: every other setting keeps its default.
    EXPECT_EQ(
        ReadWholeFile(WindowsFile("zHoraluxServ.ini")),
        "[Options]\r\nnSynPeriod=3\r\n[Servers]\r\nServers_Counter=1\r\nServers 0=Local~127.0.0.1~1\r\n");

    CChildProcess console;
    ASSERT_TRUE(console.start("\"" + Installed("HoraluxCons.exe") + "\"", InstallFolder()));
    const HWND window = ui_driver::waitForWindow("Horalux Clock Service Console", console.pid());
    ASSERT_NE(window, nullptr);
    bool bRefused = false;
    EXPECT_TRUE(SynchroniseFromConsole(window, console.pid(), &bRefused))
        << "result: \"" << ui_driver::text(window, IDC_RESULT) << "\"";
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(console.waitForExit(30s));
    const std::string settings = ReadWholeFile(WindowsFile("zHoraluxServ.ini"));

    ASSERT_EQ(Msiexec("/x", HORALUX_MSI), 0u);
    EXPECT_EQ(ServiceState(), 0u) << "the service is still registered";
    EXPECT_FALSE(FileExists(InstallFolder())) << FolderListing(InstallFolder());
    EXPECT_FALSE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_FALSE(ShortcutExists());
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.ini")), settings);
    const std::string log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
    EXPECT_NE(log.find("] Manualy. Successful. Server: Local. Round Trip Delay: "), std::string::npos) << log;
    EXPECT_NE(log.find("] Is closed\r\n"), std::string::npos) << log;
}

TEST_F(MsiPackageTest, ABadPropertyStopsTheInstallationBeforeAnythingIsInstalled) {
    struct Bad {
        const char* properties;
        const char* named;
    };
    const Bad cases[] = {
        {"MODE=weekly", "MODE"},
        {"OFFSET=660", "OFFSET"},
        {"ATTEMPTS=0", "ATTEMPTS"},
        {"ONLYSUCCESSLOG=2", "ONLYSUCCESSLOG"},
        {"LOGLENGTH=9", "LOGLENGTH"},
        {"SERVERS=\"Local~127.0.0.1~x;Other~127.0.0.2\"", "SERVERS"},  // a "~" in the address
        {"SERVERS=\";\"", "SERVERS"},                                  // an empty list
        {"SERVERS=\"Local~127.0.0.1\" STARTINGSERVER=1", "STARTINGSERVER"},
        {"W32TIME=stop", "W32TIME"},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.properties);
        EXPECT_NE(Msiexec("/i", HORALUX_MSI, bad.properties), 0u);
        EXPECT_EQ(ServiceState(), 0u);
        EXPECT_FALSE(FileExists(InstallFolder()));
        EXPECT_FALSE(FileExists(WindowsFile("zHoraluxServ.ini")));
        EXPECT_TRUE(InstalledVersions().empty());
        const std::string log = ReadWholeFile(m_strLog);
        EXPECT_NE(log.find(std::string("Horalux: The property ") + bad.named + " has a bad value"),
                  std::string::npos)
            << log.substr(0, 4000);
    }
}

TEST_F(MsiPackageTest, ANewerPackageReplacesAnOlderOneAndKeepsTheSettings) {
    ASSERT_EQ(Msiexec("/i", HORALUX_OLDER_MSI, "SERVERS=\"Local~127.0.0.1\" MODE=demand"), 0u);
    ASSERT_EQ(InstalledVersions(), std::vector<std::string>{"1.0"});
    const HWND first = WaitForExecWindow(10s);
    ASSERT_NE(first, nullptr);
    // The user changed the settings since.
    const std::string changed =
        "[Options]\r\nnSynPeriod=3\r\nnOffset=-30\r\nnMaxAttempts=2\r\n"
        "[Servers]\r\nServers_Counter=1\r\nServers 0=Changed~127.0.0.1~1\r\n";
    ASSERT_TRUE(WriteBytes(WindowsFile("zHoraluxServ.ini"), changed));

    ASSERT_EQ(Msiexec("/i", HORALUX_MSI), 0u);
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{HORALUX_VERSION_TEXT});
    EXPECT_EQ(ServiceState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(::IsWindow(first)) << "the older service was not stopped";
    EXPECT_NE(WaitForExecWindow(10s), nullptr);
    EXPECT_TRUE(FileExists(Installed("HoraluxServ.exe")));
    EXPECT_TRUE(FileExists(Installed("HoraluxCons.exe")));
    EXPECT_TRUE(FileExists(WindowsFile("zHoraluxHelp.chm")));
    EXPECT_TRUE(ShortcutExists());
    EXPECT_EQ(ReadWholeFile(WindowsFile("zHoraluxServ.ini")), changed);
}

// W32TIME=disable stops and disables the Windows Time service for as long as the product stays
// installed, upgrades included; the continuous mode is one of MODE's words. In an upgrade Windows
// removes the older package with UPGRADINGPRODUCTCODE set, and that removal leaves the service
// as it is; Wine's installer does not set it, so the test removes the older package as Windows
// would and then installs the newer one.
TEST_F(MsiPackageTest, W32TimeDisableStopsTheWindowsTimeServiceUntilTheProductIsRemoved) {
    CWindowsTimeStandIn windowsTime;
    ASSERT_TRUE(windowsTime.start());
    ASSERT_EQ(Msiexec("/i", HORALUX_OLDER_MSI, "SERVERS=\"Local~127.0.0.1\" MODE=continuous W32TIME=Disable"),
              0u);
    EXPECT_EQ(windowsTime.state(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_DISABLED));
    EXPECT_NE(ReadWholeFile(WindowsFile("zHoraluxServ.ini")).find("nSynPeriod=4\r\n"), std::string::npos);

    ASSERT_EQ(Msiexec("/x", HORALUX_OLDER_MSI, "UPGRADINGPRODUCTCODE={0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"),
              0u);
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_DISABLED)) << "the upgrade restored it";
    ASSERT_EQ(Msiexec("/i", HORALUX_MSI), 0u);
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_DISABLED));

    ASSERT_EQ(Msiexec("/x", HORALUX_MSI), 0u);
    EXPECT_EQ(windowsTime.startType(), static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_TRUE(WaitUntil([&] { return windowsTime.state() == SERVICE_RUNNING; }, 20s));
    const std::string log = ReadWholeFile(WindowsFile("zHoraluxServ.log"));
    EXPECT_NE(log.find("] The Windows Time service is stopped and disabled.\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] The Windows Time service starts as it did before Horalux.\r\n"), std::string::npos)
        << log;
}

}  // namespace
