#pragma once
// Whether the Windows Time service synchronises this clock, looked at when the service starts
// and then every few minutes (CSyncEngine): while it does, or while its state cannot be read,
// the clock is corrected by steps only. Each change of that answer gets one log line; the
// first look gets one only when it finds steps necessary.

#include "common/LogSink.h"
#include "engine/StepsOnlySwitch.h"
#include "engine/WindowsTimeProbe.h"

#include <atomic>
#include <optional>

// What the facts mean for the clock.
enum class WindowsTimeVerdict {
    Idle,     // not installed, stopped, or configured as NoSync
    Keeping,  // running and synchronising: it drives the clock's rate
    Unknown,  // its state could not be read: assumed keeping
};

WindowsTimeVerdict JudgeWindowsTime(const WindowsTimeFacts& facts);

class CWindowsTimeWatch {
public:
    static constexpr const char* kKeepingLine =
        "The Windows Time service synchronizes the clock: Horalux corrects it by steps only while it runs.";
    static constexpr const char* kIdleLine =
        "The Windows Time service no longer synchronizes the clock: Horalux disciplines it again.";
    static constexpr const char* kUnknownPattern =
        "The Windows Time service cannot be asked: Horalux corrects the clock by steps only - %s";

    // probe and log must outlive the watch.
    CWindowsTimeWatch(const WindowsTimeProbe& probe, LogSink& log);

    // Asks the probe; on the thread that drives the engine.
    void Look();

    // Whether the clock must be corrected by steps only: until the first look, and while the
    // last one found the service keeping the clock or unreadable. Safe from any thread.
    bool IsStepsOnly() const { return m_bStepsOnly.load(); }

    // discipline hears the present answer at once and each change of it after, on the thread
    // that calls Look; it must outlive the watch.
    void Attach(StepsOnlySwitch& discipline);

private:
    void LogChange(WindowsTimeVerdict verdict, const WindowsTimeFacts& facts);

    const WindowsTimeProbe& m_probe;
    LogSink& m_log;
    StepsOnlySwitch* m_pDiscipline = nullptr;
    std::optional<WindowsTimeVerdict> m_lastVerdict;
    std::atomic<bool> m_bStepsOnly{true};
};
