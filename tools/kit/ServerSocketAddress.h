#pragma once
// The IPv4 socket address that Winsock and BSD sockets share, for the two ServerSocket files.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include "tools/kit/ServerSocket.h"

namespace server_socket {

inline sockaddr_in toAddress(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = endpoint.address;
    return address;
}

inline Endpoint toEndpoint(const sockaddr_in& address) {
    return Endpoint{address.sin_addr.s_addr, ntohs(address.sin_port)};
}

// handle: the platform's own socket type.
template <typename Handle>
bool boundEndpoint(Handle handle, Endpoint& local) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    local = toEndpoint(address);
    return true;
}

}  // namespace server_socket
