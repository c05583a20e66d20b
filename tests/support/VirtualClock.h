#pragma once
// A clock for tests: the real time plus an offset that every setting changes, so a coarse step
// followed by a fine one can run end to end without touching the machine's clock. Every setting
// is recorded. Also a privilege whose behaviour a test chooses.

#include <cstdint>
#include <vector>

#include "sntp/SystemClock.h"

class CFakeTimePrivilege : public TimePrivilege {
public:
    // The result every enable gives from now on.
    void setEnableResult(SystemResult result) { m_enableResult = result; }

    SystemResult enable() override;
    void restore() override;

    bool isHeld() const { return m_bHeld; }
    int enableCount() const { return m_nEnables; }
    int restoreCount() const { return m_nRestores; }

private:
    SystemResult m_enableResult{true, 0};
    bool m_bHeld = false;
    int m_nEnables = 0;
    int m_nRestores = 0;
};

struct ClockSetting {
    CalendarTime utc;
    double offsetAfter = 0.0;  // the virtual clock's offset from the real one after the setting
};

class CVirtualClock : public SystemClock {
public:
    // base is the real clock; the virtual one starts offsetSeconds away from it.
    explicit CVirtualClock(const SystemClock& base, double offsetSeconds = 0.0);

    NtpTimestamp nowUtc() const override;
    SystemResult setUtc(const CalendarTime& utc) override;

    // From now on a setting that moves the clock by fromSeconds or more (0: every setting) fails
    // with error and changes nothing; error 0 accepts every setting again.
    void refuseSettings(unsigned long error, double fromSeconds = 0.0) {
        m_nRefusal = error;
        m_dRefusedFrom = fromSeconds;
    }
    // Settings fail with 1314 (privilege not held) unless privilege is held at that moment, as on
    // Windows (Wine sets the moves it accepts without it).
    void requirePrivilege(const CFakeTimePrivilege* privilege) { m_pRequired = privilege; }

    double offsetSeconds() const;
    const std::vector<ClockSetting>& settings() const { return m_vecSettings; }

private:
    const SystemClock& m_base;
    std::int64_t m_nOffset;  // in units of 2^-32 s, so the offset is exact
    unsigned long m_nRefusal = 0;
    double m_dRefusedFrom = 0.0;
    const CFakeTimePrivilege* m_pRequired = nullptr;
    std::vector<ClockSetting> m_vecSettings;
};
