#pragma once
// A scripted SNTP server on loopback, for tests and benchmarks. It binds 127.0.0.x (port 123
// unless told otherwise), answers every request on its own thread as the script says
// (CSntpReplyScript), and records what it received. Its clock is the machine's UTC clock (or one given to it)
// plus a chosen offset. It hears only requests from loopback addresses that were sent to its own address. A
// simulated path delays an answer without holding up the requests behind it: the answer is sent when its path
// delivers it, and its time stamps say when it passed the server.
//
// Under Wine a UDP socket bound to 127.0.0.x is bound to every address of the machine on that
// port, and its answers leave from 127.0.0.1, which a client connected to any other 127.0.0.x
// discards. So in the Windows build under Wine only a server on 127.0.0.1 is heard, and only
// one server per port can run, also alongside native programs.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sntp/SocketLibrary.h"
#include "sntp/SocketPlatform.h"
#include "sntp/SystemClock.h"
#include "tools/kit/ServerSocket.h"
#include "tools/kit/SntpReplyScript.h"

// A datagram waiting for the moment its simulated path delivers it.
struct PendingDatagram {
    std::vector<std::uint8_t> bytes;
    server_socket::Endpoint peer;
};

class CFakeSntpServer : public CSntpReplyScript {
public:
    static constexpr int kNtpPort = 123;

    // The true clock is the machine's (makeSystemClock), or the one given, which must outlive
    // the server.
    CFakeSntpServer();
    explicit CFakeSntpServer(const SystemClock& trueClock);
    ~CFakeSntpServer();
    CFakeSntpServer(const CFakeSntpServer&) = delete;
    CFakeSntpServer& operator=(const CFakeSntpServer&) = delete;

    // Binds address:port (port 0: one the system chooses) and starts answering.
    bool start(const std::string& address, int port = kNtpPort);
    // Binds the first free address of 127.0.0.1 to 127.0.0.254 on port, so that servers of
    // tests running side by side (or a real NTP server) do not collide.
    bool startOnFreeLoopbackAddress(int port = kNtpPort);
    void stop();

    const std::string& address() const { return m_strAddress; }
    int port() const { return m_local.port; }

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    void serve();
    void schedule(const std::vector<std::uint8_t>& request, const server_socket::Endpoint& peer);
    void sendDue();
    std::uint64_t microsecondsToNextSend() const;

    std::unique_ptr<SystemClock> m_pOwnClock;
    const SystemClock& m_trueClock;
    CSocketLibrary m_library;
    socket_platform::UniqueSocket m_hSocket;
    server_socket::Endpoint m_local;
    std::string m_strAddress;

    std::multimap<SteadyTime, PendingDatagram> m_mapPending;  // the answer thread's alone
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
