// The contract suites of the ports whose adapters are the same code in both builds (natively
// the BSD calls, under Wine Winsock's), run against them in real time: the monotonic clock, and
// the datagram sockets with the fake server on loopback.

#include "sntp/SocketLibrary.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "tests/contract/ClockContracts.h"
#include "tests/contract/DatagramTransportContract.h"
#include "tests/support/TestAddress.h"
#include "tools/kit/FakeSntpServer.h"

namespace {

// On a port of its own on 127.0.0.1: under Wine a server on another loopback address would
// answer from 127.0.0.1.
class CSocketSubject : public DatagramTransportSubject {
public:
    CSocketSubject() { EXPECT_TRUE(m_fake.start("127.0.0.1", 0)) << socket_platform::lastError(); }
    DatagramTransport& transport() override { return m_sockets; }
    const MonotonicClock& clock() override { return m_clock; }
    NetAddress server() override { return TestAddress(m_fake.address(), m_fake.port()); }
    CSntpReplyScript& script() override { return m_fake; }

private:
    CSocketLibrary m_library;
    CSteadyClock m_clock;
    CSocketTransport m_sockets{m_clock};
    CFakeSntpServer m_fake;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Platform, MonotonicClockContract,
    ::testing::Values(MakeFactory<MonotonicClockSubject, CMonotonicSubject<CSteadyClock>>("Steady")),
    FactoryName());
INSTANTIATE_TEST_SUITE_P(Platform, DatagramTransportContract,
                         ::testing::Values(MakeFactory<DatagramTransportSubject, CSocketSubject>("Sockets")),
                         FactoryName());
