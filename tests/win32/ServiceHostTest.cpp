// The service framework against the real Win32 calls under Wine: the status record, control
// requests, the console and session-end stop paths, the event source in the real registry,
// the Windows 9x start entry, the system error text, and the control window's life.

#include "common/Win32SystemError_win.h"
#include "service/ExecWindow_win.h"
#include "service/ServiceBase_win.h"
#include "service/Win32Registry_win.h"

#include "common/LogResult.h"
#include "common/SystemErrorText.h"
#include "common/WindowMessages.h"
#include "service/ServiceRules.h"
#include "tests/support/FakeProfileStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* kTestServiceName = "QN_HoraluxHostTest";

class CNullLog : public LogSink {
public:
    void write(const std::string& text, int code, double) override { m_vecLines.push_back({text, code}); }
    std::vector<std::pair<std::string, int>> m_vecLines;
};

// A service whose work is a callback and whose operations are counted.
class CTestService : public CServiceBase {
public:
    CTestService(CHostReporter& reporter, HostFamily family)
        : CServiceBase(kTestServiceName, "Horalux Host Test", reporter, family) {}

    void RunService(int, char**) override {
        if (m_work) {
            m_work();
        }
    }
    void OnStop() override { ++m_nStops; }
    void OnPause() override { ++m_nPauses; }
    void OnWake() override { ++m_nWakes; }

    static DWORD Control(DWORD control, DWORD eventType = 0) {
        return ServiceCtrlHandler(control, eventType, nullptr, nullptr);
    }
    static BOOL ConsoleEvent(DWORD type) { return ConsoleCtrlProc(type); }
    void MarkNotService() { SetNotService(); }

    std::function<void()> m_work;
    int m_nStops = 0;
    int m_nPauses = 0;
    int m_nWakes = 0;
};

class ServiceBaseTest : public ::testing::Test {
protected:
    CNullLog m_log;
    std::string m_strOut;
    CHostReporter m_reporter{m_log, [this](const std::string& text) { m_strOut += text; }};
};

TEST_F(ServiceBaseTest, StatusRecordFollowsTheCheckpointRule) {
    CTestService service(m_reporter, HostFamily::Nt);
    // No status handle: every report fails, but the record is kept as it would be reported.
    EXPECT_FALSE(service.SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0));
    EXPECT_EQ(service.Status().dwCheckPoint, 1u);
    EXPECT_EQ(service.Status().dwControlsAccepted, 0u);
    service.SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0);
    EXPECT_EQ(service.Status().dwCheckPoint, 2u);
    service.SetStatus(SERVICE_RUNNING, kDefaultWaitHint, 0);
    EXPECT_EQ(service.Status().dwCheckPoint, 0u);
    EXPECT_EQ(service.Status().dwControlsAccepted,
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_POWEREVENT));
    service.SetStatus(SERVICE_STOP_PENDING, kStopWaitHint, 0);
    EXPECT_EQ(service.Status().dwCheckPoint, 3u);
    EXPECT_EQ(service.Status().dwWaitHint, kStopWaitHint);
    EXPECT_EQ(service.Status().dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
}

TEST_F(ServiceBaseTest, NotAServiceReportsNothing) {
    CTestService service(m_reporter, HostFamily::Nt);
    service.MarkNotService();
    EXPECT_TRUE(service.SetStatus(SERVICE_START_PENDING, kDefaultWaitHint, 0));
    EXPECT_EQ(service.Status().dwCheckPoint, 0u);
    EXPECT_EQ(service.Status().dwCurrentState, 0u);
}

TEST_F(ServiceBaseTest, ControlRequestsReachTheOperations) {
    CTestService service(m_reporter, HostFamily::Nt);
    CTestService::Control(SERVICE_CONTROL_STOP);
    EXPECT_EQ(service.m_nStops, 1);
    EXPECT_EQ(service.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    CTestService::Control(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(service.m_nPauses, 1);
    EXPECT_EQ(service.Status().dwCurrentState, static_cast<DWORD>(SERVICE_PAUSE_PENDING));
    // Interrogate reports the current state again: a pending state takes the next checkpoint.
    CTestService::Control(SERVICE_CONTROL_INTERROGATE);
    EXPECT_EQ(service.Status().dwCheckPoint, 1u);
    EXPECT_EQ(CTestService::Control(0x80), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(service.m_nStops, 1);
    EXPECT_EQ(service.m_nPauses, 1);
    // A wake, whether a user is there or not; a suspend asked for is granted and heard no further.
    EXPECT_EQ(CTestService::Control(SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMEAUTOMATIC), DWORD{NO_ERROR});
    EXPECT_EQ(CTestService::Control(SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMESUSPEND), DWORD{NO_ERROR});
    EXPECT_EQ(CTestService::Control(SERVICE_CONTROL_POWEREVENT, PBT_APMQUERYSUSPEND), DWORD{NO_ERROR});
    EXPECT_EQ(service.m_nWakes, 2);
}

TEST_F(ServiceBaseTest, CtrlCStopsAProcessRunOtherConsoleEventsDoNot) {
    CTestService service(m_reporter, HostFamily::Nt);
    EXPECT_TRUE(CTestService::ConsoleEvent(CTRL_C_EVENT));
    EXPECT_TRUE(CTestService::ConsoleEvent(CTRL_BREAK_EVENT));
    EXPECT_FALSE(CTestService::ConsoleEvent(CTRL_CLOSE_EVENT));
    EXPECT_EQ(service.m_nStops, 2);
}

TEST_F(ServiceBaseTest, FacelessProcessSurvivesALogOffButNotAShutdown) {
    CTestService service(m_reporter, HostFamily::Nt);
    bool bWindowFound = false;
    bool bSurvivedLogOff = false;
    service.m_work = [&] {
        const HWND window = ::FindWindowA("HoraluxFacelessWndClass", "");
        bWindowFound = window != nullptr;
        ::SendMessageA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        ::SendMessageA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        bSurvivedLogOff = ::IsWindow(window) && service.m_nStops == 0;
        EXPECT_EQ(::SendMessageA(window, WM_ENDSESSION, TRUE, 0), 1);
        EXPECT_FALSE(::IsWindow(window));
    };
    EXPECT_TRUE(service.RunAsProcess(0, nullptr, true));
    EXPECT_TRUE(bWindowFound);
    EXPECT_TRUE(bSurvivedLogOff);
    EXPECT_EQ(service.m_nStops, 1);
}

TEST_F(ServiceBaseTest, EventReportKeepsTheLastError) {
    CTestService service(m_reporter, HostFamily::Nt);
    ::SetLastError(1234);
    service.ReportLogEvent("a test report", EVENTLOG_INFORMATION_TYPE, kEventIdFromType);
    EXPECT_EQ(service.LastEventError(), 1234u);
    EXPECT_FALSE(service.UserSid().empty());
    EXPECT_TRUE(::IsValidSid(const_cast<BYTE*>(service.UserSid().data())));
}

RegistryValue ReadSources() {
    UniqueRegistryKey key;
    RegistryValue value;
    if (OpenRegistryKey(HKEY_LOCAL_MACHINE, CEventLogSource::kApplicationLogKey, key) == ERROR_SUCCESS) {
        ReadRegistryValue(key.get(), "Sources", value);
    }
    return value;
}

TEST_F(ServiceBaseTest, EventSourceIsListedOnceAndRemovedCleanly) {
    CTestService service(m_reporter, HostFamily::Nt);
    const RegistryValue before = ReadSources();
    ASSERT_EQ(service.RegisterLogSource("C:\\test\\host.exe", 7), ERROR_SUCCESS);
    ASSERT_EQ(service.RegisterLogSource("C:\\test\\host.exe", 7), ERROR_SUCCESS);
    const RegistryValue registered = ReadSources();
    EXPECT_EQ(registered.type, static_cast<DWORD>(REG_MULTI_SZ));
    const std::vector<std::string> names = SplitMultiString(registered.bytes);
    EXPECT_EQ(std::count(names.begin(), names.end(), kTestServiceName), 1);

    UniqueRegistryKey sourceKey;
    ASSERT_EQ(OpenRegistryKey(HKEY_LOCAL_MACHINE,
                              std::string(CEventLogSource::kApplicationLogKey) + kTestServiceName, sourceKey),
              ERROR_SUCCESS);
    RegistryValue file;
    ASSERT_EQ(ReadRegistryValue(sourceKey.get(), "EventMessageFile", file), ERROR_SUCCESS);
    EXPECT_EQ(file.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(reinterpret_cast<const char*>(file.bytes.data()), "C:\\test\\host.exe");
    RegistryValue types;
    ASSERT_EQ(ReadRegistryValue(sourceKey.get(), "TypesSupported", types), ERROR_SUCCESS);
    EXPECT_EQ(types.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(types.bytes, (RegistryBytes{7, 0, 0, 0}));
    sourceKey.reset();

    ASSERT_EQ(service.UnregisterLogSource(), ERROR_SUCCESS);
    EXPECT_EQ(SplitMultiString(ReadSources().bytes), SplitMultiString(before.bytes));
    EXPECT_NE(OpenRegistryKey(HKEY_LOCAL_MACHINE,
                              std::string(CEventLogSource::kApplicationLogKey) + kTestServiceName, sourceKey),
              ERROR_SUCCESS);
    // Absent now: unregistering again leaves the value byte for byte.
    const RegistryValue absent = ReadSources();
    EXPECT_EQ(service.UnregisterLogSource(), ERROR_SUCCESS);
    EXPECT_EQ(ReadSources().bytes, absent.bytes);
}

TEST_F(ServiceBaseTest, Windows9xInstallsAndRemovesTheRunServicesEntry) {
    CTestService service(m_reporter, HostFamily::Windows9x);
    ASSERT_TRUE(service.Install());
    UniqueRegistryKey key;
    ASSERT_EQ(OpenRegistryKey(HKEY_LOCAL_MACHINE, CWin32StartEntry::kRunServicesKey, key), ERROR_SUCCESS);
    RegistryValue value;
    ASSERT_EQ(ReadRegistryValue(key.get(), kTestServiceName, value), ERROR_SUCCESS);
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_STREQ(reinterpret_cast<const char*>(value.bytes.data()), path);
    EXPECT_TRUE(m_log.m_vecLines.empty());

    ASSERT_TRUE(service.Remove());
    EXPECT_EQ(ReadRegistryValue(key.get(), kTestServiceName, value), ERROR_FILE_NOT_FOUND);
    // No service control manager is asked: nothing is logged.
    EXPECT_TRUE(m_log.m_vecLines.empty());
}

TEST_F(ServiceBaseTest, CommandLineActionsOfAMissingServiceReportWhereTheyShould) {
    CTestService service(m_reporter, HostFamily::Nt);
    EXPECT_FALSE(service.StartRunning());
    EXPECT_FALSE(service.StopRunning());
    EXPECT_EQ(m_strOut, "OpenService failed - " + SystemErrorText(ERROR_SERVICE_DOES_NOT_EXIST) + "\n" +
                            "OpenService failed - " + SystemErrorText(ERROR_SERVICE_DOES_NOT_EXIST) + "\n");
    EXPECT_FALSE(service.Remove());
    ASSERT_EQ(m_log.m_vecLines.size(), 1u);
    EXPECT_EQ(m_log.m_vecLines[0].first,
              "Open Service failed - " + SystemErrorText(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(m_log.m_vecLines[0].second, LOG_NOTICE);
}

TEST_F(ServiceBaseTest, NoServiceManagerConnectionWithoutTheManager) {
    CTestService service(m_reporter, HostFamily::Nt);
    // A program started from a shell cannot become a service.
    EXPECT_FALSE(service.StartDispatcher());
    EXPECT_EQ(service.LastEventError(), static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));
}

TEST(SystemErrorText, SystemMessagesWithoutTheirLineBreak) {
    const std::string text = SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    // The system's message ends with CR LF; it must fit with room to spare.
    const std::size_t fits = text.size() + 2 + kErrorTextSpare;
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED, fits), text);
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED, fits - 1), "");
    EXPECT_EQ(SystemErrorText(0x2FFFFFFF), "");
}

TEST(Win32Platform, ThisSystemIsNt) {
    EXPECT_EQ(QueryHostFamily(), HostFamily::Nt);
}

}  // namespace
