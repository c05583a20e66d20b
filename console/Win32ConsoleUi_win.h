#pragma once
// Win32 adapter of the console's UI port on the main dialog window. Include only from
// Windows-only files.

#include <windows.h>

#include "common/WinHandle_win.h"
#include "console/ConsoleUi.h"
#include "settings/Settings.h"

// The program's file name without its extension: the caption of the framework's own boxes.
std::string ApplicationTitle();

class CWin32ConsoleUi final : public ConsoleUi {
public:
    // settings (edited by the Options and Time Servers dialogs) must outlive the instance.
    explicit CWin32ConsoleUi(CSettings& settings) : m_settings(settings) {}

    // The main window, once it exists.
    void attach(HWND hWnd) { m_hWnd = hWnd; }

    WindowId mainWindow() const override;
    void forEachTopLevelWindow(const std::function<bool(WindowId, const std::string&)>& visit) const override;
    bool postMessage(WindowId target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    unsigned startTimer(unsigned id, unsigned periodMs) override;
    void stopTimer(unsigned id) override;
    void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override;
    std::string loadString(int id) const override;
    std::string applicationTitle() const override;
    void setWindowTitle(const std::string& title) override;
    void setSmallIcon(int iconId) override;
    void setProgressPosition(int position) override;
    std::string fieldText(ConsoleField field) const override;
    void setFieldText(ConsoleField field, const std::string& text) override;
    void shellOpen(const std::string& file) override;
    unsigned long deleteFile(const std::string& file) override;
    std::optional<std::string> readTextFile(const std::string& file) const override;
    bool runOptionsDialog() override;
    bool runServersDialog() override;

private:
    CSettings& m_settings;
    HWND m_hWnd = nullptr;
    UniqueWindowTimer m_progressTimer;
};
