// The native clock: read only. Nothing in this build may change the machine's clock, so every
// setting is refused.

#include "sntp/SystemClock.h"

#include <cerrno>
#include <ctime>

namespace {

class CPosixSystemClock : public SystemClock {
public:
    NtpTimestamp nowUtc() const override {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        return NtpTimestamp::fromUnixTime(now.tv_sec, static_cast<std::uint32_t>(now.tv_nsec));
    }

    SystemResult setUtc(const CalendarTime&) override { return {false, EPERM}; }
};

class CPosixTimePrivilege : public TimePrivilege {
public:
    SystemResult enable() override { return {false, EPERM}; }
    void restore() override {}
};

}  // namespace

std::unique_ptr<SystemClock> makeSystemClock() {
    return std::make_unique<CPosixSystemClock>();
}

std::unique_ptr<TimePrivilege> makeTimePrivilege() {
    return std::make_unique<CPosixTimePrivilege>();
}
