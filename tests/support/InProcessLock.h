#pragma once
// The log's cross-process lock where only one process writes: a flag under a mutex, waited
// for on a condition. Several logs given the same one behave as processes sharing the named
// mutex. (Not std::timed_mutex: ThreadSanitizer does not see its timed waits.)

#include "engine/CrossProcessLock.h"

#include <condition_variable>
#include <mutex>

class CInProcessLock final : public CrossProcessLock {
public:
    bool acquire(std::chrono::milliseconds timeout) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_released.wait_for(lock, timeout, [this] { return !m_bHeld; })) {
            return false;
        }
        m_bHeld = true;
        return true;
    }

    void release() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bHeld = false;
        }
        m_released.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_bHeld = false;
};
