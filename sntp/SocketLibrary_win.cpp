#include "sntp/SocketLibrary.h"

#include <winsock2.h>

CSocketLibrary::CSocketLibrary() {
    WSADATA data{};
    const int error = ::WSAStartup(MAKEWORD(1, 1), &data);
    if (error != 0) {
        m_status.nError = error;
        return;
    }
    m_status = SocketLibraryStatus{true, 0, LOBYTE(data.wVersion), HIBYTE(data.wVersion)};
}

CSocketLibrary::~CSocketLibrary() {
    if (m_status.bStarted) {
        ::WSACleanup();
    }
}
