#include "tests/support/ScriptedSyncAttempt.h"

#include "tests/support/TestAddress.h"

#include <algorithm>
#include <chrono>

SyncOutcome CScriptedSyncAttempt::Succeeded(double roundTripDelay, double clockOffset) {
    return syncSuccess(roundTripDelay, clockOffset);
}

SyncOutcome CScriptedSyncAttempt::TimedOut() {
    return syncFailure(SyncFailure::TimedOut);
}

SyncOutcome CScriptedSyncAttempt::Refused() {
    SyncOutcome outcome = syncFailure(SyncFailure::BadReply);
    outcome.bServerRefused = true;
    return outcome;
}

void CScriptedSyncAttempt::push(const SyncOutcome& outcome) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.push_back(Step{outcome, Wait::None});
}

void CScriptedSyncAttempt::pushHeld(const SyncOutcome& outcome) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.push_back(Step{outcome, Wait::ForRelease});
}

void CScriptedSyncAttempt::release() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nReleases;
    }
    m_changed.notify_all();
}

void CScriptedSyncAttempt::respondWith(std::function<SyncOutcome(const std::string& host)> responder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

void CScriptedSyncAttempt::pushWaitForStop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script.push_back(Step{syncFailure(SyncFailure::Cancelled), Wait::ForStop});
}

CScriptedSyncAttempt::Step CScriptedSyncAttempt::nextStep(const std::string& host) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hosts.push_back(host);
    m_nMaxInFlight = std::max(m_nMaxInFlight, ++m_nInFlight);
    m_changed.notify_all();
    if (m_script.empty()) {
        return Step{TimedOut(), Wait::None, true};
    }
    Step step = m_script.front();
    m_script.pop_front();
    return step;
}

// Each host its own address, in the order they were first asked: 192.0.2.1, 192.0.2.2, ...
NetAddress CScriptedSyncAttempt::AddressOf(const std::string& host) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_mapAddresses.emplace(host, static_cast<int>(m_mapAddresses.size()) + 1).first;
    return TestAddress("192.0.2." + std::to_string(found->second), 123);
}

void CScriptedSyncAttempt::finish() {
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_nInFlight;
    m_changed.notify_all();
}

SyncOutcome CScriptedSyncAttempt::attempt(const std::string& host, const std::atomic<bool>& stop) {
    const Step step = nextStep(host);
    waitOut(step.wait, stop);
    std::function<SyncOutcome(const std::string&)> responder;
    if (step.bBeyondScript) {
        std::lock_guard<std::mutex> lock(m_mutex);
        responder = m_responder;
    }
    SyncOutcome outcome = responder ? responder(host) : step.outcome;
    if (outcome.bSucceeded && outcome.address == NetAddress()) {
        outcome.address = AddressOf(host);
    }
    finish();
    return outcome;
}

void CScriptedSyncAttempt::waitOut(Wait wait, const std::atomic<bool>& stop) {
    constexpr std::chrono::milliseconds kStopPoll{1};
    if (wait == Wait::None) {
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!stop.load()) {
        if (wait == Wait::ForRelease && m_nReleases > 0) {
            --m_nReleases;
            return;
        }
        m_changed.wait_for(lock, kStopPoll);
    }
}

void CScriptedSyncAttempt::awaitAttempts(int count) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return static_cast<int>(m_hosts.size()) >= count; });
}

std::vector<std::string> CScriptedSyncAttempt::hosts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hosts;
}

int CScriptedSyncAttempt::attempts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_hosts.size());
}

int CScriptedSyncAttempt::inFlight() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nInFlight;
}

int CScriptedSyncAttempt::maxInFlight() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nMaxInFlight;
}
