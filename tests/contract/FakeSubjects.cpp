// The contract suites run in the unit tier against the test fakes, configured as the test
// sessions' platform behaves.

#include "tests/contract/ClockContracts.h"
#include "tests/contract/DatagramTransportContract.h"
#include "tests/contract/ProfileStoreContract.h"
#include "tests/support/FakeConnectivity.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/FakeProfileStore.h"
#include "tests/support/TestAddress.h"
#include "tests/support/VirtualClock.h"
#include "tools/kit/SimulatedSntpServer.h"
#include "tools/kit/VirtualMonotonicClock.h"
#include "tools/kit/VirtualUtcClock.h"

namespace {

class CFakeProfileStoreSubject : public ProfileStoreSubject {
public:
    ProfileStore& store() override { return m_store; }
    std::string fileName() const override { return "zHoraluxContract.ini"; }
    std::string fileText() const override { return m_store.text(fileName()); }
    void setFileText(const std::string& text) override { m_store.setText(fileName(), text); }
    void blockWrites(bool blocked) override { m_store.setReadOnly(fileName(), blocked); }
    std::string copyName() const override { return "zHoraluxContract-copy.ini"; }
    std::string copyText() const override { return m_store.text(copyName()); }

private:
    CFakeProfileStore m_store;
};

class CVirtualClockSubject : public SystemClockSubject {
public:
    CVirtualClockSubject() { m_clock.refuseSettings(kErrorPrivilegeNotHeld, kRefusedMoveSeconds); }
    SystemClock& clock() override { return m_clock; }
    TimePrivilege& privilege() override { return m_privilege; }
    bool privilegeEnabled() const override { return m_privilege.isHeld(); }

private:
    const std::unique_ptr<SystemClock> m_realClock = makeSystemClock();
    CVirtualClock m_clock{*m_realClock};
    CFakeTimePrivilege m_privilege;
};

class CFakeLocalClockSubject : public LocalClockSubject {
public:
    LocalClock& clock() override { return m_clock; }

private:
    CFakeLocalClock m_clock;
};

class COfflineSubject : public ConnectivitySubject {
public:
    COfflineSubject() { m_probe.m_bConnected = false; }
    ConnectivityProbe& probe() override { return m_probe; }

private:
    CFakeConnectivity m_probe;
};

// The virtual network with a scripted server on it.
class CVirtualNetworkSubject : public DatagramTransportSubject {
public:
    CVirtualNetworkSubject() { m_network.attach(m_server, m_simulated); }
    DatagramTransport& transport() override { return m_network; }
    const MonotonicClock& clock() override { return m_clock; }
    NetAddress server() override { return m_server; }
    CSntpReplyScript& script() override { return m_simulated; }

private:
    CVirtualMonotonicClock m_clock;
    CVirtualUtcClock m_trueClock{m_clock, NtpTimestamp(3957768000u, 0)};
    CVirtualNetwork m_network{m_clock};
    CSimulatedSntpServer m_simulated{m_trueClock};
    const NetAddress m_server = TestAddress("192.0.2.1", 123);
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Fake, DatagramTransportContract,
    ::testing::Values(MakeFactory<DatagramTransportSubject, CVirtualNetworkSubject>("Virtual")),
    FactoryName());
INSTANTIATE_TEST_SUITE_P(
    Fake, ProfileStoreContract,
    ::testing::Values(MakeFactory<ProfileStoreSubject, CFakeProfileStoreSubject>("Fake")), FactoryName());
INSTANTIATE_TEST_SUITE_P(Fake, SystemClockContract,
                         ::testing::Values(MakeFactory<SystemClockSubject, CVirtualClockSubject>("Virtual")),
                         FactoryName());
INSTANTIATE_TEST_SUITE_P(Fake, LocalClockContract,
                         ::testing::Values(MakeFactory<LocalClockSubject, CFakeLocalClockSubject>("Fake")),
                         FactoryName());
INSTANTIATE_TEST_SUITE_P(Fake, ConnectivityContract,
                         ::testing::Values(MakeFactory<ConnectivitySubject, COfflineSubject>("Offline")),
                         FactoryName());
INSTANTIATE_TEST_SUITE_P(Fake, MonotonicClockContract,
                         ::testing::Values(MakeFactory<MonotonicClockSubject,
                                                       CMonotonicSubject<CVirtualMonotonicClock>>("Virtual")),
                         FactoryName());
