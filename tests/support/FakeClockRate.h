#pragma once
// A clock rate for tests that only records: every correction set, and whether the rate is
// handed back to the platform. It can refuse the settings as a platform without the privilege
// does. Safe from any thread.

#include "sntp/ClockRate.h"

#include <mutex>
#include <vector>

class CFakeClockRate final : public ClockRate {
public:
    explicit CFakeClockRate(double granularityPpm = 0.0) : m_dGranularity(granularityPpm) {}

    // From now on every call fails with error (0: succeeds again).
    void refuse(unsigned long error) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nRefusal = error;
    }

    double granularityPpm() const override { return m_dGranularity; }
    SystemResult setCorrection(double ppm) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nRefusal != 0) {
            return SystemResult::failure(m_nRefusal);
        }
        m_vecCorrections.push_back(ppm);
        m_bAdjusted = true;
        return SystemResult::success();
    }
    SystemResult handBack() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nRefusal != 0) {
            return SystemResult::failure(m_nRefusal);
        }
        m_bAdjusted = false;
        ++m_nHandBacks;
        return SystemResult::success();
    }

    std::vector<double> corrections() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecCorrections;
    }
    bool isAdjusted() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bAdjusted;
    }
    int handBacks() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nHandBacks;
    }

private:
    const double m_dGranularity;
    mutable std::mutex m_mutex;
    std::vector<double> m_vecCorrections;
    bool m_bAdjusted = false;
    int m_nHandBacks = 0;
    unsigned long m_nRefusal = 0;
};
