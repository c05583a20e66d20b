#include "tools/kit/ServiceProgram_win.h"

#include "common/ProductFacts.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/WaitUntil.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

std::string ServiceExePath() {
    // The build gives a host path; Wine shows the host's root as drive Z:.
    std::string path = HORALUX_SERV_EXE;
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string ConsoleExePath() {
    const std::string service = ServiceExePath();
    return service.substr(0, service.rfind("\\service\\")) + "\\console\\app\\HoraluxCons.exe";
}

std::string ScreenshotPath(const std::string& name) {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of('\\')) + "\\screenshots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    return folder + "\\" + name;
}

std::string WindowsFile(const char* name) {
    char directory[MAX_PATH] = {};
    ::GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\" + name;
}

void PrepareServiceFiles(const std::string& iniText) {
    std::string crlf;
    for (char c : iniText) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    std::ofstream(WindowsFile(kSettingsFileName), std::ios::binary) << crlf;
    ::DeleteFileA(WindowsFile(kLogFileName).c_str());
    ::DeleteFileA(WindowsFile(kRecordFileName).c_str());
    ::DeleteFileA(WindowsFile(kDriftFileName).c_str());
}

std::string ServiceSettings(int mode, const std::string& address, const std::vector<std::string>& titles,
                            int maxAttempts) {
    std::string text =
        "[Options]\nnSynPeriod=" + std::to_string(mode) + "\nnMaxAttempts=" + std::to_string(maxAttempts) +
        "\nbOnlySuccLog=0\nnStartingServ=0\n[Servers]\nServers_Counter=" + std::to_string(titles.size()) +
        "\n";
    for (std::size_t i = 0; i < titles.size(); ++i) {
        text += "Servers " + std::to_string(i) + "=" + titles[i] + "~" + address + "~1\n";
    }
    return text;
}

double LocalAutomationDate() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FILETIME file{};
    ::SystemTimeToFileTime(&now, &file);
    const double ticks =
        static_cast<double>((static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
    constexpr double kTicksPerDay = 864e9;
    constexpr double kDaysFrom1601To1899 = 109205.0;
    return ticks / kTicksPerDay - kDaysFrom1601To1899;
}

void WriteSyncRecord(const SyncRecord& record) {
    char bytes[sizeof record.status + sizeof record.days];
    std::memcpy(bytes, &record.status, sizeof record.status);
    std::memcpy(bytes + sizeof record.status, &record.days, sizeof record.days);
    std::ofstream(WindowsFile(kRecordFileName), std::ios::binary).write(bytes, sizeof bytes);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool LaunchService(CChildProcess& process, const std::string& arguments) {
    return process.start("\"" + ServiceExePath() + "\" " + arguments);
}

std::ostream& operator<<(std::ostream& stream, const ActionOutcome& outcome) {
    return stream << "exit code " << outcome.exitCode << ", output \"" << outcome.output << '"';
}

ActionOutcome RunAction(const std::string& exe, const std::string& arguments,
                        std::chrono::milliseconds limit) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string outputFile =
        std::string(folder) + "horalux-action-" + std::to_string(::GetCurrentProcessId()) + ".txt";
    DWORD exitCode = kActionNotRun;
    {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const UniqueFileHandle output(::CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
        std::string commandLine = "\"" + exe + "\" " + arguments;
        PROCESS_INFORMATION info{};
        if (!output || !::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                         nullptr, &startup, &info)) {
            return {"<not started>", kActionNotRun};
        }
        const UniqueKernelHandle process(info.hProcess);
        const UniqueKernelHandle thread(info.hThread);
        if (::WaitForSingleObject(process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
            return {"<did not end in time>", kActionNotRun};
        }
        ::GetExitCodeProcess(process.get(), &exitCode);
    }
    std::string output = ReadWholeFile(outputFile);
    ::DeleteFileA(outputFile.c_str());
    return {output, exitCode};
}

HWND WaitForExecWindow(std::chrono::milliseconds limit) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = ::FindWindowA(kExecWindowClass, kExecWindowTitle)) != nullptr; }, limit);
    return window;
}

HWND StartGreetedService(const std::string& iniText, CChildProcess& service, CConsoleStandIn& console) {
    PrepareServiceFiles(iniText);
    if (!LaunchService(service, "-d")) {
        std::fprintf(stderr, "the service did not start\n");
        return nullptr;
    }
    const HWND hWindow = WaitForExecWindow();
    WPARAM parameter = 0;
    if (hWindow == nullptr ||
        !::PostMessageA(hWindow, UM_CONSOLE_HELLO, reinterpret_cast<WPARAM>(console.get()), 0) ||
        !console.waitFor(UM_SERVICE_HELLO, parameter)) {
        std::fprintf(stderr, "no control window or no answer to 2000\n");
        return nullptr;
    }
    return hWindow;
}

bool WaitForNoExecWindow(std::chrono::milliseconds limit) {
    return WaitUntil([] { return ::FindWindowA(kExecWindowClass, kExecWindowTitle) == nullptr; }, limit);
}

bool CFileChangeWatch::changed() {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!::GetFileAttributesExA(m_strPath.c_str(), GetFileExInfoStandard, &now)) {
        now = WIN32_FILE_ATTRIBUTE_DATA{};
    }
    const bool bSame = m_bSeen && now.nFileSizeLow == m_last.nFileSizeLow &&
                       now.nFileSizeHigh == m_last.nFileSizeHigh &&
                       ::CompareFileTime(&now.ftLastWriteTime, &m_last.ftLastWriteTime) == 0 &&
                       ::CompareFileTime(&now.ftCreationTime, &m_last.ftCreationTime) == 0;
    m_last = now;
    m_bSeen = true;
    return !bSame;
}

bool WaitForSyncRecord(SyncRecord& record, bool (*condition)(const SyncRecord&),
                       std::chrono::milliseconds limit) {
    std::string bytes;
    return WaitForFileContents(
        WindowsFile(kRecordFileName),
        [&](const std::string& contents) {
            if (contents.size() != sizeof record.status + sizeof record.days) {
                return false;
            }
            std::memcpy(&record.status, contents.data(), sizeof record.status);
            std::memcpy(&record.days, contents.data() + sizeof record.status, sizeof record.days);
            return condition == nullptr || condition(record);
        },
        bytes, limit);
}

bool WaitForFileText(const std::string& path, const std::string& text, std::chrono::milliseconds limit) {
    std::string contents;
    return WaitForFileContents(
        path, [&](const std::string& bytes) { return bytes.find(text) != std::string::npos; }, contents,
        limit);
}

bool KeyExists(HKEY root, const char* path) {
    UniqueRegistryKey key;
    return ::RegOpenKeyExA(root, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

DWORD ServiceState(const char* name) {
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(manager ? ::OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS)
                                              : nullptr);
    SERVICE_STATUS status{};
    return service && ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

std::optional<ServiceConfig> QueryServiceConfiguration(const char* name) {
    const UniqueServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const UniqueServiceHandle service(manager ? ::OpenServiceA(manager.get(), name, SERVICE_QUERY_CONFIG)
                                              : nullptr);
    DWORD needed = 0;
    if (!service || (::QueryServiceConfigA(service.get(), nullptr, 0, &needed) == FALSE &&
                     ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)) {
        return std::nullopt;
    }
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!::QueryServiceConfigA(service.get(), config, needed, &needed)) {
        return std::nullopt;
    }
    return ServiceConfig{config->dwServiceType,    config->dwStartType,        config->dwErrorControl,
                         config->lpBinaryPathName, config->lpServiceStartName, config->lpDisplayName};
}
