#include "tools/kit/ServerSocket.h"
#include "tools/kit/ServerSocketAddress.h"

#include <netinet/in.h>
#include <sys/socket.h>

namespace server_socket {

namespace {

int descriptorOf(socket_platform::NativeSocket socket) {
    return socket == socket_platform::kInvalidSocket ? -1 : static_cast<int>(socket);
}

}  // namespace

bool bindIpv4(socket_platform::NativeSocket socket, const Endpoint& local) {
    const sockaddr_in address = toAddress(local);
    return ::bind(descriptorOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool localEndpoint(socket_platform::NativeSocket socket, Endpoint& local) {
    return boundEndpoint(descriptorOf(socket), local);
}

int receiveFrom(socket_platform::NativeSocket socket, void* buffer, std::size_t capacity, Endpoint& from,
                Endpoint& to) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const ssize_t count =
        ::recvfrom(descriptorOf(socket), buffer, capacity, 0, reinterpret_cast<sockaddr*>(&address), &length);
    // Here a socket bound to one address receives only what is sent to that address.
    if (count < 0 || !localEndpoint(socket, to)) {
        return -1;
    }
    from = toEndpoint(address);
    return static_cast<int>(count);
}

bool sendTo(socket_platform::NativeSocket socket, const void* data, std::size_t length, const Endpoint& to) {
    const sockaddr_in address = toAddress(to);
    return ::sendto(descriptorOf(socket), data, length, 0, reinterpret_cast<const sockaddr*>(&address),
                    sizeof address) >= 0;
}

}  // namespace server_socket
