#pragma once
// Port to the machine's clock: read UTC at the best resolution the platform offers, and write
// it. The Win32 adapter sets the clock through the system-time privilege (TimePrivilege); the
// native build only reads it; tests use a virtual clock.

#include <memory>

#include "common/SystemResult.h"
#include "sntp/NtpTimestamp.h"

class SystemClock {
public:
    virtual ~SystemClock() = default;
    // UTC now, at the best resolution the platform offers.
    virtual NtpTimestamp nowUtc() const = 0;
    // Writes UTC to the clock as given; the caller looks after any privilege.
    virtual SystemResult setUtc(const CalendarTime& utc) = 0;
};

// The right to set the clock, held only for the duration of one setting.
class TimePrivilege {
public:
    virtual ~TimePrivilege() = default;
    // Succeeds when the clock may now be set (also on a system that has no access tokens).
    virtual SystemResult enable() = 0;
    // Undoes what enable did; nothing when enable did not get as far as enabling.
    virtual void restore() = 0;
};

// Sets the clock to utc with the privilege enabled for this call alone; when the privilege
// cannot be enabled the clock is not touched. The privilege is restored on every path.
SystemResult setSystemClock(SystemClock& clock, TimePrivilege& privilege, NtpTimestamp utc);

// The platform's clock and privilege. Natively the clock is only read: every setting is refused,
// and so is the privilege.
std::unique_ptr<SystemClock> makeSystemClock();
std::unique_ptr<TimePrivilege> makeTimePrivilege();
