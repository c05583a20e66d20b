#include "service/HostPlatform_win.h"

#include "common/WinHandle_win.h"

namespace {

constexpr DWORD kModulePathCapacity = 1024;

// Where the command line's output goes: the standard output when it leads somewhere (a file or
// a pipe, as when redirected), else the console of the command prompt that started the
// program. A windowed program gets neither from Windows by itself; under Wine it inherits the
// standard output of a terminal or of wine's cmd. With neither, nothing is seen.
class CCommandOutput {
public:
    CCommandOutput() {
        const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
        if (output != nullptr && output != INVALID_HANDLE_VALUE &&
            ::GetFileType(output) != FILE_TYPE_UNKNOWN) {
            m_hTarget = output;
        } else if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
            m_hConsole.reset(::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
            m_hTarget = m_hConsole.get();
        }
    }

    void Write(const std::string& text) const {
        if (m_hTarget == INVALID_HANDLE_VALUE) {
            return;
        }
        DWORD written = 0;
        ::WriteFile(m_hTarget, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

private:
    UniqueFileHandle m_hConsole;
    HANDLE m_hTarget = INVALID_HANDLE_VALUE;
};

}  // namespace

ProgramPath QueryModulePath() {
    char buffer[kModulePathCapacity] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer, kModulePathCapacity - 1);
    if (length == 0 || length >= kModulePathCapacity - 1) {
        return ProgramPath{std::nullopt, length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER};
    }
    return ProgramPath{std::string(buffer, length), 0};
}

void WriteStandardOutput(const std::string& text) {
    static const CCommandOutput output;  // found once, at the first line
    output.Write(text);
}

HostFamily QueryHostFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    const bool bNt = ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return bNt ? HostFamily::Nt : HostFamily::Windows9x;
}
