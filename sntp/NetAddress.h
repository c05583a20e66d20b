#pragma once
// One IP address with a port: an IPv4 or IPv6 address in network byte order, its port and, for
// a link-local IPv6 address, the interface it belongs to. Printable in the usual forms
// ("192.0.2.1:123", "[2001:db8::1]:123") and compared whole, so the source of a reply can be
// checked against the address the request went to.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum class AddressFamily { IPv4, IPv6 };

class NetAddress {
public:
    static constexpr std::size_t kIpv4Size = 4;
    static constexpr std::size_t kIpv6Size = 16;
    using Bytes = std::array<std::uint8_t, kIpv6Size>;

    NetAddress() = default;
    // bytes holds 4 (IPv4) or 16 (IPv6) bytes in network order; the rest stays zero.
    NetAddress(AddressFamily family, const std::uint8_t* bytes, std::uint16_t port,
               std::uint32_t scopeId = 0);

    AddressFamily family() const { return m_family; }
    const Bytes& bytes() const { return m_bytes; }
    std::size_t size() const { return m_family == AddressFamily::IPv4 ? kIpv4Size : kIpv6Size; }
    std::uint16_t port() const { return m_nPort; }
    std::uint32_t scopeId() const { return m_nScopeId; }
    NetAddress withPort(std::uint16_t port) const;

    // "192.0.2.1", "2001:db8::1", "::ffff:192.0.2.1", "fe80::1%2" (no port, no brackets).
    std::string hostText() const;
    // hostText with the port: "192.0.2.1:123", "[2001:db8::1]:123".
    std::string toString() const;

    // False for the addresses no request may go to: unspecified (0.0.0.0, ::) and the
    // limited broadcast 255.255.255.255.
    bool isUsablePeer() const;

    friend bool operator==(const NetAddress& a, const NetAddress& b);
    friend bool operator!=(const NetAddress& a, const NetAddress& b) { return !(a == b); }

private:
    AddressFamily m_family = AddressFamily::IPv4;
    Bytes m_bytes{};
    std::uint16_t m_nPort = 0;
    std::uint32_t m_nScopeId = 0;
};

// An address typed as text, with the port to use: a dotted IPv4 address (as inet_addr reads
// it, so 255.255.255.255 is not one), an IPv6 address, or an IPv6 address in brackets
// ("[::1]"). Nothing for anything else, which is a name to look up.
std::optional<NetAddress> parseAddressLiteral(const std::string& text, std::uint16_t port);

// A port number given as an int, when it lies in 1..65535.
std::optional<std::uint16_t> toPeerPort(int port);
