#pragma once
// The socket calls as the platform makes them: Winsock in the Windows build (SocketPlatform_win),
// BSD sockets in the native one (SocketPlatform_posix). The rules of resolving, waiting and
// closing live in DatagramSocket; these functions only make the calls, and every failure
// leaves the reason in lastError().

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/UniqueHandle.h"
#include "sntp/NetAddress.h"

namespace socket_platform {

// Wide enough for a Winsock SOCKET; a BSD descriptor is stored in it too. All bits set means
// "no socket": INVALID_SOCKET, and -1 converted.
using NativeSocket = std::uintptr_t;
constexpr NativeSocket kInvalidSocket = ~NativeSocket{0};

// Codes the callers set themselves: WSAETIMEDOUT / ETIMEDOUT and WSAEINVAL / EINVAL.
extern const int kErrorTimedOut;
extern const int kErrorInvalidArgument;
// Codes the platform reports, which a virtual network reports alike: an ICMP "port
// unreachable" for a datagram (WSAECONNRESET / ECONNREFUSED) and a datagram longer than the
// buffer (WSAEMSGSIZE / EMSGSIZE).
extern const int kErrorPortUnreachable;
extern const int kErrorMessageSize;

// The calling thread's last socket error (WSAGetLastError / errno).
int lastError();
// Whether code says that the peer cannot be reached: refused ("port unreachable"), no route to
// its host or network, or the network down.
bool isUnreachable(int code);
void setLastError(int code);

NativeSocket openUdpSocket(AddressFamily family);
void closeSocket(NativeSocket socket);

struct SocketTraits {
    using Type = NativeSocket;
    static Type empty() { return kInvalidSocket; }
    static void close(Type value) { closeSocket(value); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// IPv4 addresses travel in network byte order.
// inet_addr: false when the text is not a dotted address (or is 255.255.255.255, which reads
// the same as "not an address").
bool parseDottedAddress(const std::string& text, std::uint32_t& address);
// inet_pton for IPv6: false when the text is not an IPv6 address.
bool parseIpv6Text(const std::string& text, NetAddress::Bytes& bytes);
// Every address of the name (getaddrinfo, both families), in the order the system prefers,
// with port 0. Blocks for as long as the system's resolver takes. False (with the reason in
// lastError) when the name has none. Starts and stops the socket library for itself, so that
// it may run on a thread of its own that outlives its caller's use of the library.
bool lookUpAddresses(const std::string& name, std::vector<NetAddress>& addresses);
bool connectTo(NativeSocket socket, const NetAddress& peer);
bool sendDatagram(NativeSocket socket, const void* data, std::size_t length);
// Byte count, or -1; source receives the address it came from. A datagram longer than the
// capacity fails with a message-size error on both platforms (as Winsock does) instead of
// arriving cut short.
int receiveDatagram(NativeSocket socket, void* buffer, std::size_t capacity, NetAddress& source);

enum class WaitResult { Failed, TimedOut, Readable };
// One wait of at most timeoutUs. It may end early without a datagram (a signal), so callers
// keep their own deadline. A pending error (an ICMP "port unreachable") counts as readable:
// the receive reports it.
WaitResult waitReadable(NativeSocket socket, std::uint64_t timeoutUs);

}  // namespace socket_platform
