#pragma once
// Records every result code the log announces, from whichever thread.

#include "engine/ResultNotifier.h"

#include <mutex>
#include <vector>

class CRecordingNotifier : public ResultNotifier {
public:
    void notifyResult(int resultCode) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_codes.push_back(resultCode);
    }

    std::vector<int> codes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_codes;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_codes;
};
