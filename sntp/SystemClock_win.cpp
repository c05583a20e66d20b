#include "sntp/Win32SystemClock_win.h"

#include "common/OptionalFunctions_win.h"
#include "sntp/Win32CalendarTime_win.h"

#include <cstdint>

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

NtpTimestamp fromFileTime(const FILETIME& ft) {
    const std::uint64_t ticks = (std::uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    const auto seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
    const auto nanoseconds = static_cast<std::uint32_t>(ticks % kTicksPerSecond * 100);
    return NtpTimestamp::fromUnixTime(seconds, nanoseconds);
}

}  // namespace

CWin32SystemClock::CWin32SystemClock()
    : m_pfnPreciseReader(OptionalFunctions().getSystemTimePreciseAsFileTime) {}

CWin32SystemClock::CWin32SystemClock(GetSystemTimePreciseAsFileTimeFn reader) : m_pfnPreciseReader(reader) {}

NtpTimestamp CWin32SystemClock::nowUtc() const {
    if (m_pfnPreciseReader) {
        FILETIME ft{};
        m_pfnPreciseReader(&ft);
        return fromFileTime(ft);
    }
    SYSTEMTIME st{};
    ::GetSystemTime(&st);
    return NtpTimestamp::fromSystemTime(FromWin32Time(st));
}

SystemResult CWin32SystemClock::setUtc(const CalendarTime& utc) {
    const SYSTEMTIME st = ToWin32Time(utc);
    return ::SetSystemTime(&st) ? SystemResult::success() : SystemResult::failure(::GetLastError());
}

std::unique_ptr<SystemClock> makeSystemClock() {
    return std::make_unique<CWin32SystemClock>();
}
