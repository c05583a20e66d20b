#pragma once
// Courtesy towards public time servers when they fail us. After a scheduled run fails, the
// next scheduled run waits: one minute, then twice as long after each further failure, up to
// one hour between runs; a successful run (manual or scheduled) ends the waiting. A server
// that refused us with a kiss code ("RATE", "DENY", "RSTR") is left out of scheduled runs
// for an hour. Manual runs never wait and ask every server. Times are monotonic, so a clock
// set by a run (or by anyone) moves no deadline. Kept in memory: a restart starts afresh.
//
// A network that comes back (an address appears, or the connection test turns true) ends the
// current wait at once; but when the run it started fails too, the next wait (twice as long)
// runs out in full, so a network that comes and goes adds at most one run per wait served.
//
// Waiting after every failed run, not only once the whole list has failed: with the
// built-in list (18 servers, 5 attempts each) one silent pass alone costs 90 requests, and
// a pass an hour would send over 2000 a day to servers that do not answer.

#include "sntp/MonotonicClock.h"

#include <chrono>
#include <map>
#include <string>

struct BackoffPolicy {
    std::chrono::seconds firstWait{60};
    std::chrono::seconds longestWait{3600};
    std::chrono::seconds refusalHold{3600};
};

class CRunBackoff {
public:
    using TimePoint = MonotonicClock::TimePoint;

    explicit CRunBackoff(const BackoffPolicy& policy) : m_policy(policy) {}

    // A scheduled run failed at now: the next one waits longer than the last.
    void ScheduledRunFailed(TimePoint now);
    // A run set the clock: scheduled runs no longer wait.
    void RunSucceeded();
    // A fresh start: nothing failed, nobody refused us.
    void Reset();
    // The network came back at now: a wait still on ends now, unless this wait or the one
    // before it was cut short. True when it ended one.
    bool NetworkReturned(TimePoint now);

    // Scheduled runs have failed since the last success.
    bool HasFailures() const { return m_bFailing; }
    // A scheduled run must not start yet.
    bool IsWaiting(TimePoint now) const { return m_bFailing && now < m_nextRun; }
    // How much of the wait is left at now (zero when none).
    std::chrono::seconds WaitLeft(TimePoint now) const;

    // host refused us at now.
    void ServerRefused(const std::string& host, TimePoint now);
    // host is left out of scheduled runs at now.
    bool IsLeftOut(const std::string& host, TimePoint now) const;

private:
    const BackoffPolicy m_policy;
    bool m_bFailing = false;
    bool m_bCutShort = false;  // the current wait was ended by the network's return
    bool m_bCuttable = true;   // the current wait follows one served in full
    std::chrono::seconds m_lastWait{0};
    TimePoint m_nextRun{};
    std::map<std::string, TimePoint> m_mapRefusedUntil;  // by ServerKey
};
