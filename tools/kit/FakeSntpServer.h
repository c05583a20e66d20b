#pragma once
// A scripted SNTP server on loopback, for tests and benchmarks. It binds 127.0.0.x (port 123
// unless told otherwise), answers every request on its own thread as the script says, and
// records what it received. Its clock is the machine's UTC clock (or one given to it) plus a
// chosen offset. It hears only requests from loopback addresses that were sent to its own
// address. A simulated path delays an answer without holding up the requests behind it: the
// answer is sent when its path delivers it, and its time stamps say when it passed the server.
//
// Under Wine a UDP socket bound to 127.0.0.x is bound to every address of the machine on that
// port, and its answers leave from 127.0.0.1, which a client connected to any other 127.0.0.x
// discards. So in the Windows build under Wine only a server on 127.0.0.1 is heard, and only
// one server per port can run, also alongside native programs.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sntp/NtpTimestamp.h"
#include "sntp/SntpPacket.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SocketPlatform.h"
#include "sntp/SystemClock.h"
#include "tools/kit/ServerSocket.h"

// One datagram of an answer, and how it is made.
struct FakeReply {
    enum class Shape {
        Reply,    // an SNTP reply made of the fields below
        Garbage,  // `length` pseudo-random bytes
        Silent,   // nothing at all
    };

    Shape shape = Shape::Reply;
    double offsetSeconds = 0.0;                 // the server's clock is the true clock plus this
    std::chrono::microseconds networkDelay{0};  // simulated round trip: half before T2, half after T3
    std::chrono::microseconds jitter{0};        // each way, a further random delay of 0 to this
    std::chrono::microseconds holdTime{0};      // between T2 and T3
    int leapIndicator = 0;
    int version = 4;
    int mode = 4;  // server
    int stratum = 2;
    std::string referenceId = "LOCL";  // four characters; the kiss code when stratum is 0
    bool wrongOrigin = false;          // originate time one bit off the request's transmit time
    bool zeroTransmitTime = false;
    double transmitShiftSeconds = 0.0;     // moves the transmit time alone: stamps that contradict each other
    std::size_t length = kSntpHeaderSize;  // fewer bytes cut it short (0: empty); more pad with zeros
    int copies = 1;                        // the same datagram sent this many times

    static FakeReply silent();
    static FakeReply garbage(std::size_t bytes = kSntpHeaderSize);
    static FakeReply kiss(const std::string& code);
    static FakeReply offsetBy(double seconds);
};

// A datagram waiting for the moment its simulated path delivers it.
struct PendingDatagram {
    std::vector<std::uint8_t> bytes;
    server_socket::Endpoint peer;
};

struct ReceivedRequest {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point arrival;
};

class CFakeSntpServer {
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

    // How every request is answered once the queue is empty (at first: one good reply).
    void answerWith(const FakeReply& reply);
    void answerWith(std::vector<FakeReply> datagrams);
    // How the next request is answered: these datagrams in this order.
    void queueAnswer(const FakeReply& reply);
    void queueAnswer(std::vector<FakeReply> datagrams);

    std::size_t requestCount() const;
    std::vector<ReceivedRequest> requests() const;
    // True when count requests have arrived within the time.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // The reply bytes this server would send for request at the given true time; the answer
    // thread uses it with the clock running between T2 and T3.
    static std::vector<std::uint8_t> buildReply(const FakeReply& reply,
                                                const std::vector<std::uint8_t>& request,
                                                NtpTimestamp receiveTime, NtpTimestamp transmitTime);

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    void serve();
    void schedule(const std::vector<FakeReply>& answer, const std::vector<std::uint8_t>& request,
                  const server_socket::Endpoint& peer);
    std::vector<std::uint8_t> datagramOf(const FakeReply& reply, const std::vector<std::uint8_t>& request,
                                         NtpTimestamp receiveTime);
    std::chrono::microseconds randomDelay(std::chrono::microseconds upTo);
    void sendDue();
    std::uint64_t microsecondsToNextSend() const;
    std::vector<FakeReply> recordRequest(const std::vector<std::uint8_t>& request);

    std::unique_ptr<SystemClock> m_pOwnClock;
    const SystemClock& m_trueClock;
    CSocketLibrary m_library;
    socket_platform::UniqueSocket m_hSocket;
    server_socket::Endpoint m_local;
    std::string m_strAddress;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cvRequest;
    std::vector<FakeReply> m_vecDefault{FakeReply{}};
    std::deque<std::vector<FakeReply>> m_queAnswers;
    std::vector<ReceivedRequest> m_vecRequests;

    std::minstd_rand m_random;  // the answer thread's alone, like the datagrams it has yet to send
    std::multimap<SteadyTime, PendingDatagram> m_mapPending;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
