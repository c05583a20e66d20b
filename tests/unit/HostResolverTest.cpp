// Addresses as text and back, and the resolver on virtual time: literals used as they are, a
// name's usable addresses in the system's order, and a lookup that never answers left behind at
// the time-out or at a stop without piling up lookups or outliving what it uses. The system's own
// lookup is the adapter tier's (SystemNameLookupTest).

#include "sntp/HostResolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "sntp/SocketPlatform.h"
#include "tests/support/FakeNameLookup.h"
#include "tests/support/TestAddress.h"
#include "tools/kit/VirtualMonotonicClock.h"

namespace {

using namespace std::chrono_literals;

NetAddress ipv6(std::initializer_list<std::uint8_t> bytes, std::uint32_t scopeId = 0) {
    NetAddress::Bytes raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    return NetAddress(AddressFamily::IPv6, raw.data(), 123, scopeId);
}

TEST(NetAddressTest, PrintsTheRecommendedFormsAndReadsThemBack) {
    struct Case {
        NetAddress address;
        const char* host;
        const char* full;
    };
    const Case cases[] = {
        {TestAddress("192.0.2.1", 123), "192.0.2.1", "192.0.2.1:123"},
        {ipv6({}), "::", "[::]:123"},
        {ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), "::1", "[::1]:123"},
        {ipv6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}), "2001:db8::1:0:0:1",
         "[2001:db8::1:0:0:1]:123"},  // of two equal runs the first
        {ipv6({0x20, 0x01, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}), "2001:0:0:1::1",
         "[2001:0:0:1::1]:123"},
        {ipv6({0, 1, 0, 0, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7}), "1:0:2:3:4:5:6:7", "[1:0:2:3:4:5:6:7]:123"},
        {ipv6({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1}), "::ffff:192.0.2.1",
         "[::ffff:192.0.2.1]:123"},
        {ipv6({0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xab, 0xcd}, 3), "fe80::abcd%3",
         "[fe80::abcd%3]:123"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.address.hostText(), c.host);
        EXPECT_EQ(c.address.toString(), c.full);
        if (c.address.scopeId() == 0) {
            EXPECT_EQ(parseAddressLiteral(c.host, 123), c.address) << c.host;
            EXPECT_EQ(parseAddressLiteral(std::string("[") + c.host + "]", 123).has_value(),
                      c.address.family() == AddressFamily::IPv6)
                << c.host;
        }
    }
    EXPECT_NE(TestAddress("::1", 123), TestAddress("::1", 124));
    EXPECT_NE(TestAddress("127.0.0.1", 123), TestAddress("::ffff:127.0.0.1", 123));
    for (const char* text :
         {"", "localhost", "255.255.255.255", "[127.0.0.1]", "::1]", "[::1", "1::2::3", "[]"}) {
        EXPECT_FALSE(parseAddressLiteral(text, 123).has_value()) << text;
    }
}

class HostResolverTest : public ::testing::Test {
protected:
    Resolution resolve(const std::string& host, std::chrono::milliseconds timeout = 1000ms,
                       const std::atomic<bool>* stop = nullptr, int port = 123) {
        return m_resolver.Resolve(host, port, timeout, stop);
    }

    CVirtualMonotonicClock m_clock;
    const std::shared_ptr<CFakeNameLookup> m_lookup = std::make_shared<CFakeNameLookup>();
    CHostResolver m_resolver{m_lookup, m_clock};
};

TEST_F(HostResolverTest, LiteralsAreUsedAtOnceAndNamesGiveTheirUsableAddressesInOrder) {
    for (const char* literal : {"127.0.0.1", "::1", "[::1]", "2001:db8::1"}) {
        const Resolution resolution = resolve(literal, 0ms);
        ASSERT_EQ(resolution.status, Resolution::Status::Resolved) << literal;
        ASSERT_EQ(resolution.addresses.size(), 1u);
        EXPECT_EQ(resolution.addresses[0].port(), 123);
    }
    EXPECT_EQ(m_lookup->lookups(), 0);

    const std::uint8_t zeros[4] = {};
    m_lookup->answer("pool.test", {TestAddress("::1", 0), NetAddress(AddressFamily::IPv4, zeros, 0),
                                   TestAddress("192.0.2.7", 0)});
    const Resolution pool = resolve("pool.test");
    ASSERT_EQ(pool.status, Resolution::Status::Resolved);
    EXPECT_EQ(pool.addresses,
              (std::vector<NetAddress>{TestAddress("::1", 123), TestAddress("192.0.2.7", 123)}));

    const Resolution unknown = resolve("unknown.test");
    EXPECT_EQ(unknown.status, Resolution::Status::Failed);
    EXPECT_EQ(unknown.nError, CFakeNameLookup::kUnknownName);
}

TEST_F(HostResolverTest, BadPortsBracketsAndAddressesNoRequestMayGoToFail) {
    for (const int port : {-1, 0, 65536, 65536 + 123}) {
        const Resolution resolution = resolve("127.0.0.1", 1000ms, nullptr, port);
        EXPECT_EQ(resolution.status, Resolution::Status::Failed) << port;
        EXPECT_EQ(resolution.nError, socket_platform::kErrorInvalidArgument) << port;
    }
    EXPECT_EQ(resolve("[pool.test]").status, Resolution::Status::Failed);
    EXPECT_EQ(resolve("0.0.0.0").status, Resolution::Status::Failed);
    EXPECT_EQ(m_lookup->lookups(), 0);
    // Not a dotted address to inet_addr, so a name; whatever its lookup gives, no broadcast.
    const std::uint8_t allOnes[4] = {255, 255, 255, 255};
    m_lookup->answer("255.255.255.255", {NetAddress(AddressFamily::IPv4, allOnes, 0)});
    EXPECT_EQ(resolve("255.255.255.255").status, Resolution::Status::Failed);
}

TEST_F(HostResolverTest, AHangingLookupIsLeftAtTheTimeOutOrAtAStopAndJoinedNotRepeated) {
    m_lookup->hold();
    auto start = m_clock.now();
    EXPECT_EQ(resolve("hang.test", 300ms).status, Resolution::Status::TimedOut);
    EXPECT_EQ(m_clock.now() - start, 300ms);

    std::atomic<bool> stop{false};
    start = m_clock.now();
    m_clock.at(start + 100ms, [&stop] { stop.store(true); });
    EXPECT_EQ(resolve("hang.test", 5000ms, &stop).status, Resolution::Status::Cancelled);
    EXPECT_EQ(m_clock.now() - start, 100ms);
    EXPECT_EQ(m_lookup->lookups(), 1);
    EXPECT_EQ(m_resolver.LookupsUnderWay(), 1u);

    // An answer that comes while somebody still waits reaches them.
    m_lookup->answer("hang.test", {TestAddress("192.0.2.9", 0)});
    start = m_clock.now();
    m_clock.at(start + 2s, [this] { m_lookup->release(); });
    const Resolution late = resolve("hang.test", 5000ms);
    EXPECT_EQ(late.status, Resolution::Status::Resolved);
    EXPECT_EQ(m_clock.now() - start, 2s);
    EXPECT_EQ(m_resolver.LookupsUnderWay(), 0u);
}

TEST_F(HostResolverTest, NoMoreThanAFewLookupsRunAtOnceAndNoneOutlivesWhatItUses) {
    m_lookup->hold();
    for (std::size_t i = 0; i < CHostResolver::kMaxLookupsUnderWay; ++i) {
        EXPECT_EQ(resolve("hang" + std::to_string(i) + ".test", 10ms).status, Resolution::Status::TimedOut);
    }
    const auto start = m_clock.now();
    EXPECT_EQ(resolve("one-more.test", 5000ms).status, Resolution::Status::TimedOut);
    EXPECT_EQ(m_clock.now(), start) << "refused at once, not waited for";
    EXPECT_EQ(m_lookup->lookups(), static_cast<int>(CHostResolver::kMaxLookupsUnderWay));

    // The lookups left behind end when the system's resolver gives up, after their resolver
    // has gone; they then release everything they shared with it.
    {
        CHostResolver shortLived(m_lookup, m_clock);
        EXPECT_EQ(shortLived.Resolve("gone.test", 123, 10ms, nullptr).status, Resolution::Status::TimedOut);
    }
    m_lookup->release();
    EXPECT_EQ(m_resolver.LookupsUnderWay(), 0u);
    EXPECT_EQ(m_lookup.use_count(), 2) << "shared by the test and the resolver alone";
}

}  // namespace
