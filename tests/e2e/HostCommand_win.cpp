#include "tests/e2e/HostCommand.h"

#include "common/WinHandle_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/WaitUntil.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace {

// A host path as Wine shows it: the host's root is drive Z:.
std::string WindowsPathOf(const std::string& hostPath) {
    std::string path = "Z:" + hostPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// Unique within the work folder across test processes, which run one after the other or
// side by side.
std::string NextStem() {
    static std::atomic<unsigned> counter{0};
    return std::string(HORALUX_E2E_WORK_DIR) + "/cmd-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount64()) + "-" + std::to_string(counter++);
}

}  // namespace

std::string SourceDirOnHost() {
    return HORALUX_SOURCE_DIR;
}

bool InPrivateNetworkNamespace() {
    const char* value = std::getenv("HORALUX_NETNS");
    return value != nullptr && std::string(value) == "1";
}

HostCommandResult NamespaceGateway(const char* action) {
    return RunHostCommand("'" + SourceDirOnHost() + "/tests/e2e/namespace-gateway.sh' " + action);
}

HostCommandResult RunHostCommand(const std::string& script, std::chrono::milliseconds limit) {
    HostCommandResult result;
    ::CreateDirectoryA(WindowsPathOf(HORALUX_E2E_WORK_DIR).c_str(), nullptr);
    const std::string stem = NextStem();
    const std::string scriptFile = stem + ".sh";
    const std::string outputFile = stem + ".out";
    const std::string statusFile = stem + ".rc";
    {
        // Unix line ends; the status file appears whole, by a rename, only once the command ended.
        std::ofstream file(WindowsPathOf(scriptFile), std::ios::binary);
        file << "cd '" << HORALUX_E2E_WORK_DIR << "'\n"
             << "( " << script << "\n) >'" << outputFile << "' 2>&1 </dev/null\n"
             << "echo $? >'" << statusFile << ".part'\n"
             << "mv '" << statusFile << ".part' '" << statusFile << "'\n";
        if (!file) {
            return result;
        }
    }
    std::string commandLine = "Z:\\bin\\sh " + scriptFile;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        ::DeleteFileA(WindowsPathOf(scriptFile).c_str());
        return result;
    }
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    result.bEnded = WaitUntil([&] { return FileExists(WindowsPathOf(statusFile)); }, limit);
    if (result.bEnded) {
        result.exitCode = std::atoi(ReadWholeFile(WindowsPathOf(statusFile)).c_str());
        result.output = ReadWholeFile(WindowsPathOf(outputFile));
        for (const std::string& file : {scriptFile, outputFile, statusFile}) {
            ::DeleteFileA(WindowsPathOf(file).c_str());
        }
    }
    return result;
}
