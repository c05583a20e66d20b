#pragma once
// One connected IPv4 UDP socket: resolve, connect, send one datagram, wait for a reply with a
// time-out, receive, close. Winsock in the Windows build, BSD sockets in the native build; the
// caller starts and stops the socket library (CSocketLibrary). Failures leave
// the reason in socket_platform::lastError().

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sntp/SocketPlatform.h"

class DatagramSocket {
public:
    bool create();
    // A dotted IPv4 address is used as is; anything else (also 255.255.255.255) is looked up
    // by name and the first address of the answer is used. A port outside 1..65535 fails.
    bool connectTo(const std::string& host, int port);
    bool sendAll(const void* data, std::size_t length);
    // Waits up to timeoutMs for a datagram, never returning before then without one. A
    // time-out is not a failure: readable is false. A set stop flag ends the wait early
    // (checked at least every 50 ms): readable is false.
    bool waitReadable(std::uint32_t timeoutMs, bool& readable, const std::atomic<bool>* stop = nullptr);
    // Byte count, or -1 on failure (also for a datagram longer than the capacity).
    int receive(void* buffer, std::size_t capacity);
    // Closes the socket if there is one; closing again does nothing.
    void close();

    bool isOpen() const { return m_hSocket.isValid(); }

private:
    socket_platform::UniqueSocket m_hSocket;
};
