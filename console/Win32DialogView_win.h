#pragma once
// Win32 adapter of the dialog port on a dialog window. Include only from Windows-only files.

#include <windows.h>

#include "console/DialogView.h"

// The text of a dialog's control.
std::string DialogItemText(HWND dialog, int id);
// MB_ICONWARNING or MB_ICONERROR.
UINT MessageBoxIconFlags(MessageIcon icon);

class CWin32DialogView final : public DialogView {
public:
    // The dialog window, once it exists.
    void attach(HWND hWnd) { m_hWnd = hWnd; }

    std::string itemText(int id) const override;
    void setItemText(int id, const std::string& text) override;
    bool isChecked(int id) const override;
    void setChecked(int id, bool checked) override;
    void enableItem(int id, bool enabled) override;
    void showItem(int id, bool shown) override;
    void focusAndSelect(int id) override;
    void setUpDown(int id, int lower, int upper, int position) override;
    void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void endDialog(bool ok) override;

private:
    HWND m_hWnd = nullptr;
};
