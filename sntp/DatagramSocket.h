#pragma once
// One connected IPv4 UDP socket: resolve, connect, send one datagram, wait for a reply with a
// time-out, receive, close. Winsock in the Windows build, BSD sockets in the native build; the
// caller starts and stops the socket library. Failures leave the reason in lastError().

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sntp/SocketPlatform.h"

class DatagramSocket {
public:
    DatagramSocket() = default;
    ~DatagramSocket() { close(); }
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;

    bool create();
    // A dotted IPv4 address is used as is; anything else (also 255.255.255.255) is looked up
    // by name and the first address of the answer is used.
    bool connectTo(const std::string& host, int port);
    bool sendAll(const void* data, std::size_t length);
    // Waits up to timeoutMs for a datagram. A time-out is not a failure: readable is false.
    // A set stop flag ends the wait early (checked at least every 50 ms): readable is false.
    bool waitReadable(std::uint32_t timeoutMs, bool& readable, const std::atomic<bool>* stop = nullptr);
    // Byte count, or -1 on failure.
    int receive(void* buffer, std::size_t capacity);
    void close();

    bool isOpen() const { return m_hSocket != socket_platform::kInvalidSocket; }

private:
    socket_platform::NativeSocket m_hSocket = socket_platform::kInvalidSocket;
};
