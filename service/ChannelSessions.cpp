#include "service/ChannelSessions.h"

#include <algorithm>

std::optional<std::size_t> CChannelSessions::Admit(std::uint64_t nowMs) {
    const auto free = std::find_if(m_sessions.begin(), m_sessions.end(),
                                   [](const Session& session) { return !session.bActive; });
    if (free == m_sessions.end()) {
        return std::nullopt;
    }
    *free = Session{true, false, nowMs, nowMs, 0};
    return static_cast<std::size_t>(free - m_sessions.begin());
}

void CChannelSessions::Received(std::size_t slot, const unsigned char* data, std::size_t size,
                                std::uint64_t nowMs) {
    if (slot >= m_sessions.size() || !m_sessions[slot].bActive) {
        return;
    }
    const DecodedRecord decoded = DecodeRecord(data, size);
    if (decoded.fault != RecordFault::None || !IsConsoleRequest(decoded.record.kind) ||
        TooMany(m_sessions[slot], nowMs)) {
        Drop(slot);
        return;
    }
    m_sessions[slot].bSpoke = true;
    m_sessions[slot].lastHeardMs = nowMs;
    Handle(slot, decoded.record);
}

bool CChannelSessions::TooMany(Session& session, std::uint64_t nowMs) {
    constexpr std::uint64_t kSecondMs = 1000;
    if (nowMs - session.secondStartMs >= kSecondMs) {
        session.secondStartMs = nowMs;
        session.recordsInSecond = 0;
    }
    return ++session.recordsInSecond > channel::kMaxRecordsPerSecond;
}

void CChannelSessions::Handle(std::size_t slot, const ChannelRecord& request) {
    if (request.kind == ChannelKind::StatusRequest) {
        AnswerStatus(slot);
        return;
    }
    if (request.kind != ChannelKind::ConsoleHello) {
        // The window message of the same number; a service that is stopping has no window,
        // and the request is lost as a posted one would be.
        m_transport.forward(static_cast<unsigned>(request.kind));
        return;
    }
    if (!m_transport.send(slot, ChannelRecord{ChannelKind::ServiceHello, 0})) {
        Drop(slot);
    }
}

// Only the asker hears the answer. A service that has not yet published its state leaves the
// question unanswered: the asker's bounded wait then tells it so.
void CChannelSessions::AnswerStatus(std::size_t slot) {
    const std::optional<ClockStatus> report = m_transport.status();
    if (!report) {
        return;
    }
    for (const ChannelRecord& record : ClockStatusRecords(*report)) {
        if (!m_transport.send(slot, record)) {
            Drop(slot);
            return;
        }
    }
}

void CChannelSessions::Closed(std::size_t slot) {
    if (slot < m_sessions.size()) {
        m_sessions[slot] = Session{};
    }
}

void CChannelSessions::Expire(std::uint64_t nowMs) {
    for (std::size_t slot = 0; slot < m_sessions.size(); ++slot) {
        const Session& session = m_sessions[slot];
        const std::uint64_t limit = session.bSpoke ? channel::kIdleLimitMs : channel::kGreetingLimitMs;
        if (session.bActive && nowMs - session.lastHeardMs > limit) {
            Drop(slot);
        }
    }
}

void CChannelSessions::Broadcast(int resultCode) {
    if (!IsAnnouncedResult(resultCode)) {
        return;
    }
    const ChannelRecord notice{ChannelKind::SyncResult, resultCode};
    for (std::size_t slot = 0; slot < m_sessions.size(); ++slot) {
        if (m_sessions[slot].bActive && m_sessions[slot].bSpoke && !m_transport.send(slot, notice)) {
            Drop(slot);
        }
    }
}

std::size_t CChannelSessions::ClientCount() const {
    return static_cast<std::size_t>(std::count_if(m_sessions.begin(), m_sessions.end(),
                                                  [](const Session& session) { return session.bActive; }));
}

void CChannelSessions::Drop(std::size_t slot) {
    m_sessions[slot] = Session{};
    m_transport.drop(slot);
}
