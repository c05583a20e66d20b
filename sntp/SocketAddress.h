#pragma once
// NetAddress to and from the socket address records that Winsock and BSD sockets share, for the
// two SocketPlatform files.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sntp/NetAddress.h"

namespace socket_platform {

inline int familyCode(AddressFamily family) {
    return family == AddressFamily::IPv4 ? AF_INET : AF_INET6;
}

// The record and its length.
inline socklen_t toSocketAddress(const NetAddress& address, sockaddr_storage& record) {
    record = sockaddr_storage{};
    if (address.family() == AddressFamily::IPv4) {
        auto* ipv4 = reinterpret_cast<sockaddr_in*>(&record);
        ipv4->sin_family = AF_INET;
        ipv4->sin_port = htons(address.port());
        std::memcpy(&ipv4->sin_addr, address.bytes().data(), NetAddress::kIpv4Size);
        return sizeof(sockaddr_in);
    }
    auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&record);
    ipv6->sin6_family = AF_INET6;
    ipv6->sin6_port = htons(address.port());
    ipv6->sin6_scope_id = address.scopeId();
    std::memcpy(&ipv6->sin6_addr, address.bytes().data(), NetAddress::kIpv6Size);
    return sizeof(sockaddr_in6);
}

// False for a family other than IPv4 and IPv6.
inline bool fromSocketAddress(const sockaddr* record, NetAddress& address) {
    if (record->sa_family == AF_INET) {
        sockaddr_in ipv4{};
        std::memcpy(&ipv4, record, sizeof ipv4);
        address = NetAddress(AddressFamily::IPv4, reinterpret_cast<const std::uint8_t*>(&ipv4.sin_addr),
                             ntohs(ipv4.sin_port));
        return true;
    }
    if (record->sa_family == AF_INET6) {
        sockaddr_in6 ipv6{};
        std::memcpy(&ipv6, record, sizeof ipv6);
        address = NetAddress(AddressFamily::IPv6, reinterpret_cast<const std::uint8_t*>(&ipv6.sin6_addr),
                             ntohs(ipv6.sin6_port), ipv6.sin6_scope_id);
        return true;
    }
    return false;
}

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// Every IPv4 and IPv6 address of name, in getaddrinfo's order: 0, or getaddrinfo's code
// (EAI_NONAME when the answer held neither family).
inline int lookUpBothFamilies(const std::string& name, std::vector<NetAddress>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* raw = nullptr;
    const int code = ::getaddrinfo(name.c_str(), nullptr, &hints, &raw);
    const std::unique_ptr<addrinfo, AddrInfoDeleter> list(raw);
    if (code != 0) {
        return code;
    }
    addresses.clear();
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        NetAddress address;
        if (fromSocketAddress(entry->ai_addr, address)) {
            addresses.push_back(address);
        }
    }
    return addresses.empty() ? EAI_NONAME : 0;
}

// The source of a received datagram; an address of another family reads as the empty
// address, which no request ever goes to.
inline NetAddress sourceOf(const sockaddr_storage& record) {
    NetAddress address;
    return fromSocketAddress(reinterpret_cast<const sockaddr*>(&record), address) ? address : NetAddress();
}

}  // namespace socket_platform
