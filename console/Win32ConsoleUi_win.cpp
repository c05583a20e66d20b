#include "console/Win32ConsoleUi_win.h"

#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <iterator>
#include <memory>

#include "common/ExceptionBarrier.h"
#include "common/UniqueFile.h"
#include "common/WinHandle_win.h"
#include "console/CaughtFailureBox_win.h"
#include "console/FileErrorText.h"
#include "console/OptionsDlg_win.h"
#include "console/ServersDlg_win.h"
#include "console/Win32DialogView_win.h"
#include "console/resource.h"

// deleteFile hands the platform's code to the core, which names these.
static_assert(file_error::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(file_error::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(file_error::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(file_error::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(file_error::kLockViolation == ERROR_LOCK_VIOLATION);

namespace {

int FieldControl(ConsoleField field) {
    struct Entry {
        ConsoleField field;
        int control;
    };
    static const Entry kFields[] = {
        {ConsoleField::Server, IDC_SERVER_TITLE},
        {ConsoleField::Result, IDC_RESULT},
        {ConsoleField::Log, IDC_LOG},
    };
    for (const Entry& entry : kFields) {
        if (entry.field == field) {
            return entry.control;
        }
    }
    return 0;
}

struct Enumeration {
    const std::function<bool(WindowId, const std::string&)>& visit;
    HWND hOwner;  // the main window, which owns a box about a failed visit
};

BOOL CALLBACK VisitTopLevelWindow(HWND hWnd, LPARAM lParam) {
    const Enumeration& enumeration = *reinterpret_cast<const Enumeration*>(lParam);
    // A failed visit ends the enumeration.
    BOOL bGoOn = FALSE;
    CallGuarded(
        [&] {
            char title[1023] = "";
            ::GetWindowTextA(hWnd, title, static_cast<int>(std::size(title)));
            bGoOn = enumeration.visit(reinterpret_cast<WindowId>(hWnd), title) ? TRUE : FALSE;
        },
        [&](const char* what) { ShowCaughtFailure(enumeration.hOwner, "EnumWindows", what); });
    return bGoOn;
}

// Opens a file for reading in text mode while letting the service write, rename and replace
// it: the service replaces the log by moving a new file over it, which fails while a reader
// holds the old one without FILE_SHARE_DELETE.
UniqueFile OpenSharedForReading(const std::string& file) {
    UniqueFileHandle handle(::CreateFileA(file.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        return nullptr;
    }
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY | _O_TEXT);
    if (descriptor == -1) {
        return nullptr;
    }
    handle.release();  // the descriptor owns it now
    UniqueFile stream(::_fdopen(descriptor, "rt"));
    if (!stream) {
        ::_close(descriptor);
    }
    return stream;
}

}  // namespace

WindowId CWin32ConsoleUi::mainWindow() const {
    return reinterpret_cast<WindowId>(m_hWnd);
}

void CWin32ConsoleUi::forEachTopLevelWindow(
    const std::function<bool(WindowId, const std::string&)>& visit) const {
    const Enumeration enumeration{visit, m_hWnd};
    ::EnumWindows(VisitTopLevelWindow, reinterpret_cast<LPARAM>(&enumeration));
}

bool CWin32ConsoleUi::postMessage(WindowId target, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    return ::PostMessageA(reinterpret_cast<HWND>(target), message, wParam, lParam) != FALSE;
}

unsigned CWin32ConsoleUi::startTimer(unsigned id, unsigned periodMs) {
    const UINT_PTR started = ::SetTimer(m_hWnd, id, periodMs, nullptr);
    m_progressTimer.reset(started != 0 ? WindowTimer{m_hWnd, started} : WindowTimerTraits::empty());
    return static_cast<unsigned>(started);
}

void CWin32ConsoleUi::stopTimer(unsigned id) {
    if (m_progressTimer.get().nId == id) {
        m_progressTimer.reset();
    } else {
        ::KillTimer(m_hWnd, id);
    }
}

void CWin32ConsoleUi::showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MessageBoxIconFlags(icon));
}

std::string CWin32ConsoleUi::loadString(int id) const {
    char text[1024] = "";
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(id), text,
                                     static_cast<int>(std::size(text)));
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string ApplicationTitle() {
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, static_cast<DWORD>(std::size(path)));
    const std::string file = std::string(path).substr(std::string(path).find_last_of("\\/") + 1);
    return file.substr(0, file.rfind('.'));
}

std::string CWin32ConsoleUi::applicationTitle() const {
    return ApplicationTitle();
}

void CWin32ConsoleUi::setWindowTitle(const std::string& title) {
    ::SendMessageA(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
}

void CWin32ConsoleUi::setSmallIcon(int iconId) {
    // Shared icons belong to the system's cache; they are never destroyed by us.
    const HANDLE icon =
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CWin32ConsoleUi::setProgressPosition(int position) {
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

std::string CWin32ConsoleUi::fieldText(ConsoleField field) const {
    return DialogItemText(m_hWnd, FieldControl(field));
}

void CWin32ConsoleUi::setFieldText(ConsoleField field, const std::string& text) {
    ::SetDlgItemTextA(m_hWnd, FieldControl(field), text.c_str());
}

void CWin32ConsoleUi::shellOpen(const std::string& file) {
    ::ShellExecuteA(nullptr, "open", file.c_str(), nullptr, "", SW_SHOW);
}

unsigned long CWin32ConsoleUi::deleteFile(const std::string& file) {
    return ::DeleteFileA(file.c_str()) ? 0 : ::GetLastError();
}

std::optional<std::string> CWin32ConsoleUi::readTextFile(const std::string& file) const {
    // Text mode turns CR LF into LF.
    const UniqueFile stream = OpenSharedForReading(file);
    if (!stream) {
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0) {
        text.append(chunk, count);
    }
    return text;
}

bool CWin32ConsoleUi::runOptionsDialog() {
    COptionsDlg dialog(*this, m_settings);
    return dialog.DoModal(m_hWnd) == IDOK;
}

bool CWin32ConsoleUi::runServersDialog() {
    CServersDlg dialog(*this, m_settings);
    return dialog.DoModal(m_hWnd) == IDOK;
}
