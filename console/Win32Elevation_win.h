#pragma once
// Win32 adapter of the console's elevation port: the process token's elevation type, a Yes/No
// box, and this program started again through the shell's "runas" verb. Include only from
// Windows-only files.

#include <windows.h>

#include "console/Elevation.h"

class CWin32Elevation final : public Elevation {
public:
    // The owner of the box and of the system's prompt, once it exists.
    void attach(HWND hWnd) { m_hWnd = hWnd; }

    ElevationType tokenElevation() const override;
    bool confirm(const std::string& text, const std::string& caption) override;
    ElevatedStart startElevated(const std::string& argument) override;

private:
    HWND m_hWnd = nullptr;
};
