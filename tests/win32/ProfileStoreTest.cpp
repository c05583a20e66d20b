// CSettings on the Win32 profile adapter against the platform's real profile functions (under
// Wine in CI); what the adapter itself promises is in the profile store contract. Every test
// works on the real zHoraluxServ.ini in the Windows directory: the fixture deletes it before
// and after each test, and a named mutex keeps tests of parallel ctest runs in one prefix
// from overlapping.

#include "settings/DefaultServers.h"
#include "settings/LocalTimeText.h"
#include "settings/Settings.h"
#include "settings/Win32ProfileStore.h"
#include "settings/WorkingDirectory.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kFile = "zHoraluxServ.ini";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> defaultServerLines() {
    std::vector<std::string> lines{"[Servers]", "Servers_Counter=18"};
    for (std::size_t i = 0; i < kDefaultServers.size(); ++i)
        lines.push_back("Servers " + std::to_string(i) + "=" + std::string(kDefaultServers[i].title) + "~" +
                        std::string(kDefaultServers[i].address) + "~0");
    return lines;
}

class Win32ProfileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_lock = CreateMutexA(nullptr, FALSE, "HoraluxProfileStoreTest");
        ASSERT_NE(m_lock, nullptr);
        const DWORD wait = WaitForSingleObject(m_lock, 120000);
        ASSERT_TRUE(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) << wait;
        removeFile();
        ASSERT_EQ(GetFileAttributesA(m_path.c_str()), INVALID_FILE_ATTRIBUTES);
    }

    void TearDown() override {
        removeFile();
        if (m_lock) {
            ReleaseMutex(m_lock);
            CloseHandle(m_lock);
        }
    }

    void removeFile() const {
        SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(m_path.c_str());
    }

    std::string fileText() const {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void writeFileText(const std::string& text) const {
        std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    const std::string m_path = WindowsDirectory() + "\\" + kFile;
    HANDLE m_lock = nullptr;
    CWin32ProfileStore store;
    CSettings settings{store, LocalDateTimeText};
};

TEST_F(Win32ProfileStoreTest, LoadWithNoFileWritesOnlyTheServersSection) {
    settings.Load();
    EXPECT_EQ(settings.m_servers.GetCount(), 18);
    EXPECT_EQ(settings.m_nTimeOut, 20);
    EXPECT_EQ(settings.m_bOnlySuccLog, 1);
    EXPECT_EQ(splitLines(fileText()), defaultServerLines());
    EXPECT_EQ(fileText().find("Options"), std::string::npos);
}

TEST_F(Win32ProfileStoreTest, SaveWritesTheSevenKeysInOrder) {
    settings.Load();
    settings.m_nOffset = -90;
    settings.m_nStartingServ = 2;
    ASSERT_TRUE(settings.Save());
    std::vector<std::string> expected = defaultServerLines();
    for (const char* line : {"[Options]", "nLogFileLen=100", "nSynPeriod=0", "nOffset=-90", "nMaxAttempts=5",
                             "nTimeOut=20", "nStartingServ=2", "bOnlySuccLog=1"})
        expected.push_back(line);
    EXPECT_EQ(splitLines(fileText()), expected);

    CSettings reader(store, LocalDateTimeText);
    reader.Load();
    EXPECT_EQ(reader.m_nOffset, -90);
    EXPECT_EQ(reader.m_nStartingServ, 2);
    EXPECT_EQ(reader.GetStartingServerTitle(), kDefaultServers[2].title);
}

TEST_F(Win32ProfileStoreTest, LeftoverEntryKeysStayButReloadYieldsTheCount) {
    settings.Load();
    CTimeServerList five = settings.m_servers;
    while (five.GetCount() > 5)
        five.RemoveAt(five.GetCount() - 1);
    settings.ReplaceServers(five);
    ASSERT_TRUE(settings.SaveServers());
    const std::string text = fileText();
    EXPECT_NE(text.find("Servers_Counter=5\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nServers 17=" + std::string(kDefaultServers[17].title)), std::string::npos);

    CSettings reader(store, LocalDateTimeText);
    reader.Load();
    EXPECT_EQ(reader.m_servers.GetCount(), 5);
}

TEST_F(Win32ProfileStoreTest, HandEditedFileLoadsAsRead) {
    writeFileText(
        "[Options]\r\nnOffset=-90\r\nnTimeOut=3\r\nnSynPeriod=7\r\nnMaxAttempts=0\r\n"
        "nStartingServ=25\r\n[Servers]\r\nServers_Counter=2\r\n"
        "Servers 0=Mine~my.host~1\r\nServers 1=T~h~1~x\r\n");
    const std::string before = fileText();
    settings.Load();
    EXPECT_EQ(settings.m_nOffset, -90);
    EXPECT_EQ(settings.m_nTimeOut, 5);
    // Out of their ranges: the defaults, each with its notice.
    EXPECT_EQ(settings.m_nSynPeriod, 0);
    EXPECT_EQ(settings.m_nMaxAttempts, 5);
    EXPECT_EQ(settings.FileNotices().size(), 2u);
    EXPECT_EQ(settings.m_nStartingServ, 0);
    ASSERT_EQ(settings.m_servers.GetCount(), 2);
    EXPECT_EQ(settings.m_servers.GetAt(1), CTimeServer("T", "h", 1));
    EXPECT_EQ(fileText(), before) << "Load wrote to a valid file";
}

TEST_F(Win32ProfileStoreTest, IsWritableOnANormalFile) {
    settings.Load();
    const std::string probe = LocalDateTimeText();
    EXPECT_FALSE(probe.empty());
    EXPECT_NE(probe, "Undefined");
    EXPECT_TRUE(settings.IsWritable());
    EXPECT_NE(fileText().find("[Options]\r\nsTestStr="), std::string::npos);
}

// The read-only attribute: Windows refuses writes to such a file. Wine maps the attribute
// to the Unix write bits, which a process running as root ignores, so there the file stays
// writable; the test checks that IsWritable agrees with what the platform does and says
// which case it met.
TEST_F(Win32ProfileStoreTest, IsWritableFollowsTheReadOnlyAttribute) {
    settings.Load();
    ASSERT_TRUE(SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE probe = CreateFileA(m_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool platformWrites = probe != INVALID_HANDLE_VALUE;
    if (platformWrites)
        CloseHandle(probe);
    RecordProperty("read_only_attribute_honoured", platformWrites ? "no" : "yes");
    std::printf("read-only attribute honoured by the platform: %s\n", platformWrites ? "no" : "yes");
    EXPECT_EQ(settings.IsWritable(), platformWrites);
}

// A file another program holds open without write sharing cannot be written on any
// platform, also not by root under Wine: IsWritable must say so, and a refused save carries
// the platform's reason, which the console names in its box.
TEST_F(Win32ProfileStoreTest, IsWritableIsFalseWhileTheFileIsLockedAgainstWriting) {
    settings.Load();
    const HANDLE lock = CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const SystemResult refused = store.writeString(kFile, "Options", "x", "1");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.nError, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(settings.Save().nError, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(settings.IsWritable());
    CloseHandle(lock);
    EXPECT_TRUE(settings.IsWritable());
}

TEST_F(Win32ProfileStoreTest, SetWorkingDirectoryMakesTheWindowsDirectoryCurrent) {
    char saved[MAX_PATH] = {};
    GetCurrentDirectoryA(static_cast<DWORD>(std::size(saved)), saved);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_TRUE(SetWorkingDirectory());
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(static_cast<DWORD>(std::size(current)), current);
    EXPECT_EQ(lstrcmpiA(current, WindowsDirectory().c_str()), 0) << current;
    SetCurrentDirectoryA(saved);
}

}  // namespace
