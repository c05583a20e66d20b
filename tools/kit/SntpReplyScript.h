#pragma once
// What a scripted SNTP server answers, whether it serves real sockets (CFakeSntpServer) or a
// virtual network (CSimulatedSntpServer): the answer to each request as the script says, each
// datagram of it built from its FakeReply at the time its simulated path passes the server,
// and a record of the requests received.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "sntp/NtpTimestamp.h"
#include "sntp/SntpPacket.h"

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

struct ReceivedRequest {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point arrival;  // on the server's monotonic clock
};

// A datagram of an answer and how long after the request's arrival it reaches the client.
struct PlannedDatagram {
    std::chrono::microseconds after;
    std::vector<std::uint8_t> bytes;
};

class CSntpReplyScript {
public:
    // How every request is answered once the queue is empty (at first: one good reply).
    void answerWith(const FakeReply& reply);
    void answerWith(std::vector<FakeReply> datagrams);
    // How the next request is answered: these datagrams in this order.
    void queueAnswer(const FakeReply& reply);
    void queueAnswer(std::vector<FakeReply> datagrams);

    std::size_t requestCount() const;
    std::vector<ReceivedRequest> requests() const;
    // True when count requests have arrived within the time (real time: for a server on sockets).
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // The reply bytes for request at the given server times.
    static std::vector<std::uint8_t> buildReply(const FakeReply& reply,
                                                const std::vector<std::uint8_t>& request,
                                                NtpTimestamp receiveTime, NtpTimestamp transmitTime);

protected:
    // Records request, which arrived at arrival (monotonic) when the true clock read arrivalTime,
    // and plans its answer. Only the server's own thread calls it.
    std::vector<PlannedDatagram> answerRequest(const std::vector<std::uint8_t>& request,
                                               std::chrono::steady_clock::time_point arrival,
                                               NtpTimestamp arrivalTime);

private:
    std::vector<std::uint8_t> datagramOf(const FakeReply& reply, const std::vector<std::uint8_t>& request,
                                         NtpTimestamp receiveTime);
    std::chrono::microseconds randomDelay(std::chrono::microseconds upTo);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cvRequest;
    std::vector<FakeReply> m_vecDefault{FakeReply{}};
    std::deque<std::vector<FakeReply>> m_queAnswers;
    std::vector<ReceivedRequest> m_vecRequests;
    std::minstd_rand m_random;  // the answering thread's alone
};
