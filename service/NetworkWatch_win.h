#pragma once
// Hears the computer's addresses come and go (NotifyUnicastIpAddressChange): each change calls
// the function given, on a thread of the system's, until the watch stops. Windows only.

// In this order: netioapi.h declares the notifications only after ws2ipdef.h, and iphlpapi.h
// leaves netioapi.h out unless NTDDI_VERSION is set.
#include <windows.h>

#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <netioapi.h>

#include "common/SystemResult.h"

#include <functional>

class CNetworkWatch {
public:
    CNetworkWatch() = default;
    ~CNetworkWatch() { Stop(); }
    CNetworkWatch(const CNetworkWatch&) = delete;
    CNetworkWatch& operator=(const CNetworkWatch&) = delete;

    // onChange must be safe on any thread and stay valid until Stop; the failure says why the
    // system would not watch.
    SystemResult Start(std::function<void()> onChange);
    // Waits for a call in progress to end; nothing is called afterwards.
    void Stop();

private:
    static void WINAPI Changed(PVOID context, PMIB_UNICASTIPADDRESS_ROW row, MIB_NOTIFICATION_TYPE type);

    std::function<void()> m_onChange;
    HANDLE m_hNotification = nullptr;
};
