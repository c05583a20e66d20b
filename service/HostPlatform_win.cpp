#include "service/HostPlatform_win.h"

namespace {

constexpr DWORD kModulePathCapacity = 1024;

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
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    ::WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

HostFamily QueryHostFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    const bool bNt = ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    return bNt ? HostFamily::Nt : HostFamily::Windows9x;
}
