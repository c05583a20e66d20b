// Winsock for the Windows build. inet_addr is the Winsock 1.1 call the service reads dotted
// addresses with; MSVC calls it deprecated, so say that we mean it.
#define _WINSOCK_DEPRECATED_NO_WARNINGS

#include "sntp/SocketPlatform.h"

#include "sntp/SocketAddress.h"
#include "sntp/SocketLibrary.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <iterator>

static_assert(sizeof(SOCKET) == sizeof(socket_platform::NativeSocket),
              "a SOCKET fits the native socket type");
static_assert(INVALID_SOCKET == socket_platform::kInvalidSocket, "the same value means no socket");

namespace socket_platform {

const int kErrorTimedOut = WSAETIMEDOUT;
const int kErrorInvalidArgument = WSAEINVAL;
const int kErrorPortUnreachable = WSAECONNRESET;
const int kErrorMessageSize = WSAEMSGSIZE;

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

// Winsock reports an ICMP "port unreachable" for a datagram as a reset connection.
bool isUnreachable(int code) {
    constexpr int kUnreachable[] = {WSAECONNREFUSED, WSAECONNRESET, WSAENETUNREACH, WSAEHOSTUNREACH,
                                    WSAENETDOWN};
    return std::find(std::begin(kUnreachable), std::end(kUnreachable), code) != std::end(kUnreachable);
}

NativeSocket openUdpSocket(AddressFamily family) {
    return static_cast<NativeSocket>(::socket(familyCode(family), SOCK_DGRAM, 0));
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

bool parseIpv6Text(const std::string& text, NetAddress::Bytes& bytes) {
    return ::inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1;
}

bool lookUpAddresses(const std::string& name, std::vector<NetAddress>& addresses) {
    // The lookup's own reference to Winsock: it may still run after its caller cleaned up.
    const CSocketLibrary library;
    const int code = lookUpBothFamilies(name, addresses);
    if (code != 0) {
        ::WSASetLastError(code);  // getaddrinfo's codes are Winsock's
    }
    return code == 0;
}

bool connectTo(NativeSocket socket, const NetAddress& peer) {
    sockaddr_storage record{};
    const socklen_t length = toSocketAddress(peer, record);
    return ::connect(handleOf(socket), reinterpret_cast<const sockaddr*>(&record), length) == 0;
}

bool sendDatagram(NativeSocket socket, const void* data, std::size_t length) {
    if (length > INT_MAX) {
        ::WSASetLastError(kErrorMessageSize);
        return false;
    }
    return ::send(handleOf(socket), static_cast<const char*>(data), static_cast<int>(length), 0) !=
           SOCKET_ERROR;
}

int receiveDatagram(NativeSocket socket, void* buffer, std::size_t capacity, NetAddress& source) {
    sockaddr_storage from{};
    int length = sizeof from;
    const int count = ::recvfrom(handleOf(socket), static_cast<char*>(buffer),
                                 static_cast<int>(std::min<std::size_t>(capacity, INT_MAX)), 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
    source = sourceOf(from);
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
