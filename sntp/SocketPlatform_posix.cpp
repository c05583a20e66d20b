// BSD sockets for the native build.

#include "sntp/SocketPlatform.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

namespace socket_platform {

const int kErrorTimedOut = ETIMEDOUT;
const int kErrorInvalidArgument = EINVAL;

namespace {

int descriptorOf(NativeSocket socket) {
    return socket == kInvalidSocket ? -1 : static_cast<int>(socket);
}

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// getaddrinfo reports through its own codes; errno carries only EAI_SYSTEM. The resolver
// has no errno of its own for "no such host", so that becomes "host unreachable".
int errnoOfLookup(int code) {
    return code == EAI_SYSTEM ? errno : (code == EAI_AGAIN ? EAGAIN : EHOSTUNREACH);
}

}  // namespace

int lastError() {
    return errno;
}

void setLastError(int code) {
    errno = code;
}

NativeSocket openUdpSocket() {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    return descriptor < 0 ? kInvalidSocket : static_cast<NativeSocket>(descriptor);
}

void closeSocket(NativeSocket socket) {
    ::close(descriptorOf(socket));
}

bool parseDottedAddress(const std::string& text, std::uint32_t& address) {
    const in_addr_t parsed = ::inet_addr(text.c_str());
    if (parsed == INADDR_NONE) {
        return false;
    }
    address = parsed;
    return true;
}

bool lookUpHost(const std::string& name, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* raw = nullptr;
    const int code = ::getaddrinfo(name.c_str(), nullptr, &hints, &raw);
    const std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
    if (code != 0) {
        errno = errnoOfLookup(code);
        return false;
    }
    sockaddr_in first{};
    std::memcpy(&first, list->ai_addr, sizeof first);
    address = first.sin_addr.s_addr;
    return true;
}

bool connectIpv4(NativeSocket socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    return ::connect(descriptorOf(socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

bool sendDatagram(NativeSocket socket, const void* data, std::size_t length) {
    return ::send(descriptorOf(socket), data, length, 0) >= 0;
}

int receiveDatagram(NativeSocket socket, void* buffer, std::size_t capacity) {
    iovec part{buffer, std::min<std::size_t>(capacity, INT_MAX)};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t count = ::recvmsg(descriptorOf(socket), &message, 0);
    if (count >= 0 && (message.msg_flags & MSG_TRUNC) != 0) {
        errno = EMSGSIZE;
        return -1;
    }
    return count < 0 ? -1 : static_cast<int>(count);
}

WaitResult waitReadable(NativeSocket socket, std::uint64_t timeoutUs) {
    // poll rather than select: a descriptor above FD_SETSIZE would overrun an fd_set.
    pollfd entry{descriptorOf(socket), POLLIN, 0};
    if (entry.fd < 0) {
        errno = EBADF;  // poll would skip it and wait out the whole time
        return WaitResult::Failed;
    }
    const std::uint64_t timeoutMs = std::min<std::uint64_t>((timeoutUs + 999) / 1000, INT_MAX);
    const int count = ::poll(&entry, 1, static_cast<int>(timeoutMs));
    if (count < 0) {
        return errno == EINTR ? WaitResult::TimedOut : WaitResult::Failed;
    }
    if ((entry.revents & POLLNVAL) != 0) {
        errno = EBADF;
        return WaitResult::Failed;
    }
    return count == 0 ? WaitResult::TimedOut : WaitResult::Readable;
}

}  // namespace socket_platform
