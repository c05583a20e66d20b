#pragma once
// The service's side of the console channel without its pipes: who is let in, what a record
// from a console does, who is dropped and who hears a notice. The pipe server (CChannelServer)
// turns its I/O into these calls and carries out what they ask of the transport. Everything
// runs on the channel's own thread; times are milliseconds of a monotonic clock.
//
// A client is dropped, without effect on the others, when it sends a message that is not a
// record, or a record that only the service sends; when it sends more than
// channel::kMaxRecordsPerSecond records in a second (each request is work for the control
// window); when it sends nothing within channel::kGreetingLimitMs of connecting, or then for
// channel::kIdleLimitMs; and when it lets more than channel::kMaxQueuedNotices notices pile up
// unread. Nothing a client sends is logged.

#include "common/ChannelProtocol.h"
#include "common/ClockStatus.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// What the sessions ask of the pipe server.
class ChannelTransport {
public:
    virtual ~ChannelTransport() = default;
    // Queues a record for one client; false when the client has left too many unread.
    virtual bool send(std::size_t slot, const ChannelRecord& record) = 0;
    // Closes one client's connection; the slot is free from then on.
    virtual void drop(std::size_t slot) = 0;
    // Posts a console's request to the control window as its window message; false when the
    // window is not there.
    virtual bool forward(unsigned message) = 0;
    // The service's state as last published; nothing before the first.
    virtual std::optional<ClockStatus> status() = 0;
};

class CChannelSessions {
public:
    // transport must outlive the sessions.
    explicit CChannelSessions(ChannelTransport& transport) : m_transport(transport) {}

    // A client has connected: its slot, or nothing when every slot is taken (the server then
    // closes the connection at once).
    std::optional<std::size_t> Admit(std::uint64_t nowMs);
    // One message from a client: data holds its size bytes (a message longer than a record
    // may come as a longer prefix of it).
    void Received(std::size_t slot, const unsigned char* data, std::size_t size, std::uint64_t nowMs);
    // The client's end went away; its slot is free.
    void Closed(std::size_t slot);
    // Drops every client that has been silent too long.
    void Expire(std::uint64_t nowMs);
    // A result notice for every client that has spoken.
    void Broadcast(int resultCode);

    std::size_t ClientCount() const;

private:
    struct Session {
        bool bActive = false;
        bool bSpoke = false;
        std::uint64_t lastHeardMs = 0;
        std::uint64_t secondStartMs = 0;  // the second whose records are being counted
        std::uint32_t recordsInSecond = 0;
    };

    static bool TooMany(Session& session, std::uint64_t nowMs);

    void Handle(std::size_t slot, const ChannelRecord& request);
    void AnswerStatus(std::size_t slot);
    void Drop(std::size_t slot);

    ChannelTransport& m_transport;
    std::array<Session, channel::kMaxClients> m_sessions{};
};
