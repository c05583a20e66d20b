#include "service/NetworkWatch_win.h"

#include "common/ExceptionBarrier.h"

SystemResult CNetworkWatch::Start(std::function<void()> onChange) {
    Stop();
    m_onChange = std::move(onChange);
    const DWORD result = ::NotifyUnicastIpAddressChange(AF_UNSPEC, Changed, this, FALSE, &m_hNotification);
    if (result != NO_ERROR) {
        m_hNotification = nullptr;
        return SystemResult::failure(result);
    }
    return SystemResult::success();
}

void CNetworkWatch::Stop() {
    if (m_hNotification != nullptr) {
        ::CancelMibChangeNotify2(m_hNotification);
        m_hNotification = nullptr;
    }
}

void WINAPI CNetworkWatch::Changed(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE type) {
    if (type == MibInitialNotification) {
        return;
    }
    CallGuarded([&] { static_cast<CNetworkWatch*>(context)->m_onChange(); }, [](const char*) {});
}
