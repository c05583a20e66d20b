#include "tools/kit/ServerSocket.h"
#include "tools/kit/ServerSocketAddress.h"

#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace server_socket {

namespace {

SOCKET handleOf(socket_platform::NativeSocket socket) {
    return static_cast<SOCKET>(socket);
}

int lengthOf(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

LPFN_WSARECVMSG lookUpReceiveMessage(SOCKET socket) {
    GUID id = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG function = nullptr;
    DWORD bytes = 0;
    const int result = ::WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                                  sizeof function, &bytes, nullptr, nullptr);
    return result == SOCKET_ERROR ? nullptr : function;
}

// The destination address from the IP_PKTINFO that bindIpv4 asked for.
bool destinationOf(WSAMSG& message, std::uint32_t& address) {
    for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
         header = WSA_CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO) {
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(header), sizeof info);
            address = info.ipi_addr.s_addr;
            return true;
        }
    }
    return false;
}

}  // namespace

bool bindIpv4(socket_platform::NativeSocket socket, const Endpoint& local) {
    const sockaddr_in address = toAddress(local);
    const DWORD on = 1;
    return ::bind(handleOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
           ::setsockopt(handleOf(socket), IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on),
                        sizeof on) == 0;
}

bool localEndpoint(socket_platform::NativeSocket socket, Endpoint& local) {
    return boundEndpoint(handleOf(socket), local);
}

int receiveFrom(socket_platform::NativeSocket socket, void* buffer, std::size_t capacity, Endpoint& from,
                Endpoint& to) {
    const LPFN_WSARECVMSG receiveMessage = lookUpReceiveMessage(handleOf(socket));
    if (receiveMessage == nullptr || !localEndpoint(socket, to)) {
        return -1;
    }
    sockaddr_in source{};
    char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSABUF data{static_cast<ULONG>(lengthOf(capacity)), static_cast<char*>(buffer)};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&source);
    message.namelen = sizeof source;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control.buf = control;
    message.Control.len = sizeof control;
    DWORD count = 0;
    if (receiveMessage(handleOf(socket), &message, &count, nullptr, nullptr) == SOCKET_ERROR ||
        !destinationOf(message, to.address)) {
        return -1;
    }
    from = toEndpoint(source);
    return static_cast<int>(count);
}

bool sendTo(socket_platform::NativeSocket socket, const void* data, std::size_t length, const Endpoint& to) {
    const sockaddr_in address = toAddress(to);
    return ::sendto(handleOf(socket), static_cast<const char*>(data), lengthOf(length), 0,
                    reinterpret_cast<const sockaddr*>(&address), sizeof address) != SOCKET_ERROR;
}

}  // namespace server_socket
