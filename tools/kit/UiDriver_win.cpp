#include "tools/kit/UiDriver_win.h"

#include <commctrl.h>

#include <iterator>

#include "common/WinHandle_win.h"
#include "tools/kit/WaitUntil.h"

namespace ui_driver {

namespace {

struct Search {
    const std::string* title;
    const char* className;  // nullptr: any
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char title[1024] = "";
    char className[256] = "";
    ::GetWindowTextA(window, title, static_cast<int>(std::size(title)));
    ::GetClassNameA(window, className, static_cast<int>(std::size(className)));
    if (::IsWindowVisible(window) && *search.title == title && (search.pid == 0 || search.pid == owner) &&
        (search.className == nullptr || lstrcmpA(search.className, className) == 0)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND find(const std::string& title, const char* className, DWORD pid) {
    Search search{&title, className, pid, nullptr};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitFor(const std::string& title, const char* className, DWORD pid, milliseconds timeout) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = find(title, className, pid)) != nullptr; }, timeout);
    return found;
}

// A block of memory in the process that owns a window, released with it.
class CRemoteMemory {
public:
    CRemoteMemory(HWND window, std::size_t size) : m_nSize(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        m_hProcess.reset(
            ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (m_hProcess) {
            m_pAddress =
                ::VirtualAllocEx(m_hProcess.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        }
    }
    ~CRemoteMemory() {
        if (m_pAddress != nullptr) {
            ::VirtualFreeEx(m_hProcess.get(), m_pAddress, 0, MEM_RELEASE);
        }
    }
    CRemoteMemory(const CRemoteMemory&) = delete;
    CRemoteMemory& operator=(const CRemoteMemory&) = delete;

    bool valid() const { return m_pAddress != nullptr; }
    char* address(std::size_t offset = 0) const { return static_cast<char*>(m_pAddress) + offset; }
    bool write(const void* data, std::size_t size, std::size_t offset = 0) const {
        return offset + size <= m_nSize &&
               ::WriteProcessMemory(m_hProcess.get(), address(offset), data, size, nullptr) != FALSE;
    }
    bool read(void* data, std::size_t size, std::size_t offset = 0) const {
        return offset + size <= m_nSize &&
               ::ReadProcessMemory(m_hProcess.get(), address(offset), data, size, nullptr) != FALSE;
    }

private:
    UniqueKernelHandle m_hProcess;
    void* m_pAddress = nullptr;
    std::size_t m_nSize;
};

}  // namespace

HWND findWindow(const std::string& title, DWORD pid) {
    return find(title, nullptr, pid);
}

HWND waitForWindow(const std::string& title, DWORD pid, milliseconds timeout) {
    return waitFor(title, nullptr, pid, timeout);
}

bool waitForWindowGone(HWND window, milliseconds timeout) {
    return WaitUntil([window] { return !::IsWindow(window); }, timeout);
}

HWND control(HWND dialog, int id) {
    return ::GetDlgItem(dialog, id);
}

std::string text(HWND window) {
    const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string value(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        ::SendMessageA(window, WM_GETTEXT, value.size(), reinterpret_cast<LPARAM>(value.data()));
    value.resize(static_cast<std::size_t>(copied));
    return value;
}

std::string text(HWND dialog, int id) {
    return text(control(dialog, id));
}

bool setText(HWND window, const std::string& value) {
    return ::SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str())) != FALSE;
}

bool waitForText(HWND dialog, int id, const std::string& expected, milliseconds timeout) {
    return WaitUntil([&] { return text(dialog, id) == expected; }, timeout);
}

void click(HWND dialog, int id) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(control(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, static_cast<UINT>(kWait.count()),
                          &ignored);
}

void clickAsync(HWND dialog, int id) {
    ::PostMessageA(control(dialog, id), BM_CLICK, 0, 0);
}

HWND waitForMessageBox(const std::string& caption, DWORD pid, milliseconds timeout) {
    return waitFor(caption, "#32770", pid, timeout);
}

std::string messageBoxText(HWND box) {
    return text(box, 0xFFFF);
}

bool dismiss(HWND box, milliseconds timeout) {
    HWND ok = control(box, IDOK);
    ::PostMessageA(ok != nullptr ? ok : control(box, IDCANCEL), BM_CLICK, 0, 0);
    return waitForWindowGone(box, timeout);
}

void waitForPaint(HWND window) {
    // A sent message comes back once the window's thread reads its queue again; the pause
    // after it lets the paint that follows reach the screen. For pictures only: no test
    // result depends on it.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(kWait.count()), &ignored);
    ::Sleep(500);
}

int progressPosition(HWND dialog, int id) {
    return static_cast<int>(::SendMessageA(control(dialog, id), PBM_GETPOS, 0, 0));
}

bool isChecked(HWND dialog, int id) {
    return ::SendMessageA(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

HWND focusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

void pressKey(HWND window, int virtualKey) {
    const UINT scan = ::MapVirtualKeyA(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    ::PostMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(virtualKey),
                   static_cast<LPARAM>(1 | (scan << 16)));
    ::PostMessageA(window, WM_KEYUP, static_cast<WPARAM>(virtualKey),
                   static_cast<LPARAM>(1 | (scan << 16) | (1u << 30) | (1u << 31)));
}

int rowCount(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string rowText(HWND list, int row, int column) {
    constexpr std::size_t kTextSize = 1024;
    const CRemoteMemory remote(list, sizeof(LVITEMA) + kTextSize);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.address(sizeof(LVITEMA));
    item.cchTextMax = static_cast<int>(kTextSize);
    if (!remote.valid() || !remote.write(&item, sizeof item)) {
        return "<no remote memory>";
    }
    const LRESULT length = ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                          reinterpret_cast<LPARAM>(remote.address()));
    std::string text(kTextSize, '\0');
    if (!remote.read(text.data(), kTextSize, sizeof(LVITEMA))) {
        return "<unreadable>";
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

int selectedRow(HWND list) {
    return static_cast<int>(::SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool clickRow(HWND list, int row) {
    const CRemoteMemory remote(list, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_LABEL;
    if (!remote.valid() || !remote.write(&rect, sizeof rect) ||
        !::SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(remote.address())) ||
        !remote.read(&rect, sizeof rect)) {
        return false;
    }
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageA(list, WM_LBUTTONUP, 0, point);
    return true;
}

namespace {

// ImageMagick's import of the X display with extra options, written under another name and
// renamed when complete: Wine starts a Unix program given by its Windows path, but its handle
// does not wait for the Unix program, so the renamed file is the signal.
bool importDisplay(const std::string& windowsPath, const std::string& options) {
    if (windowsPath.size() < 3 ||
        (windowsPath.compare(0, 2, "Z:") != 0 && windowsPath.compare(0, 2, "z:") != 0)) {
        return false;
    }
    std::string unixPath = windowsPath.substr(2);
    for (char& c : unixPath) {
        c = c == '\\' ? '/' : c;
    }
    ::DeleteFileA(windowsPath.c_str());
    CChildProcess shell;
    return shell.start("Z:\\bin\\sh -c \"import -window root " + options + unixPath + ".part.png && mv " +
                       unixPath + ".part.png " + unixPath + "\"") &&
           WaitUntil([&] { return ::GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     std::chrono::seconds(30));
}

}  // namespace

bool screenshot(const std::string& windowsPath) {
    return importDisplay(windowsPath, "");
}

bool screenshot(const std::string& windowsPath, HWND window) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        return false;
    }
    const std::string crop = "-crop " + std::to_string(rect.right - rect.left) + "x" +
                             std::to_string(rect.bottom - rect.top) + "+" + std::to_string(rect.left) + "+" +
                             std::to_string(rect.top) + " +repage ";
    return importDisplay(windowsPath, crop);
}

CTestDesktop::CTestDesktop(const std::string& name, const std::string& size) : m_strName(name) {
    if (!m_explorer.start("explorer.exe /desktop=" + name + "," + size)) {
        return;
    }
    WaitUntil(
        [this] {
            m_hDesktop.reset(::OpenDesktopA(m_strName.c_str(), 0, FALSE, GENERIC_ALL));
            return m_hDesktop.isValid();
        },
        kWait);
    m_bReady = m_hDesktop && ::SetThreadDesktop(m_hDesktop.get());
}

bool CTestDesktop::enter() const {
    return m_hDesktop && ::SetThreadDesktop(m_hDesktop.get());
}

CTestDesktop::~CTestDesktop() {
    m_explorer.terminate();
}

bool CTestDesktop::start(CChildProcess& process, const std::string& commandLine,
                         const std::string& folder) const {
    return process.start(commandLine, folder, m_strName);
}

}  // namespace ui_driver
