#pragma once
// The clock service: its work is the control window's message loop, its stop ends that
// loop. Windows only.

#include "service/ExecWindow.h"
#include "service/ServiceBase.h"

class CTimeService final : public CServiceBase {
public:
    static constexpr const char* kServiceName = "QN_HoraluxService";
    static constexpr const char* kDisplayName = "Horalux Clock Service";

    // window must outlive the service object.
    CTimeService(CHostReporter& reporter, CExecWindow& window, bool bIsNt = QueryPlatformIsNt());

    void RunService(int argc, char** argv) override;
    void OnStop() override;
    BOOL WriteSettings(const std::vector<std::string>& args) override;

private:
    CExecWindow& m_window;
};
