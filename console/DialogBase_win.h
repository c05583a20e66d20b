#pragma once
// A modal dialog on a dialog template: owns the dialog procedure's thunk (the object
// rides in the window's user data) and turns messages into virtual calls. Nothing thrown
// by a handler leaves the dialog procedure: the user is shown what failed
// (CaughtFailureBox.h). Include only from Windows-only files.

#include <windows.h>

class CDialogBase {
public:
    explicit CDialogBase(int templateId) : m_nTemplateId(templateId) {}
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog until it ends; its result, or -1 when it could not be created.
    INT_PTR DoModal(HWND hOwner);

    HWND GetHwnd() const { return m_hWnd; }

protected:
    // Returns whether the platform should set the default focus.
    virtual bool OnInit() { return true; }
    // A WM_COMMAND; returns whether it was handled. IDOK and IDCANCEL end the dialog
    // unless a derived class handles them.
    virtual bool OnCommand(int id, int notifyCode);
    virtual bool OnNotify(const NMHDR& header);
    virtual void OnTimer(UINT_PTR id);
    // The close command (title bar, system menu); by default the same as IDCANCEL.
    virtual void OnClose();
    // Every other message, before the default handling; returns whether it was consumed.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void EndDialog(INT_PTR result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    int m_nTemplateId;
    HWND m_hWnd = nullptr;
};
