#include "engine/RunThread.h"

#include <system_error>

namespace {

int runGuarded(const CRunThread::Body& body, const std::atomic<bool>& stop) noexcept {
    try {
        return body(stop);
    } catch (...) {
        return 0;  // a run that threw has failed; nothing crosses the thread's edge
    }
}

}  // namespace

CRunThread::~CRunThread() {
    RequestStop();
    Join();
}

CRunThread& CRunThread::operator=(CRunThread&& other) noexcept {
    if (this != &other) {
        RequestStop();
        Join();
        m_state = std::move(other.m_state);
        m_thread = std::move(other.m_thread);
    }
    return *this;
}

bool CRunThread::Start(Body body) {
    if (IsHeld()) {
        return false;
    }
    auto state = std::make_unique<State>();
    State* shared = state.get();
    try {
        m_thread = std::thread([shared, work = std::move(body)] {
            shared->nExitCode.store(runGuarded(work, shared->bStop), std::memory_order_relaxed);
            shared->bFinished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_state = std::move(state);
    return true;
}

bool CRunThread::HasFinished() const {
    return m_state && m_state->bFinished.load(std::memory_order_acquire);
}

void CRunThread::RequestStop() {
    if (m_state) {
        m_state->bStop.store(true);
    }
}

int CRunThread::Join() {
    if (!m_thread.joinable()) {
        return 0;
    }
    m_thread.join();
    const int code = m_state->nExitCode.load(std::memory_order_relaxed);
    m_state.reset();
    return code;
}
