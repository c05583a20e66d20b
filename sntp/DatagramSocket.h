#pragma once
// One connected UDP socket (IPv4 or IPv6): connect to one address, send one datagram, wait for a
// reply with a time-out, receive, close. Winsock in the Windows build, BSD sockets in the native
// build; the caller starts and stops the socket library (CSocketLibrary) and resolves names
// (CHostResolver). Failures leave the reason in socket_platform::lastError().

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sntp/NetAddress.h"
#include "sntp/SocketPlatform.h"

class DatagramSocket {
public:
    // A datagram that came from an address other than the one connected to: it was dropped.
    static constexpr int kNotFromPeer = -2;

    // Opens an IPv4 socket.
    bool create();
    // Needs an open socket, which is replaced by one of the peer's family when that differs.
    // An address no request may go to (unspecified, broadcast) or port 0 is refused.
    bool connectTo(const NetAddress& peer);
    bool sendAll(const void* data, std::size_t length);
    // Waits up to timeoutMs for a datagram, never returning before then without one. A
    // time-out is not a failure: readable is false. A set stop flag ends the wait early
    // (checked at least every 50 ms): readable is false.
    bool waitReadable(std::uint32_t timeoutMs, bool& readable, const std::atomic<bool>* stop = nullptr);
    // Byte count, or -1 on failure (also for a datagram longer than the capacity), or
    // kNotFromPeer. A connected socket hears only its peer on the stacks we know; this says so
    // explicitly rather than trusting every stack to.
    int receive(void* buffer, std::size_t capacity);
    // Closes the socket if there is one; closing again does nothing.
    void close();

    bool isOpen() const { return m_hSocket.isValid(); }

private:
    socket_platform::UniqueSocket m_hSocket;
    AddressFamily m_family = AddressFamily::IPv4;
    NetAddress m_peer;
};
