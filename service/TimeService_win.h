#pragma once
// The clock service: its work is the control window's message loop with the console channel
// beside it, its stop ends that loop and then the channel. Windows only.

#include "common/ProductFacts.h"
#include "service/ChannelServer_win.h"
#include "service/ExecWindow_win.h"
#include "service/ServiceBase_win.h"

class CTimeService final : public CServiceBase {
public:
    static constexpr const char* kServiceName = ::kServiceName;
    static constexpr const char* kDisplayName = "Horalux Clock Service";

    // window and channel must outlive the service object.
    CTimeService(CHostReporter& reporter, CExecWindow& window, CChannelServer& channel,
                 HostFamily family = QueryHostFamily());

    void RunService(int argc, char** argv) override;
    void OnStop() override;
    void OnWake() override;
    BOOL WriteSettings(const std::vector<std::string>& args) override;
    BOOL ChangeWindowsTime(const std::string& choice) override;

private:
    void OpenChannel();
    void ReportChannelName(ChannelNameNews news);

    CExecWindow& m_window;
    CChannelServer& m_channel;
};
