#pragma once
// The clock's rate on Windows: SetSystemTimeAdjustmentPrecise where Windows has it (10 and
// later, looked up at run time), SetSystemTimeAdjustment elsewhere, each under the system-time
// privilege. The increment per clock interrupt is read once, with the matching Get call; the
// smallest step of rate follows from it (about 6.4 ppm with the legacy calls). Handing the rate
// back disables the adjustment: Windows keeps its time by its own means again.

#include <windows.h>

#include "common/OptionalFunctions_win.h"
#include "sntp/ClockRate.h"
#include "sntp/Win32TimePrivilege_win.h"

#include <cstdint>

// One pair of calls, in the 64-bit form of the Precise pair.
struct AdjustmentCalls {
    GetSystemTimeAdjustmentPreciseFn get = nullptr;
    SetSystemTimeAdjustmentPreciseFn set = nullptr;
    bool bPrecise = false;
};

// The Precise pair where this Windows has both of it, the legacy pair otherwise.
AdjustmentCalls ChooseAdjustmentCalls(const OptionalFunctionSet& functions = OptionalFunctions());

class CWin32ClockRate final : public ClockRate {
public:
    explicit CWin32ClockRate(const AdjustmentCalls& calls = ChooseAdjustmentCalls(),
                             const TokenApi& tokens = win32TokenApi());

    // 0 when the increment could not be read: then every setting fails.
    double granularityPpm() const override;
    SystemResult setCorrection(double ppm) override;
    SystemResult handBack() override;

    bool usesPrecise() const { return m_calls.bPrecise; }
    std::uint64_t increment() const { return m_nIncrement; }

private:
    SystemResult Set(std::uint64_t adjustment, bool disabled);

    const AdjustmentCalls m_calls;
    CWin32TimePrivilege m_privilege;
    std::uint64_t m_nIncrement = 0;
    unsigned long m_nReadError = 0;
};
