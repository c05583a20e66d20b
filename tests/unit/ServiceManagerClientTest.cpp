// The command-line actions against a scripted service control manager: what each says and
// where, what counts as success, the order in which handles close and the event source is
// registered, and the bounded waits.

#include "service/ServiceManagerClient.h"

#include "service/ServiceRules.h"
#include "service/WindowsTimeSetup.h"
#include "tests/support/RecordingLogSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace service_state;

constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::uint32_t kServiceNotActive = 1062;
constexpr std::uint32_t kServiceExists = 1073;

// One script for the manager, its connection and the opened service; every call, and every
// close, is recorded in order.
struct Script {
    std::uint32_t connectError = 0;
    std::uint32_t createError = 0;
    std::uint32_t openError = 0;
    std::uint32_t stopError = 0;
    std::uint32_t startError = 0;
    std::uint32_t deleteError = 0;
    std::uint32_t startType = service_start::kAuto;
    std::uint32_t changeError = 0;
    // Answers of the successive state queries; the last one repeats.
    std::vector<ServiceStateQuery> states = {{true, kStopped}};
    std::size_t nextState = 0;
    std::vector<std::string> calls;
    ServiceDefinition created;
};

SystemResult Answer(std::uint32_t error) {
    return error == 0 ? SystemResult::success() : SystemResult::failure(error);
}

class CScriptedService : public ManagedService {
public:
    explicit CScriptedService(Script& script) : m_script(script) {}
    ~CScriptedService() override { m_script.calls.push_back("close service"); }
    SystemResult controlStop() override { return Call("stop", m_script.stopError); }
    SystemResult start() override { return Call("start", m_script.startError); }
    SystemResult remove() override { return Call("delete", m_script.deleteError); }
    ServiceStateQuery queryState() override {
        const std::size_t index = std::min(m_script.nextState++, m_script.states.size() - 1);
        return m_script.states[index];
    }
    ServiceStartQuery queryStartType() override { return {true, m_script.startType, 0}; }
    SystemResult changeStartType(std::uint32_t startType) override {
        return Call(("start type " + std::to_string(startType)).c_str(), m_script.changeError);
    }

private:
    SystemResult Call(const char* name, std::uint32_t error) {
        m_script.calls.push_back(name);
        return Answer(error);
    }
    Script& m_script;
};

class CScriptedConnection : public ServiceManagerConnection {
public:
    explicit CScriptedConnection(Script& script) : m_script(script) {}
    ~CScriptedConnection() override { m_script.calls.push_back("close manager"); }
    SystemResult createService(const ServiceDefinition& definition) override {
        m_script.calls.push_back("create");
        m_script.created = definition;
        return Answer(m_script.createError);
    }
    Opened<ManagedService> openService(const std::string& name) override {
        m_script.calls.push_back("open " + name);
        if (m_script.openError != 0) {
            return {nullptr, m_script.openError};
        }
        return {std::make_unique<CScriptedService>(m_script), 0};
    }

private:
    Script& m_script;
};

class CScriptedManager : public ServiceManager {
public:
    explicit CScriptedManager(Script& script) : m_script(script) {}
    Opened<ServiceManagerConnection> connect() override {
        m_script.calls.push_back("connect");
        if (m_script.connectError != 0) {
            return {nullptr, m_script.connectError};
        }
        return {std::make_unique<CScriptedConnection>(m_script), 0};
    }
    void pause() override { ++m_nPauses; }
    std::string errorText(std::uint32_t error) const override { return "error " + std::to_string(error); }
    int m_nPauses = 0;

private:
    Script& m_script;
};

class CScriptedStartEntry : public StartEntry {
public:
    explicit CScriptedStartEntry(Script& script) : m_script(script) {}
    SystemResult set(const std::string& path) override {
        m_script.calls.push_back("entry " + path);
        return Answer(m_nError);
    }
    SystemResult clear() override {
        m_script.calls.push_back("no entry");
        return Answer(m_nError);
    }
    std::uint32_t m_nError = 0;

private:
    Script& m_script;
};

class ServiceManagerClientTest : public ::testing::Test {
protected:
    CServiceManagerClient Client(HostFamily family = HostFamily::Nt) {
        EventSourceHooks hooks{
            [this](const std::string& file) {
                script.calls.push_back("register " + file);
                return Answer(registerError);
            },
            [this] {
                script.calls.push_back("unregister");
                return Answer(unregisterError);
            },
            [this] { script.calls.push_back("event Service installed"); },
        };
        return CServiceManagerClient({"QN_HoraluxService", "Horalux Clock Service"}, manager, entry, hooks,
                                     reporter, CHostPlatform(family));
    }

    static ServiceDefinition Definition() {
        ServiceDefinition definition;
        definition.startType = 2;
        definition.account = ".\\clock";
        return definition;
    }

    const ProgramPath kProgram{std::string("C:\\Horalux\\HoraluxServ.exe"), 0};

    Script script;
    CScriptedManager manager{script};
    CScriptedStartEntry entry{script};
    std::uint32_t registerError = 0;
    std::uint32_t unregisterError = 0;
    CRecordingLogSink log;
    std::string out;
    CHostReporter reporter{log, [this](const std::string& text) { out += text; }};
};

using Calls = std::vector<std::string>;
using Texts = std::vector<std::string>;

TEST_F(ServiceManagerClientTest, InstallCreatesTheServiceThenRegistersItsEventSource) {
    EXPECT_TRUE(Client().Install(kProgram, Definition()));
    // The manager is closed before the event source is registered.
    EXPECT_EQ(script.calls, (Calls{"connect", "create", "close manager",
                                   "register C:\\Horalux\\HoraluxServ.exe", "event Service installed"}));
    EXPECT_EQ(script.created.name, "QN_HoraluxService");
    EXPECT_EQ(script.created.displayName, "Horalux Clock Service");
    EXPECT_EQ(script.created.binaryPath, "C:\\Horalux\\HoraluxServ.exe");
    EXPECT_EQ(script.created.startType, 2u);
    EXPECT_EQ(script.created.account, ".\\clock");
    EXPECT_EQ(log.texts(), (Texts{"Horalux Clock Service installed."}));
    EXPECT_EQ(log.lines()[0].resultCode, -1);

    // An event source that cannot be registered fails the installation, and says why.
    registerError = kAccessDenied;
    EXPECT_FALSE(Client().Install(kProgram, Definition()));
    EXPECT_EQ(log.texts().back(), "RegisterLogSource failed - error 5");
    EXPECT_EQ(script.calls.back(), "event Service installed");
    EXPECT_TRUE(out.empty());
}

// The platform refuses an interactive service under any account but the local system.
TEST_F(ServiceManagerClientTest, OnlyALocalSystemInstallIsInteractive) {
    const std::pair<std::optional<std::string>, std::uint32_t> cases[] = {
        {std::nullopt, 0x110u},
        {std::string(""), 0x110u},
        {std::string("LocalSystem"), 0x110u},
        {std::string(".\\localsystem"), 0x110u},
        {std::string(".\\clock"), 0x10u},
        {std::string("DOMAIN\\clock"), 0x10u},
        {std::string("NT AUTHORITY\\LocalService"), 0x10u},
    };
    for (const auto& [account, type] : cases) {
        ServiceDefinition definition = Definition();
        definition.serviceType = 0x110;
        definition.account = account;
        ASSERT_TRUE(Client().Install(kProgram, definition));
        EXPECT_EQ(script.created.serviceType, type) << account.value_or("<none>");
    }
}

TEST_F(ServiceManagerClientTest, InstallFailuresAreLoggedAndRegisterNothing) {
    EXPECT_FALSE(Client().Install(ProgramPath{std::nullopt, 122}, Definition()));
    script.connectError = kAccessDenied;
    EXPECT_FALSE(Client().Install(kProgram, Definition()));
    script.connectError = 0;
    script.createError = kServiceExists;
    EXPECT_FALSE(Client().Install(kProgram, Definition()));
    EXPECT_EQ(log.texts(), (Texts{"Unable to install Horalux Clock Service - error 122",
                                  "OpenSCManager failed - error 5", "CreateService failed - error 1073"}));
    EXPECT_EQ(script.calls, (Calls{"connect", "connect", "create", "close manager"}));
}

TEST_F(ServiceManagerClientTest, RemoveStopsARunningServiceDeletesItThenUnregisters) {
    script.states = {{true, kStopPending}, {true, kStopPending}, {true, kStopped}};
    EXPECT_TRUE(Client().Remove());
    EXPECT_EQ(script.calls, (Calls{"connect", "open QN_HoraluxService", "stop", "delete", "close service",
                                   "close manager", "unregister"}));
    EXPECT_EQ(manager.m_nPauses, 3);
    EXPECT_EQ(log.texts(), (Texts{"The Service is stopped.", "The Service is removed."}));

    // Not running: the refused stop is no failure and says nothing. An event source that
    // stays behind is.
    script = Script{};
    script.stopError = kServiceNotActive;
    unregisterError = kAccessDenied;
    EXPECT_FALSE(Client().Remove());
    EXPECT_EQ(log.texts().back(), "UnregisterLogSource failed - error 5");
    EXPECT_EQ(log.texts().size(), 4u);
}

TEST_F(ServiceManagerClientTest, RemoveFailuresAreLoggedAndKeepTheEventSource) {
    script.openError = kServiceDoesNotExist;
    EXPECT_FALSE(Client().Remove());
    script.openError = 0;
    script.states = {{true, kStopPending}};  // never stops
    script.deleteError = kAccessDenied;
    EXPECT_FALSE(Client().Remove());
    EXPECT_EQ(manager.m_nPauses, kMaxPendingPolls);
    EXPECT_EQ(log.texts(), (Texts{"Open Service failed - error 1060", "Horalux Clock Service failed to stop.",
                                  "Delete Service failed - error 5"}));
    EXPECT_EQ(std::count(script.calls.begin(), script.calls.end(), "unregister"), 0);
    EXPECT_EQ(script.calls.back(), "close manager");
    EXPECT_TRUE(out.empty());
}

TEST_F(ServiceManagerClientTest, StartSucceedsOnlyOnceTheServiceRuns) {
    script.states = {{true, kStartPending}, {true, kRunning}};
    EXPECT_TRUE(Client().StartRunning());
    EXPECT_EQ(manager.m_nPauses, 2);

    script.startError = 1058;
    EXPECT_FALSE(Client().StartRunning());
    EXPECT_EQ(out, "\nHoralux Clock Service failed to start: error 1058\n");

    script = Script{};
    script.states = {{true, kStartPending}, {true, kStopped}};
    EXPECT_FALSE(Client().StartRunning());
    EXPECT_EQ(log.texts(), (Texts{"The Service failed to start."}));
}

TEST_F(ServiceManagerClientTest, StopSaysWhatHappenedOnTheStandardOutput) {
    script.openError = kServiceDoesNotExist;
    EXPECT_FALSE(Client().StopRunning());
    EXPECT_EQ(out, "OpenService failed - error 1060\n");

    out.clear();
    script.openError = 0;
    script.stopError = kServiceNotActive;
    EXPECT_FALSE(Client().StopRunning());
    EXPECT_EQ(out, "ControlService failed - error 1062\n");

    out.clear();
    script = Script{};
    script.states = {{true, kStopPending}, {true, kStopPending}, {true, kStopped}};
    EXPECT_TRUE(Client().StopRunning());
    EXPECT_EQ(out, "Stopping Horalux Clock Service...\nHoralux Clock Service is stopped.\n");

    out.clear();
    script.states = {{false, 0}};
    script.nextState = 0;
    EXPECT_FALSE(Client().StopRunning());
    EXPECT_EQ(out, "Stopping Horalux Clock Service.\nHoralux Clock Service failed to stop.\n");
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ServiceManagerClientTest, Windows9xUsesTheStartEntryAndSaysNothing) {
    EXPECT_TRUE(Client(HostFamily::Windows9x).Install(kProgram, Definition()));
    EXPECT_TRUE(Client(HostFamily::Windows9x).Remove());
    entry.m_nError = kAccessDenied;
    EXPECT_FALSE(Client(HostFamily::Windows9x).Install(kProgram, Definition()));
    EXPECT_FALSE(Client(HostFamily::Windows9x).Remove());
    EXPECT_EQ(script.calls, (Calls{"entry C:\\Horalux\\HoraluxServ.exe", "no entry",
                                   "entry C:\\Horalux\\HoraluxServ.exe", "no entry"}));
    EXPECT_TRUE(log.lines().empty());
    EXPECT_TRUE(out.empty());
}

// --- the installers' change to the Windows Time service ------------------------------------------

class CMemoryStartTypeRecord final : public StartTypeRecord {
public:
    std::optional<std::uint32_t> recall() const override { return m_kept; }
    SystemResult keep(std::uint32_t startType) override {
        m_kept = startType;
        return SystemResult::success();
    }
    SystemResult forget() override {
        m_kept.reset();
        return SystemResult::success();
    }
    std::optional<std::uint32_t> m_kept;
};

// The start type from before the first disabling is the one the removal gives back, also when
// a second installation disables the service again.
TEST_F(ServiceManagerClientTest, WindowsTimeIsDisabledAndItsFirstStartTypeRestored) {
    CMemoryStartTypeRecord record;
    CWindowsTimeSetup setup(manager, record, reporter);
    script.states = {{true, kStopPending}, {true, kStopped}};
    EXPECT_TRUE(setup.Run("Disable"));
    EXPECT_EQ(script.calls,
              (Calls{"connect", "open W32Time", "stop", "start type 4", "close service", "close manager"}));
    EXPECT_EQ(record.m_kept, service_start::kAuto);

    script.startType = service_start::kDisabled;
    script.stopError = kServiceNotActive;
    EXPECT_TRUE(setup.Run("disable"));
    EXPECT_EQ(record.m_kept, service_start::kAuto);

    script.calls.clear();
    EXPECT_TRUE(setup.Run("restore"));
    EXPECT_EQ(script.calls,
              (Calls{"connect", "open W32Time", "start type 2", "start", "close service", "close manager"}));
    EXPECT_FALSE(record.m_kept);
    script.calls.clear();
    EXPECT_TRUE(setup.Run("restore")) << "nothing kept: nothing to do";
    EXPECT_TRUE(setup.Run("keep"));
    EXPECT_TRUE(script.calls.empty());

    EXPECT_FALSE(setup.Run("stop"));
    script.openError = kServiceDoesNotExist;
    EXPECT_TRUE(setup.Run("disable"));
    EXPECT_EQ(log.texts(),
              (Texts{"The Windows Time service is stopped and disabled.",
                     "The Windows Time service is stopped and disabled.",
                     "The Windows Time service starts as it did before Horalux.",
                     "The property W32TIME has a bad value \"stop\": it must be keep or disable.",
                     "The Windows Time service is not installed."}));
    EXPECT_EQ(out, "The property W32TIME has a bad value \"stop\": it must be keep or disable.\n");
}

}  // namespace
