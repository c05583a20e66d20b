#include "console/DialogBase_win.h"

#include "common/ExceptionBarrier.h"
#include "console/CaughtFailureBox_win.h"

INT_PTR CDialogBase::DoModal(HWND hOwner) {
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nTemplateId), hOwner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CDialogBase::OnCommand(int id, int /*notifyCode*/) {
    if (id != IDOK && id != IDCANCEL) {
        return false;
    }
    EndDialog(id);
    return true;
}

bool CDialogBase::OnNotify(const NMHDR& /*header*/) {
    return false;
}

void CDialogBase::OnTimer(UINT_PTR /*id*/) {}

void CDialogBase::OnClose() {
    EndDialog(IDCANCEL);
}

bool CDialogBase::OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return false;
}

void CDialogBase::EndDialog(INT_PTR result) {
    ::EndDialog(m_hWnd, result);
}

bool CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_INITDIALOG: result = OnInit() ? TRUE : FALSE; return true;
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_TIMER: OnTimer(wParam); return true;
        case WM_CLOSE: OnClose(); return true;
        default: return OnMessage(message, wParam, lParam);
    }
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialogBase*>(lParam);
        dialog->m_hWnd = hWnd;
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT): the default handling
    }
    // A failed handler is shown and leaves the dialog as it was; the user may try again.
    INT_PTR handled = FALSE;
    CallGuarded(
        [&] {
            INT_PTR result = TRUE;
            handled = dialog->Dispatch(message, wParam, lParam, result) ? result : FALSE;
        },
        [hWnd](const char* what) { ShowCaughtFailure(hWnd, "DialogProc", what); });
    return handled;
}
