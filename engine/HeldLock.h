#pragma once
// Holds a cross-process lock for one write, when it could be had in time. A write goes ahead
// without it rather than be lost: a holder that keeps it longer than the wait is stuck.

#include "engine/CrossProcessLock.h"

class CHeldLock {
public:
    CHeldLock(CrossProcessLock& lock, std::chrono::milliseconds wait)
        : m_lock(lock), m_bHeld(lock.acquire(wait)) {}
    ~CHeldLock() {
        if (m_bHeld) {
            m_lock.release();
        }
    }
    CHeldLock(const CHeldLock&) = delete;
    CHeldLock& operator=(const CHeldLock&) = delete;

private:
    CrossProcessLock& m_lock;
    const bool m_bHeld;
};
