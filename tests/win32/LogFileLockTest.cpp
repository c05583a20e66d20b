// The log's cross-process lock as a named mutex (its access list, a bounded wait, a holder
// that ended without letting go), and two real processes writing one log at once through
// it: every line of both is kept, each writer's lines in their order.

#include "common/LogResult.h"
#include "common/WinHandle_win.h"
#include "engine/SyncLog.h"
#include "engine/Win32EnginePorts_win.h"
#include "engine/Win32NamedMutex_win.h"
#include "tools/kit/ChildProcess_win.h"
#include "tools/kit/DaclText_win.h"
#include "tools/kit/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr const char* kFileVariable = "HORALUX_TEST_LOG_FILE";
constexpr const char* kLockVariable = "HORALUX_TEST_LOG_LOCK";
constexpr const char* kReadyVariable = "HORALUX_TEST_LOG_READY";
constexpr const char* kGoVariable = "HORALUX_TEST_LOG_GO";
constexpr const char* kWriterVariable = "HORALUX_TEST_LOG_WRITER";
constexpr int kLinesPerWriter = 150;

// Names of this test process alone, so that parallel test runs never share an object.
std::string UniqueName(const char* prefix, const char* what) {
    return std::string(prefix) + "HoraluxTest." + what + "." + std::to_string(::GetCurrentProcessId());
}

std::string Environment(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : "";
}

class CSilentNotifier final : public ResultNotifier {
public:
    void notifyResult(int) override {}
};

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TEST(NamedMutexTest, OnlySystemAndAdministratorsAreAdmitted) {
    CWin32NamedMutex mutex(UniqueName("Global\\", "Access"));
    ASSERT_TRUE(mutex.acquire(1s));
    mutex.release();
    EXPECT_EQ(DaclText(mutex.Handle()), std::optional<std::string>(CWin32NamedMutex::kSecurity));
}

// Two objects of one name stand for two processes; the holder is a thread that ends holding
// the mutex, as a process that dies in the middle of a write.
TEST(NamedMutexTest, AHolderMakesOthersWaitBoundedAndAnAbandonedOneIsTakenOver) {
    const std::string name = UniqueName("Global\\", "Holder");
    CWin32NamedMutex holding(name);
    CWin32NamedMutex waiting(name);
    std::promise<void> held;
    std::promise<void> end;
    std::thread holder([&] {
        holding.acquire(1s);
        held.set_value();
        end.get_future().wait_for(30s);
    });
    held.get_future().wait();
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(waiting.acquire(200ms));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 190ms);
    end.set_value();
    holder.join();
    EXPECT_TRUE(waiting.acquire(1s));
    waiting.release();
}

// Started only by the test below, as a second process: writes numbered lines to the log the
// environment names, through the lock it names, once both writers are ready and the starting
// signal comes.
TEST(LogWriterProcess, DISABLED_WritesNumberedLines) {
    const std::string writer = Environment(kWriterVariable);
    ASSERT_FALSE(writer.empty());
    const UniqueKernelHandle ready(
        ::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, Environment(kReadyVariable).c_str()));
    const UniqueKernelHandle go(::OpenEventA(SYNCHRONIZE, FALSE, Environment(kGoVariable).c_str()));
    ASSERT_TRUE(ready && go);
    CWin32NamedMutex lock(Environment(kLockVariable));
    CWin32LocalClock clock;
    CSilentNotifier notifier;
    SyncLog log(Environment(kFileVariable), clock, notifier, lock, [] { return LogLimits{1000, false}; });
    ::ReleaseSemaphore(ready.get(), 1, nullptr);
    ASSERT_EQ(::WaitForSingleObject(go.get(), 60000), WAIT_OBJECT_0);
    for (int i = 0; i < kLinesPerWriter; ++i) {
        log.write(writer + " " + std::to_string(i), LOG_NOTICE, 0.0);
    }
}

TEST(LogFileAcrossProcesses, TwoWritersAtOnceKeepEveryLineInItsOrder) {
    const CTempDir dir;
    const std::string file = dir.file("zHoraluxServ.log");
    const std::string readyName = UniqueName("Local\\", "Ready");
    const std::string goName = UniqueName("Local\\", "Go");
    const UniqueKernelHandle ready(::CreateSemaphoreA(nullptr, 0, 2, readyName.c_str()));
    const UniqueKernelHandle go(::CreateEventA(nullptr, TRUE, FALSE, goName.c_str()));
    ASSERT_TRUE(ready && go);
    ::SetEnvironmentVariableA(kReadyVariable, readyName.c_str());
    ::SetEnvironmentVariableA(kFileVariable, file.c_str());
    ::SetEnvironmentVariableA(kLockVariable, UniqueName("Global\\", "Log").c_str());
    ::SetEnvironmentVariableA(kGoVariable, goName.c_str());
    char self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    const std::string command = std::string("\"") + self +
                                "\" --gtest_filter=LogWriterProcess.DISABLED_WritesNumberedLines"
                                " --gtest_also_run_disabled_tests";
    CChildProcess writers[2];
    const char* names[] = {"first", "second"};
    for (int i = 0; i < 2; ++i) {
        ::SetEnvironmentVariableA(kWriterVariable, names[i]);
        ASSERT_TRUE(writers[i].start(command));
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(::WaitForSingleObject(ready.get(), 60000), WAIT_OBJECT_0);
    }
    ::SetEvent(go.get());
    for (CChildProcess& writer : writers) {
        DWORD exitCode = 1;
        ASSERT_TRUE(writer.waitForExit(120s, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    const std::vector<std::string> lines = ReadLines(file);
    EXPECT_EQ(lines.size(), 2u * kLinesPerWriter);
    std::map<std::string, int> next;
    std::string previous;
    int turns = 0;
    for (const std::string& line : lines) {
        char writer[16] = {};
        int number = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "[ %*[^]] ] %15s %d\r", writer, &number), 2) << line;
        EXPECT_EQ(number, next[writer]++) << line;
        turns += !previous.empty() && previous != writer;
        previous = writer;
    }
    std::printf("[ measured ] %d turns between the two writers in %zu lines\n", turns, lines.size());
    EXPECT_GT(turns, 2) << "the writers did not overlap, so the test proved nothing";
}
