#pragma once
// A synchronisation attempt for engine tests: each attempt takes the next scripted step (an
// outcome, or a wait until the run is told to stop); once the script is used up every
// attempt fails, or asks the responder a test gave. It records the hosts asked and how many
// attempts were in flight at once, and lets a test wait until a given number of attempts
// has begun.

#include "engine/SyncAttempt.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CScriptedSyncAttempt : public SyncAttempt {
public:
    // A sample with this delay and offset; its address is the host's own (hosts differ in it).
    static SyncOutcome Succeeded(double roundTripDelay, double clockOffset = 0.0);
    static SyncOutcome TimedOut();
    static SyncOutcome Refused();  // a "RATE" kiss

    void push(const SyncOutcome& outcome);
    // The next attempt waits until stop is set (which nobody signals: it looks every
    // millisecond), then reports that it was cancelled.
    void pushWaitForStop();
    // The next attempt waits until release (or stop), then gives outcome.
    void pushHeld(const SyncOutcome& outcome);
    void release();
    // From now on an attempt beyond the script gives what responder (called on the run
    // thread) gives for its host.
    void respondWith(std::function<SyncOutcome(const std::string& host)> responder);

    SyncOutcome attempt(const std::string& host, const std::atomic<bool>& stop) override;

    // Blocks until count attempts have begun.
    void awaitAttempts(int count) const;

    std::vector<std::string> hosts() const;
    int attempts() const;
    int inFlight() const;
    int maxInFlight() const;

private:
    enum class Wait { None, ForStop, ForRelease };
    struct Step {
        SyncOutcome outcome;
        Wait wait = Wait::None;
        bool bBeyondScript = false;
    };

    Step nextStep(const std::string& host);
    void waitOut(Wait wait, const std::atomic<bool>& stop);
    void finish();
    NetAddress AddressOf(const std::string& host);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<Step> m_script;
    std::function<SyncOutcome(const std::string& host)> m_responder;
    std::vector<std::string> m_hosts;
    std::map<std::string, int> m_mapAddresses;
    int m_nReleases = 0;
    int m_nInFlight = 0;
    int m_nMaxInFlight = 0;
};
