// libFuzzer target: any bytes as a record of the console channel, and as a stream of messages
// from one client to the service's sessions. A record that decodes must encode to the same
// bytes; nothing may crash, leak or read out of bounds, and the sessions keep to their places.

#include "common/ChannelProtocol.h"
#include "service/ChannelSessions.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class CCountingTransport : public ChannelTransport {
public:
    bool send(std::size_t, const ChannelRecord& record) override {
        if (!IsServiceNotice(record.kind) && !IsStatusAnswer(record.kind)) {
            std::abort();  // the service sends nothing else
        }
        return ++m_nQueued < channel::kMaxQueuedNotices;
    }
    void drop(std::size_t) override {}
    bool forward(unsigned message) override {
        if (!IsConsoleRequest(static_cast<ChannelKind>(message)) || message == UM_CONSOLE_HELLO) {
            std::abort();  // only requests reach the window
        }
        return true;
    }
    std::optional<ClockStatus> status() override { return ClockStatus{}; }

private:
    std::size_t m_nQueued = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DecodedRecord decoded = DecodeRecord(data, size);
    if (decoded.fault == RecordFault::None) {
        ChannelBytes again;
        EncodeRecord(decoded.record, again);
        if (size != channel::kRecordSize || std::memcmp(again, data, size) != 0) {
            std::abort();
        }
    }

    // The same bytes as messages, each as long as its first byte says, a few milliseconds apart.
    CCountingTransport transport;
    CChannelSessions sessions(transport);
    std::uint64_t now = 0;
    const std::optional<std::size_t> slot = sessions.Admit(now);
    for (std::size_t at = 0; slot && at < size; at += 1 + data[at] % 40) {
        const std::size_t length = std::min<std::size_t>(data[at] % 40, size - at - 1);
        sessions.Received(*slot, data + at + 1, length, now += data[at] % 7);
        sessions.Expire(now);
        sessions.Broadcast(data[at] % 5);
    }
    if (sessions.ClientCount() > 1) {
        std::abort();
    }
    return 0;
}
