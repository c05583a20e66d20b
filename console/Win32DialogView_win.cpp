#include "console/Win32DialogView_win.h"

#include <commctrl.h>

static_assert(kDialogOk == IDOK);

std::string DialogItemText(HWND dialog, int id) {
    const HWND control = ::GetDlgItem(dialog, id);
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(control)) + 1, '\0');
    const int length = ::GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

UINT MessageBoxIconFlags(MessageIcon icon) {
    return icon == MessageIcon::Warning ? MB_ICONWARNING : MB_ICONERROR;
}

std::string CWin32DialogView::itemText(int id) const {
    return DialogItemText(m_hWnd, id);
}

void CWin32DialogView::setItemText(int id, const std::string& text) {
    ::SetDlgItemTextA(m_hWnd, id, text.c_str());
}

bool CWin32DialogView::isChecked(int id) const {
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CWin32DialogView::setChecked(int id, bool checked) {
    ::CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CWin32DialogView::enableItem(int id, bool enabled) {
    ::EnableWindow(::GetDlgItem(m_hWnd, id), enabled ? TRUE : FALSE);
}

void CWin32DialogView::showItem(int id, bool shown) {
    ::ShowWindow(::GetDlgItem(m_hWnd, id), shown ? SW_SHOW : SW_HIDE);
}

void CWin32DialogView::focusAndSelect(int id) {
    // WM_NEXTDLGCTL also moves the default button and selects an edit's text.
    const HWND control = ::GetDlgItem(m_hWnd, id);
    ::SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    ::SendMessageA(control, EM_SETSEL, 0, -1);
}

void CWin32DialogView::setUpDown(int id, int lower, int upper, int position) {
    ::SendDlgItemMessageA(m_hWnd, id, UDM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    ::SendDlgItemMessageA(m_hWnd, id, UDM_SETPOS32, 0, position);
}

void CWin32DialogView::showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
    ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_OK | MessageBoxIconFlags(icon));
}

void CWin32DialogView::endDialog(bool ok) {
    ::EndDialog(m_hWnd, ok ? IDOK : IDCANCEL);
}
