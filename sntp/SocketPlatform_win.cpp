// Winsock for the Windows build. inet_addr and gethostbyname are the Winsock 1.1 calls the
// service is written for; MSVC calls them deprecated, so say that we mean them.
#define _WINSOCK_DEPRECATED_NO_WARNINGS

#include "sntp/SocketPlatform.h"

#include <winsock2.h>

#include <algorithm>
#include <climits>
#include <cstring>

static_assert(sizeof(SOCKET) == sizeof(socket_platform::NativeSocket),
              "a SOCKET fits the native socket type");
static_assert(INVALID_SOCKET == socket_platform::kInvalidSocket, "the same value means no socket");

namespace socket_platform {

const int kErrorTimedOut = WSAETIMEDOUT;
const int kErrorInvalidArgument = WSAEINVAL;

namespace {

SOCKET handleOf(NativeSocket socket) {
    return static_cast<SOCKET>(socket);
}

}  // namespace

int lastError() {
    return ::WSAGetLastError();
}

void setLastError(int code) {
    ::WSASetLastError(code);
}

NativeSocket openUdpSocket() {
    return static_cast<NativeSocket>(::socket(AF_INET, SOCK_DGRAM, 0));
}

void closeSocket(NativeSocket socket) {
    ::closesocket(handleOf(socket));
}

bool parseDottedAddress(const std::string& text, std::uint32_t& address) {
    const unsigned long parsed = ::inet_addr(text.c_str());
    if (parsed == INADDR_NONE) {
        return false;
    }
    address = parsed;
    return true;
}

bool lookUpHost(const std::string& name, std::uint32_t& address) {
    // The answer lives in per-thread storage of Winsock, so it is copied at once.
    const hostent* host = ::gethostbyname(name.c_str());
    if (host == nullptr) {
        return false;
    }
    if (host->h_addrtype != AF_INET || host->h_length != sizeof address || host->h_addr_list[0] == nullptr) {
        ::WSASetLastError(WSANO_DATA);
        return false;
    }
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return true;
}

bool connectIpv4(NativeSocket socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = ::htons(port);
    peer.sin_addr.s_addr = address;
    return ::connect(handleOf(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

bool sendDatagram(NativeSocket socket, const void* data, std::size_t length) {
    if (length > INT_MAX) {
        ::WSASetLastError(WSAEMSGSIZE);
        return false;
    }
    return ::send(handleOf(socket), static_cast<const char*>(data), static_cast<int>(length), 0) !=
           SOCKET_ERROR;
}

int receiveDatagram(NativeSocket socket, void* buffer, std::size_t capacity) {
    const int count = ::recv(handleOf(socket), static_cast<char*>(buffer),
                             static_cast<int>(std::min<std::size_t>(capacity, INT_MAX)), 0);
    return count == SOCKET_ERROR ? -1 : count;
}

WaitResult waitReadable(NativeSocket socket, std::uint64_t timeoutUs) {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(handleOf(socket), &readSet);
    timeval timeout{};
    timeout.tv_sec = static_cast<long>(timeoutUs / 1000000);
    timeout.tv_usec = static_cast<long>(timeoutUs % 1000000);
    // The first argument is ignored by Winsock.
    const int count = ::select(0, &readSet, nullptr, nullptr, &timeout);
    if (count == SOCKET_ERROR) {
        return WaitResult::Failed;
    }
    return count == 0 ? WaitResult::TimedOut : WaitResult::Readable;
}

}  // namespace socket_platform
