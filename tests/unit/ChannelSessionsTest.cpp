// The service's side of the console channel against a recording transport: who is let in,
// what a console's record does, who is dropped (and that nobody else is), who hears a notice.

#include "service/ChannelSessions.h"

#include "common/LogResult.h"
#include "common/WindowMessages.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace {

class CRecordingTransport : public ChannelTransport {
public:
    bool send(std::size_t slot, const ChannelRecord& record) override {
        if (sent[slot].size() >= capacity) {
            return false;
        }
        sent[slot].push_back(record);
        return true;
    }
    void drop(std::size_t slot) override { dropped.push_back(slot); }
    bool forward(unsigned message) override {
        forwarded.push_back(message);
        return bWindow;
    }
    std::optional<ClockStatus> status() override { return report; }

    std::map<std::size_t, std::vector<ChannelRecord>> sent;
    std::vector<std::size_t> dropped;
    std::vector<unsigned> forwarded;
    std::size_t capacity = channel::kMaxQueuedNotices;
    bool bWindow = true;
    std::optional<ClockStatus> report;
};

std::vector<unsigned char> Bytes(ChannelKind kind, std::int32_t value = 0) {
    ChannelBytes bytes;
    EncodeRecord(ChannelRecord{kind, value}, bytes);
    return std::vector<unsigned char>(std::begin(bytes), std::end(bytes));
}

class ChannelSessionsTest : public ::testing::Test {
protected:
    std::size_t admit() {
        const std::optional<std::size_t> slot = sessions.Admit(now);
        EXPECT_TRUE(slot.has_value());
        return slot.value_or(0);
    }
    void receive(std::size_t slot, const std::vector<unsigned char>& bytes) {
        sessions.Received(slot, bytes.data(), bytes.size(), now);
    }

    CRecordingTransport transport;
    CChannelSessions sessions{transport};
    std::uint64_t now = 1000;
};

TEST_F(ChannelSessionsTest, SixteenAreLetInTheNextIsRefusedAndALeaverFreesItsSlot) {
    std::set<std::size_t> slots;
    for (std::size_t i = 0; i < channel::kMaxClients; ++i) {
        slots.insert(admit());
    }
    EXPECT_EQ(slots.size(), channel::kMaxClients);
    EXPECT_FALSE(sessions.Admit(now).has_value());
    sessions.Closed(5);
    EXPECT_EQ(sessions.ClientCount(), channel::kMaxClients - 1);
    EXPECT_EQ(sessions.Admit(now), std::optional<std::size_t>(5));
    EXPECT_TRUE(transport.dropped.empty());
}

TEST_F(ChannelSessionsTest, HelloIsAnsweredAndRequestsBecomeTheirWindowMessages) {
    const std::size_t slot = admit();
    receive(slot, Bytes(ChannelKind::ConsoleHello));
    ASSERT_EQ(transport.sent[slot].size(), 1u);
    EXPECT_EQ(transport.sent[slot][0].kind, ChannelKind::ServiceHello);

    receive(slot, Bytes(ChannelKind::SyncNow));
    receive(slot, Bytes(ChannelKind::SyncBreak));
    receive(slot, Bytes(ChannelKind::OptionsUpdated));
    transport.bWindow = false;  // a stopping service: the request is lost, the client stays
    receive(slot, Bytes(ChannelKind::SyncNow));
    EXPECT_EQ(transport.forwarded,
              (std::vector<unsigned>{UM_SYNC_NOW, UM_SYNC_BREAK, UM_OPTIONS_UPDATED, UM_SYNC_NOW}));
    EXPECT_TRUE(transport.dropped.empty());
    EXPECT_EQ(transport.sent[slot].size(), 1u);
}

TEST_F(ChannelSessionsTest, AStatusRequestIsAnsweredToTheAskerAloneOnceTheStateIsPublished) {
    const std::size_t console = admit();
    receive(console, Bytes(ChannelKind::ConsoleHello));
    const std::size_t asker = admit();
    receive(asker, Bytes(ChannelKind::StatusRequest));
    EXPECT_TRUE(transport.sent[asker].empty()) << "nothing published yet: no answer";

    transport.report = ClockStatus{2, 0, 120, 0, 0, 12500, 3600, 3480, 600};
    receive(asker, Bytes(ChannelKind::StatusRequest));
    EXPECT_EQ(transport.sent[asker].size(), ClockStatusRecords(*transport.report).size());
    EXPECT_EQ(transport.sent[console].size(), 1u) << "only its hello";
    EXPECT_TRUE(transport.forwarded.empty()) << "the window is not asked";
    EXPECT_TRUE(transport.dropped.empty());
}

TEST_F(ChannelSessionsTest, AClientThatSendsAnythingButARequestIsDroppedAndTheOthersStay) {
    std::vector<std::vector<unsigned char>> faults = {
        {},
        std::vector<unsigned char>(channel::kRecordSize + 1, 0),  // a longer message's prefix
        std::vector<unsigned char>(channel::kRecordSize, 0xAB),   // garbage
        Bytes(ChannelKind::ServiceHello),                         // the service's own kinds
        Bytes(ChannelKind::SyncResult, 1),
        Bytes(ChannelKind::StatusMode, 0),  // a status answer comes from the service only
    };
    std::vector<unsigned char> wrongVersion = Bytes(ChannelKind::SyncNow);
    wrongVersion[4] = 2;
    faults.push_back(wrongVersion);
    std::vector<unsigned char> partial = Bytes(ChannelKind::SyncNow);
    partial.resize(8);
    faults.push_back(partial);

    const std::size_t wellBehaved = admit();
    receive(wellBehaved, Bytes(ChannelKind::ConsoleHello));
    for (const auto& fault : faults) {
        const std::size_t slot = admit();
        receive(slot, fault);
        ASSERT_FALSE(transport.dropped.empty());
        EXPECT_EQ(transport.dropped.back(), slot) << "a message of " << fault.size() << " bytes";
        EXPECT_EQ(sessions.ClientCount(), 1u);
    }
    EXPECT_EQ(transport.dropped.size(), faults.size());
    EXPECT_TRUE(transport.forwarded.empty());
    sessions.Broadcast(LOG_SUCCEEDED);
    EXPECT_EQ(transport.sent[wellBehaved].back().kind, ChannelKind::SyncResult);
}

TEST_F(ChannelSessionsTest, AClientThatFloodsTheServiceWithRequestsIsDropped) {
    const std::size_t steady = admit();
    const std::size_t flooding = admit();
    for (std::uint32_t i = 0; i < channel::kMaxRecordsPerSecond; ++i) {
        receive(steady, Bytes(ChannelKind::SyncNow));
        receive(flooding, Bytes(ChannelKind::SyncNow));
        now += 10;
    }
    receive(flooding, Bytes(ChannelKind::SyncNow));  // one more within the second
    now += 1000;                                     // a new second: the steady client goes on
    receive(steady, Bytes(ChannelKind::SyncBreak));
    EXPECT_EQ(transport.dropped, std::vector<std::size_t>{flooding});
    EXPECT_EQ(transport.forwarded.size(), 2 * channel::kMaxRecordsPerSecond + 1);
}

TEST_F(ChannelSessionsTest, SilentClientsAreDroppedOneAfterTheGreetingLimitTheOtherAfterTheIdleLimit) {
    const std::size_t silent = admit();
    const std::size_t speaking = admit();
    receive(speaking, Bytes(ChannelKind::ConsoleHello));

    now += channel::kGreetingLimitMs;
    sessions.Expire(now);
    EXPECT_TRUE(transport.dropped.empty());
    now += 1;
    sessions.Expire(now);
    EXPECT_EQ(transport.dropped, std::vector<std::size_t>{silent});

    // Each record restarts the idle span.
    now += channel::kIdleLimitMs - 1;
    receive(speaking, Bytes(ChannelKind::ConsoleHello));
    now += channel::kIdleLimitMs;
    sessions.Expire(now);
    EXPECT_EQ(transport.dropped.size(), 1u);
    now += 1;
    sessions.Expire(now);
    EXPECT_EQ(transport.dropped, (std::vector<std::size_t>{silent, speaking}));
    EXPECT_EQ(sessions.ClientCount(), 0u);
    static_assert(channel::kKeepAliveMs * 2 < channel::kIdleLimitMs, "a console keeps alive well in time");
}

TEST_F(ChannelSessionsTest, NoticesReachEveryClientThatSpokeAndDropOneThatDoesNotRead) {
    const std::size_t first = admit();
    const std::size_t second = admit();
    const std::size_t mute = admit();
    receive(first, Bytes(ChannelKind::ConsoleHello));
    receive(second, Bytes(ChannelKind::SyncNow));

    sessions.Broadcast(LOG_BROKEN);
    sessions.Broadcast(LOG_NOTICE);  // never announced
    EXPECT_EQ(transport.sent[first].back().value, LOG_BROKEN);
    EXPECT_EQ(transport.sent[first].size(), 2u);
    ASSERT_EQ(transport.sent[second].size(), 1u);
    EXPECT_EQ(transport.sent[second][0].kind, ChannelKind::SyncResult);
    EXPECT_EQ(transport.sent.count(mute), 0u);

    transport.capacity = 2;  // the second's queue is full after one more
    sessions.Broadcast(LOG_FAILED);
    sessions.Broadcast(LOG_FAILED);
    EXPECT_EQ(transport.dropped, (std::vector<std::size_t>{first, second}));
    EXPECT_EQ(sessions.ClientCount(), 1u);
}

}  // namespace
