#include "sntp/NetAddress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sntp/SocketPlatform.h"

namespace {

constexpr int kGroups = 8;
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;

std::string dotted(const std::uint8_t* bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

unsigned groupAt(const NetAddress::Bytes& bytes, int group) {
    return (unsigned{bytes[2 * group]} << 8) | bytes[2 * group + 1];
}

// The longest run of at least two zero groups (the first of equal ones), as [begin, end).
std::pair<int, int> longestZeroRun(const NetAddress::Bytes& bytes) {
    std::pair<int, int> best{0, 0};
    for (int begin = 0; begin < kGroups;) {
        int end = begin;
        while (end < kGroups && groupAt(bytes, end) == 0) {
            ++end;
        }
        if (end - begin >= 2 && end - begin > best.second - best.first) {
            best = {begin, end};
        }
        begin = end == begin ? begin + 1 : end;
    }
    return best;
}

std::string groups(const NetAddress::Bytes& bytes, int begin, int end) {
    std::string text;
    for (int group = begin; group < end; ++group) {
        char part[8];
        std::snprintf(part, sizeof part, group + 1 < end ? "%x:" : "%x", groupAt(bytes, group));
        text += part;
    }
    return text;
}

bool isIpv4Mapped(const NetAddress::Bytes& bytes) {
    static constexpr std::uint8_t kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    return std::equal(std::begin(kPrefix), std::end(kPrefix), bytes.begin());
}

// The recommended text form: lower-case hexadecimal, leading zeros dropped, the longest run
// of zero groups written "::", an IPv4-mapped address with its IPv4 part dotted.
std::string ipv6Text(const NetAddress::Bytes& bytes) {
    if (isIpv4Mapped(bytes)) {
        return "::ffff:" + dotted(bytes.data() + 12);
    }
    const auto [begin, end] = longestZeroRun(bytes);
    if (begin == end) {
        return groups(bytes, 0, kGroups);
    }
    return groups(bytes, 0, begin) + "::" + groups(bytes, end, kGroups);
}

bool isBracketed(const std::string& text) {
    return text.size() >= 2 && text.front() == '[' && text.back() == ']';
}

}  // namespace

NetAddress::NetAddress(AddressFamily family, const std::uint8_t* bytes, std::uint16_t port,
                       std::uint32_t scopeId)
    : m_family(family), m_nPort(port), m_nScopeId(family == AddressFamily::IPv6 ? scopeId : 0) {
    std::memcpy(m_bytes.data(), bytes, size());
}

NetAddress NetAddress::withPort(std::uint16_t port) const {
    NetAddress copy = *this;
    copy.m_nPort = port;
    return copy;
}

std::string NetAddress::hostText() const {
    if (m_family == AddressFamily::IPv4) {
        return dotted(m_bytes.data());
    }
    const std::string text = ipv6Text(m_bytes);
    return m_nScopeId == 0 ? text : text + "%" + std::to_string(m_nScopeId);
}

std::string NetAddress::toString() const {
    const std::string host = m_family == AddressFamily::IPv4 ? hostText() : "[" + hostText() + "]";
    return host + ":" + std::to_string(m_nPort);
}

bool NetAddress::isUsablePeer() const {
    const auto used = m_bytes.begin() + static_cast<std::ptrdiff_t>(size());
    const bool bAllZero = std::all_of(m_bytes.begin(), used, [](std::uint8_t b) { return b == 0; });
    const bool bAllOnes = m_family == AddressFamily::IPv4 &&
                          std::all_of(m_bytes.begin(), used, [](std::uint8_t b) { return b == 0xFF; });
    return !bAllZero && !bAllOnes;
}

bool operator==(const NetAddress& a, const NetAddress& b) {
    return a.m_family == b.m_family && a.m_bytes == b.m_bytes && a.m_nPort == b.m_nPort &&
           a.m_nScopeId == b.m_nScopeId;
}

std::optional<NetAddress> parseAddressLiteral(const std::string& text, std::uint16_t port) {
    NetAddress::Bytes bytes{};
    if (isBracketed(text)) {
        if (!socket_platform::parseIpv6Text(text.substr(1, text.size() - 2), bytes)) {
            return std::nullopt;
        }
        return NetAddress(AddressFamily::IPv6, bytes.data(), port);
    }
    std::uint32_t ipv4 = 0;
    if (socket_platform::parseDottedAddress(text, ipv4)) {
        std::memcpy(bytes.data(), &ipv4, sizeof ipv4);
        return NetAddress(AddressFamily::IPv4, bytes.data(), port);
    }
    if (socket_platform::parseIpv6Text(text, bytes)) {
        return NetAddress(AddressFamily::IPv6, bytes.data(), port);
    }
    return std::nullopt;
}

std::optional<std::uint16_t> toPeerPort(int port) {
    if (port < kLowestPort || port > kHighestPort) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}
