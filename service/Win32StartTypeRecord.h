#pragma once
// The Windows Time service's start type from before Horalux disabled it, kept as the value
// W32TimeStartType under HKEY_LOCAL_MACHINE\Software\Horalux until the removal restores it.
// Windows only.

#include "service/WindowsTimeSetup.h"

class CWin32StartTypeRecord final : public StartTypeRecord {
public:
    std::optional<std::uint32_t> recall() const override;
    SystemResult keep(std::uint32_t startType) override;
    // A value already gone counts as forgotten.
    SystemResult forget() override;
};
