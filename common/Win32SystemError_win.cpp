#include "common/Win32SystemError_win.h"

#include "common/SystemErrorText.h"
#include "common/WinHandle_win.h"

std::string SystemErrorText(DWORD error, std::size_t bufferSize) {
    char* raw = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&raw), 0, nullptr);
    const UniqueLocalMemory owner(raw);
    return TrimSystemErrorText(length != 0 && raw != nullptr ? std::string(raw, length) : std::string(),
                               bufferSize);
}

std::string ErrorCodeText(int error) {
    return SystemErrorText(static_cast<DWORD>(error));
}

std::string LastErrorText() {
    const DWORD error = ::GetLastError();
    std::string text = SystemErrorText(error);
    // Whoever reports the failure next (ReportLogEvent keeps it) sees the original error.
    ::SetLastError(error);
    return text;
}
