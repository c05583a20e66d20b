// The contract suites run against the Win32 adapters, under Wine in the test sessions.

#include <windows.h>

#include "common/WinHandle_win.h"
#include "engine/Win32EnginePorts_win.h"
#include "settings/Win32ProfileStore.h"
#include "settings/WorkingDirectory.h"
#include "sntp/Win32SystemClock_win.h"
#include "sntp/Win32TimePrivilege_win.h"
#include "tests/contract/ClockContracts.h"
#include "tests/contract/ProfileStoreContract.h"
#include "tests/support/TokenPrivilege.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// A file of this process's own in the Windows directory, so that cases running at the same
// time in other processes never meet it.
class CWin32ProfileStoreSubject : public ProfileStoreSubject {
public:
    CWin32ProfileStoreSubject() { removeFile(); }
    ~CWin32ProfileStoreSubject() override {
        m_hBlock.reset();
        removeFile();
    }

    ProfileStore& store() override { return m_store; }
    std::string fileName() const override { return m_strName; }

    std::string fileText() const override { return ReadBytes(m_strPath); }

    void setFileText(const std::string& text) override {
        std::ofstream(m_strPath, std::ios::binary | std::ios::trunc) << text;
    }

    // Held open without write sharing, the file cannot be written by anyone, root included.
    void blockWrites(bool blocked) override {
        m_hBlock.reset(blocked ? ::CreateFileA(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                               : INVALID_HANDLE_VALUE);
        ASSERT_EQ(m_hBlock.isValid(), blocked) << ::GetLastError();
    }

    std::string copyName() const override { return m_strCopyName; }
    std::string copyText() const override { return ReadBytes(WindowsDirectory() + "\\" + m_strCopyName); }

private:
    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void removeFile() const {
        ::DeleteFileA(m_strPath.c_str());
        ::DeleteFileA((WindowsDirectory() + "\\" + m_strCopyName).c_str());
    }

    const std::string m_strName = "zHoraluxContract" + std::to_string(::GetCurrentProcessId()) + ".ini";
    const std::string m_strCopyName =
        "zHoraluxContract" + std::to_string(::GetCurrentProcessId()) + "-copy.ini";
    const std::string m_strPath = WindowsDirectory() + "\\" + m_strName;
    CWin32ProfileStore m_store;
    UniqueFileHandle m_hBlock;
};

class CWin32SystemClockSubject : public SystemClockSubject {
public:
    SystemClock& clock() override { return m_clock; }
    TimePrivilege& privilege() override { return m_privilege; }
    bool privilegeEnabled() const override { return SystemTimePrivilegeEnabled(); }

private:
    CWin32SystemClock m_clock;
    CWin32TimePrivilege m_privilege;
};

class CWin32LocalClockSubject : public LocalClockSubject {
public:
    LocalClock& clock() override { return m_clock; }

private:
    CWin32LocalClock m_clock;
};

class CWin32ConnectivitySubject : public ConnectivitySubject {
public:
    ConnectivityProbe& probe() override { return m_probe; }

private:
    CWin32ConnectivityProbe m_probe;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Platform, ProfileStoreContract,
    ::testing::Values(MakeFactory<ProfileStoreSubject, CWin32ProfileStoreSubject>("Win32")), FactoryName());
INSTANTIATE_TEST_SUITE_P(
    Platform, SystemClockContract,
    ::testing::Values(MakeFactory<SystemClockSubject, CWin32SystemClockSubject>("Win32")), FactoryName());
INSTANTIATE_TEST_SUITE_P(Platform, LocalClockContract,
                         ::testing::Values(MakeFactory<LocalClockSubject, CWin32LocalClockSubject>("Win32")),
                         FactoryName());
INSTANTIATE_TEST_SUITE_P(
    Platform, ConnectivityContract,
    ::testing::Values(MakeFactory<ConnectivitySubject, CWin32ConnectivitySubject>("Win32")), FactoryName());
