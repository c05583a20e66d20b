#include "sntp/Win32ClockRate_win.h"

#include "sntp/ClockAdjustment.h"

namespace {

// The legacy pair in the form of the Precise pair.
BOOL WINAPI LegacyGet(PDWORD64 adjustment, PDWORD64 increment, PBOOL disabled) {
    DWORD legacyAdjustment = 0;
    DWORD legacyIncrement = 0;
    const BOOL result = ::GetSystemTimeAdjustment(&legacyAdjustment, &legacyIncrement, disabled);
    *adjustment = legacyAdjustment;
    *increment = legacyIncrement;
    return result;
}

BOOL WINAPI LegacySet(DWORD64 adjustment, BOOL disabled) {
    return ::SetSystemTimeAdjustment(static_cast<DWORD>(adjustment), disabled);
}

}  // namespace

AdjustmentCalls ChooseAdjustmentCalls(const OptionalFunctionSet& functions) {
    if (functions.getSystemTimeAdjustmentPrecise != nullptr &&
        functions.setSystemTimeAdjustmentPrecise != nullptr) {
        return AdjustmentCalls{functions.getSystemTimeAdjustmentPrecise,
                               functions.setSystemTimeAdjustmentPrecise, true};
    }
    return AdjustmentCalls{LegacyGet, LegacySet, false};
}

CWin32ClockRate::CWin32ClockRate(const AdjustmentCalls& calls, const TokenApi& tokens)
    : m_calls(calls), m_privilege(tokens) {
    DWORD64 adjustment = 0;
    DWORD64 increment = 0;
    BOOL disabled = TRUE;
    if (m_calls.get(&adjustment, &increment, &disabled)) {
        m_nIncrement = increment;
    } else {
        m_nReadError = ::GetLastError();
    }
}

double CWin32ClockRate::granularityPpm() const {
    return AdjustmentStepPpm(m_nIncrement);
}

SystemResult CWin32ClockRate::setCorrection(double ppm) {
    if (m_nIncrement == 0) {
        return SystemResult::failure(m_nReadError != 0 ? m_nReadError : ERROR_NOT_SUPPORTED);
    }
    return Set(AdjustmentFor(m_nIncrement, ppm), false);
}

SystemResult CWin32ClockRate::handBack() {
    return Set(0, true);
}

SystemResult CWin32ClockRate::Set(std::uint64_t adjustment, bool disabled) {
    SystemResult result = m_privilege.enable();
    if (result.bSucceeded) {
        result = m_calls.set(adjustment, disabled ? TRUE : FALSE) ? SystemResult::success()
                                                                  : SystemResult::failure(::GetLastError());
    }
    m_privilege.restore();
    return result;
}
