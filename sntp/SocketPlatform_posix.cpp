// BSD sockets for the native build.

#include "sntp/SocketPlatform.h"

#include "sntp/SocketAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <iterator>

namespace socket_platform {

const int kErrorTimedOut = ETIMEDOUT;
const int kErrorInvalidArgument = EINVAL;
const int kErrorPortUnreachable = ECONNREFUSED;
const int kErrorMessageSize = EMSGSIZE;

namespace {

int descriptorOf(NativeSocket socket) {
    return socket == kInvalidSocket ? -1 : static_cast<int>(socket);
}

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

bool isUnreachable(int code) {
    constexpr int kUnreachable[] = {ECONNREFUSED, ENETUNREACH, EHOSTUNREACH, ENETDOWN};
    return std::find(std::begin(kUnreachable), std::end(kUnreachable), code) != std::end(kUnreachable);
}

NativeSocket openUdpSocket(AddressFamily family) {
    const int descriptor = ::socket(familyCode(family), SOCK_DGRAM, 0);
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

bool parseIpv6Text(const std::string& text, NetAddress::Bytes& bytes) {
    return ::inet_pton(AF_INET6, text.c_str(), bytes.data()) == 1;
}

bool lookUpAddresses(const std::string& name, std::vector<NetAddress>& addresses) {
    const int code = lookUpBothFamilies(name, addresses);
    if (code != 0) {
        errno = errnoOfLookup(code);
    }
    return code == 0;
}

bool connectTo(NativeSocket socket, const NetAddress& peer) {
    sockaddr_storage record{};
    const socklen_t length = toSocketAddress(peer, record);
    return ::connect(descriptorOf(socket), reinterpret_cast<const sockaddr*>(&record), length) == 0;
}

bool sendDatagram(NativeSocket socket, const void* data, std::size_t length) {
    return ::send(descriptorOf(socket), data, length, 0) >= 0;
}

int receiveDatagram(NativeSocket socket, void* buffer, std::size_t capacity, NetAddress& source) {
    iovec part{buffer, std::min<std::size_t>(capacity, INT_MAX)};
    sockaddr_storage from{};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t count = ::recvmsg(descriptorOf(socket), &message, 0);
    if (count >= 0 && (message.msg_flags & MSG_TRUNC) != 0) {
        errno = kErrorMessageSize;
        return -1;
    }
    source = sourceOf(from);
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
