#include "engine/RunThread.h"

#include "common/ExceptionBarrier.h"

#include <system_error>

namespace {

// A run that threw has failed: exit code 0.
int runGuarded(const CRunThread::Body& body, const std::atomic<bool>& stop,
               const CRunThread::EscapeReport& report) noexcept {
    int code = 0;
    CallGuarded([&] { code = body(stop); },
                [&](const char* what) {
                    if (report) {
                        report(what);
                    }
                });
    return code;
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

bool CRunThread::Start(Body body, EscapeReport report) {
    if (IsHeld()) {
        return false;
    }
    auto state = std::make_unique<State>();
    State* shared = state.get();
    try {
        m_thread = std::thread([shared, work = std::move(body), escape = std::move(report)] {
            shared->nExitCode.store(runGuarded(work, shared->bStop, escape), std::memory_order_relaxed);
            // Notified under the lock: the state lives until this thread is joined.
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->bFinished.store(true, std::memory_order_release);
            shared->cvFinished.notify_all();
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

void CRunThread::AwaitFinished() const {
    if (!m_state) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->cvFinished.wait(lock, [this] { return m_state->bFinished.load(std::memory_order_acquire); });
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
