#include "tests/support/VirtualClock.h"

#include <cmath>

namespace {

constexpr double kUnitsPerSecond = 4294967296.0;
constexpr int kErrorPrivilegeNotHeld = 1314;

}  // namespace

SystemResult CFakeTimePrivilege::enable() {
    ++m_nEnables;
    m_bHeld = m_enableResult.bSucceeded;
    return m_enableResult;
}

void CFakeTimePrivilege::restore() {
    ++m_nRestores;
    m_bHeld = false;
}

CVirtualClock::CVirtualClock(const SystemClock& base, double offsetSeconds)
    : m_base(base), m_nOffset(static_cast<std::int64_t>(std::llround(offsetSeconds * kUnitsPerSecond))) {}

NtpTimestamp CVirtualClock::nowUtc() const {
    return NtpTimestamp::fromValue(m_base.nowUtc().value() + static_cast<std::uint64_t>(m_nOffset));
}

SystemResult CVirtualClock::setUtc(const CalendarTime& utc) {
    if (m_pRequired && !m_pRequired->isHeld()) {
        return {false, kErrorPrivilegeNotHeld};
    }
    if (m_nRefusal != 0 && std::fabs(NtpTimestamp::secondsSince(NtpTimestamp::fromSystemTime(utc),
                                                                nowUtc())) >= m_dRefusedFrom) {
        return {false, m_nRefusal};
    }
    m_nOffset =
        static_cast<std::int64_t>(NtpTimestamp::fromSystemTime(utc).value() - m_base.nowUtc().value());
    m_vecSettings.push_back({utc, offsetSeconds()});
    return {true, 0};
}

double CVirtualClock::offsetSeconds() const {
    return static_cast<double>(m_nOffset) / kUnitsPerSecond;
}
