#pragma once
// What the engine and the time protocol client rely on from the clocks and the connection
// test, for the fakes and for the platform alike. The situation is the one every test session
// is in: the platform sets the clock only for moves under half a second and refuses larger ones
// with 1314 (privilege not held), and the machine is offline (loopback only). A fake subject is
// configured to mirror that situation.

#include "engine/ConnectivityProbe.h"
#include "engine/LocalClock.h"
#include "sntp/MonotonicClock.h"
#include "sntp/SystemClock.h"
#include "tests/contract/Contract.h"

constexpr int kErrorPrivilegeNotHeld = 1314;
// Moves of this size or more are refused in the test sessions.
constexpr double kRefusedMoveSeconds = 0.5;

class SystemClockSubject {
public:
    virtual ~SystemClockSubject() = default;
    virtual SystemClock& clock() = 0;
    virtual TimePrivilege& privilege() = 0;
    // Whether the right to set the clock is enabled at this moment.
    virtual bool privilegeEnabled() const = 0;
};

class LocalClockSubject {
public:
    virtual ~LocalClockSubject() = default;
    virtual LocalClock& clock() = 0;
};

class ConnectivitySubject {
public:
    virtual ~ConnectivitySubject() = default;
    virtual ConnectivityProbe& probe() = 0;
};

class MonotonicClockSubject {
public:
    virtual ~MonotonicClockSubject() = default;
    virtual MonotonicClock& clock() = 0;
};

// A monotonic clock subject that is a Clock and nothing else.
template <typename Clock>
class CMonotonicSubject : public MonotonicClockSubject {
public:
    MonotonicClock& clock() override { return m_clock; }

private:
    Clock m_clock;
};

class SystemClockContract : public ContractTest<SystemClockSubject> {};
class LocalClockContract : public ContractTest<LocalClockSubject> {};
class ConnectivityContract : public ContractTest<ConnectivitySubject> {};
class MonotonicClockContract : public ContractTest<MonotonicClockSubject> {};
