#pragma once
// Drives the real HoraluxServ.exe from a test under Wine: its settings file, its log and
// record, starting it as a process or running a command-line action, and finding its
// control window. Every process started here is ended by its handle, also when a test
// fails.

#include <windows.h>

#include "common/ProductFacts.h"
#include "tools/kit/ChildProcess_win.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Folder and file names of the program under test.
std::string ServiceExePath();
// The console beside it in the build tree (console\app\HoraluxCons.exe).
std::string ConsoleExePath();
// Where the tests save their screenshots: a folder beside the test program, made on demand.
std::string ScreenshotPath(const std::string& name);
std::string WindowsFile(const char* name);

// Writes zHoraluxServ.ini (lines joined with CR LF) and removes the log, the record and the
// drift file: the service starts afresh.
void PrepareServiceFiles(const std::string& iniText);
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

// The name the service is registered under, as the service manager and the registry show it,
// is kServiceName (common/ProductFacts.h).
// The state of the service (Horalux's unless named), or 0 when it is not registered.
DWORD ServiceState(const char* name = kServiceName);
bool KeyExists(HKEY root, const char* path);
// The service's registration as the service manager reports it; empty when it is not registered.
struct ServiceConfig {
    DWORD serviceType = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::string binaryPath;
    std::string startName;
    std::string displayName;
};
std::optional<ServiceConfig> QueryServiceConfiguration(const char* name = kServiceName);

// Synchronisation modes of the settings file.
constexpr int kModeDaily = 0;
constexpr int kModeOnStart = 1;
constexpr int kModeDemandOnly = 3;
constexpr int kModeContinuous = 4;

// A settings file with one list entry per title, all at address.
std::string ServiceSettings(int mode, const std::string& address, const std::vector<std::string>& titles,
                            int maxAttempts = 1);

// The local date-time now, as days since 30 December 1899 (the record's date).
double LocalAutomationDate();

// The last-synchronisation record (zHoraluxServ.bin): status, then the date.
struct SyncRecord {
    std::int32_t status = -1;
    double days = 0.0;
};
void WriteSyncRecord(const SyncRecord& record);
// Waits until the record file is whole and accepted by condition (any whole one when null).
bool WaitForSyncRecord(SyncRecord& record, bool (*condition)(const SyncRecord&) = nullptr,
                       std::chrono::milliseconds limit = std::chrono::seconds(5));

// Starts HoraluxServ.exe with the arguments.
bool LaunchService(CChildProcess& process, const std::string& arguments);

// What a command-line action wrote to its standard output, and its exit code.
struct ActionOutcome {
    std::string output;
    DWORD exitCode = 0;
    bool operator==(const ActionOutcome& other) const {
        return output == other.output && exitCode == other.exitCode;
    }
};
std::ostream& operator<<(std::ostream& stream, const ActionOutcome& outcome);

// Runs one command-line action to its end (bounded). One that could not be started or did not
// end in time says so in its output, with exit code kActionNotRun.
constexpr DWORD kActionNotRun = 0xFFFFFFFF;
ActionOutcome RunAction(const std::string& exe, const std::string& arguments,
                        std::chrono::milliseconds limit = std::chrono::seconds(90));

// The control window once it exists, or null after limit.
HWND WaitForExecWindow(std::chrono::milliseconds limit = std::chrono::seconds(30));
// Writes the settings (as PrepareServiceFiles), starts HoraluxServ.exe as a process (-d) and
// says hello (2000) from console, as the console does: the control window once it answered
// (2001), or null, with the reason on stderr.
class CConsoleStandIn;
HWND StartGreetedService(const std::string& iniText, CChildProcess& service, CConsoleStandIn& console);
// Waits until no control window exists.
bool WaitForNoExecWindow(std::chrono::milliseconds limit = std::chrono::seconds(30));
// The service replaces its log and record by moving a new file over the old one, which Wine
// (and Windows) refuse while another program has the old one open: the line or record is then
// lost until the next write. So a test reads such a file when it changed, judged by its size and
// times (which opens nothing), or else only a few times a second.
//
// Waits until the file contains text.
bool WaitForFileText(const std::string& path, const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(30));
// Waits until the file's contents satisfy condition; contents receives the last ones read.
template <typename Condition>
bool WaitForFileContents(const std::string& path, Condition condition, std::string& contents,
                         std::chrono::milliseconds limit = std::chrono::seconds(30));

// Whether a file changed since the last look, judged without opening it.
class CFileChangeWatch {
public:
    explicit CFileChangeWatch(std::string path) : m_strPath(std::move(path)) {}
    bool changed();

private:
    std::string m_strPath;
    WIN32_FILE_ATTRIBUTE_DATA m_last{};
    bool m_bSeen = false;
};

template <typename Condition>
bool WaitForFileContents(const std::string& path, Condition condition, std::string& contents,
                         std::chrono::milliseconds limit) {
    constexpr auto kRereadAnyway = std::chrono::milliseconds(200);  // a change of equal size within
                                                                    // the times' resolution
    CFileChangeWatch watch(path);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto lastRead = std::chrono::steady_clock::time_point{};
    for (;;) {
        if (watch.changed() || std::chrono::steady_clock::now() - lastRead > kRereadAnyway) {
            lastRead = std::chrono::steady_clock::now();
            contents = ReadWholeFile(path);
            if (condition(contents)) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        ::Sleep(5);
    }
}
