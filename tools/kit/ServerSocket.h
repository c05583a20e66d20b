#pragma once
// The calls a server socket needs beyond those of the client's socket seam: bind, and
// datagrams to and from any peer. Winsock in the Windows build (ServerSocket_win), BSD
// sockets natively (ServerSocket_posix). Only the test tools use them.

#include <cstddef>
#include <cstdint>

#include "sntp/SocketPlatform.h"

namespace server_socket {

// An IPv4 address in network byte order (as socket_platform parses it) and a port.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

bool bindIpv4(socket_platform::NativeSocket socket, const Endpoint& local);
// The endpoint the socket is bound to (the port the system chose for port 0).
bool localEndpoint(socket_platform::NativeSocket socket, Endpoint& local);
// Byte count, or -1. `to` is the address the datagram was sent to: Wine binds a UDP socket to
// every address of the machine whatever address it is given, so the server has to look.
int receiveFrom(socket_platform::NativeSocket socket, void* buffer, std::size_t capacity, Endpoint& from,
                Endpoint& to);
bool sendTo(socket_platform::NativeSocket socket, const void* data, std::size_t length, const Endpoint& to);

}  // namespace server_socket
