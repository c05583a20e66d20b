#include "console/Win32Elevation_win.h"

#include <shellapi.h>

#include "common/WinHandle_win.h"

#include <iterator>

namespace {

struct ElevationTypeEntry {
    TOKEN_ELEVATION_TYPE type;
    ElevationType elevation;
};

constexpr ElevationTypeEntry kElevationTypes[] = {
    {TokenElevationTypeDefault, ElevationType::Default},
    {TokenElevationTypeFull, ElevationType::Full},
    {TokenElevationTypeLimited, ElevationType::Limited},
};

}  // namespace

ElevationType CWin32Elevation::tokenElevation() const {
    UniqueTokenHandle token;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size)) {
        return ElevationType::Unknown;  // before Vista there is no such thing
    }
    for (const ElevationTypeEntry& entry : kElevationTypes) {
        if (entry.type == type) {
            return entry.elevation;
        }
    }
    return ElevationType::Unknown;
}

bool CWin32Elevation::confirm(const std::string& text, const std::string& caption) {
    return ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

ElevatedStart CWin32Elevation::startElevated(const std::string& argument) {
    char path[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(nullptr, path, static_cast<DWORD>(std::size(path)));
    if (length == 0 || length >= std::size(path)) {
        return ElevatedStart::Failed;
    }
    SHELLEXECUTEINFOA start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC;
    start.hwnd = m_hWnd;
    start.lpVerb = "runas";
    start.lpFile = path;
    start.lpParameters = argument.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExA(&start)) {
        return ElevatedStart::Started;
    }
    return ::GetLastError() == ERROR_CANCELLED ? ElevatedStart::Declined : ElevatedStart::Failed;
}
