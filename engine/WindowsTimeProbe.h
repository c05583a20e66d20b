#pragma once
// Port to what Windows says of its own time service (W32Time): whether the service manager
// has it running and which source its configuration names. Two programs that drive the
// clock's rate fight over it, so the engine looks before it disciplines. The Win32 adapter
// asks the service manager and the registry; tests use a fake.

#include <cstdint>
#include <optional>
#include <string>

inline constexpr const char* kWindowsTimeServiceName = "W32Time";
// Its Parameters\Type when it keeps no clock; "NTP", "NT5DS" and "AllSync" all synchronise.
inline constexpr const char* kWindowsTimeNoSync = "NoSync";

struct WindowsTimeFacts {
    // The platform's error when the service's state could not be read; 0 when it was, also
    // when the service is not installed.
    std::uint32_t error = 0;
    // Running, or on its way there; false when not installed.
    bool bRunning = false;
    // Parameters\Type as configured; none when it has none.
    std::optional<std::string> type;
};

class WindowsTimeProbe {
public:
    virtual ~WindowsTimeProbe() = default;
    virtual WindowsTimeFacts look() const = 0;
};
