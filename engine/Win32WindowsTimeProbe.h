#pragma once
// The Windows Time service as the service manager and its registry key show it. Windows only.

#include "engine/WindowsTimeProbe.h"

class CWin32WindowsTimeProbe final : public WindowsTimeProbe {
public:
    // Asks for the service's status only, which every account may read.
    WindowsTimeFacts look() const override;
};
