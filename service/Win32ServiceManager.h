#pragma once
// The local computer's service control manager through the Win32 calls. Windows only.

#include "service/ServiceManager.h"

class CWin32ServiceManager final : public ServiceManager {
public:
    Opened<ServiceManagerConnection> connect() override;
    void pause() override;
    std::string errorText(std::uint32_t error) const override;
};
