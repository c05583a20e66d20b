#pragma once
// What the service tells the event log about keeping the clock, for administrators who collect
// events rather than open each PC's log: each run's outcome, a back-off that begins, and the
// clock's rate handed to Windows and taken back. It hears every run's record (as the history
// does) and the engine's state each tick (as the status board does), and decides which event,
// of which type, with which values. It also hears the log's result notices, for the one that
// says the log file takes no lines.
//
// The continuous mode polls every few minutes: its successes go out at most once an hour, and
// the first after a failure always; failures and steps always.

#include "engine/ResultNotifier.h"
#include "engine/RunHistory.h"
#include "engine/StatusBoard.h"
#include "service/EventSink.h"
#include "sntp/MonotonicClock.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

// The message table's identifiers of these events; each has its own message (HoraluxEvents.mc).
constexpr std::uint32_t kEventIdSynchronized = 0x40000200;    // server, offset ms, delay ms, action
constexpr std::uint32_t kEventIdSyncFailed = 0x80000201;      // server, reason
constexpr std::uint32_t kEventIdBackoffBegun = 0x80000202;    // wait s
constexpr std::uint32_t kEventIdRivalRefused = 0x80000203;    // server, step s, rival, its step s
constexpr std::uint32_t kEventIdStepped = 0x40000204;         // step s
constexpr std::uint32_t kEventIdStepsOnly = 0x40000205;       // none
constexpr std::uint32_t kEventIdDisciplineBack = 0x40000206;  // none
constexpr std::uint32_t kEventIdLogUnwritten = 0xC0000207;    // the log file's name

class CServiceEvents final : public RunHistory, public StatusBoard, public ResultNotifier {
public:
    static constexpr std::chrono::hours kPollSuccessSpacing{1};

    // sink and monotonic must outlive the object.
    CServiceEvents(EventSink& sink, const MonotonicClock& monotonic);

    // On the run thread, as each run ends.
    bool Append(const RunRecord& record) override;
    // On the engine's thread, each tick.
    void publish(const ClockStatus& report) override;
    // From any thread that writes the log.
    void notifyResult(int resultCode) override;

private:
    bool SuccessDue(const RunRecord& record, MonotonicClock::TimePoint now) const;

    EventSink& m_sink;
    const MonotonicClock& m_monotonic;
    std::mutex m_runMutex;  // runs end on threads of their own
    std::optional<MonotonicClock::TimePoint> m_lastSuccessEvent;
    bool m_bFailedSince = false;
    bool m_bStepsOnly = false;  // as the last tick found it
    std::int32_t m_nBackoffLeft = 0;
};
