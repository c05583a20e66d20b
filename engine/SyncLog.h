#pragma once
// The service's log: the most recent lines of the log file, held in memory as the master
// copy and mirrored to the file after every line. Every line the service writes comes
// through write, from the run thread and from the control window's thread alike; one lock
// covers each whole write, so lines never interleave and the file is never half written.

#include "common/LogSink.h"
#include "engine/LocalClock.h"
#include "engine/LogLimits.h"
#include "engine/ResultNotifier.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class SyncLog : public LogSink {
public:
    // Yields the current limits; it takes whatever lock guards the settings. It is never
    // called with the log's own lock held, so the two locks never nest.
    using LimitsSource = std::function<LogLimits()>;

    // The longest line load takes; the rest of a longer line is skipped.
    static constexpr std::size_t kMaxLoadedLine = 511;

    // fileName is resolved against the current directory ("zHoraluxServ.log" in the product).
    // clock, notifier and the source must outlive the log.
    SyncLog(std::string fileName, const LocalClock& clock, ResultNotifier& notifier, LimitsSource limits);

    // Replaces the lines held with the file's first nLogFileLen lines. A missing or unreadable
    // file leaves them as they are.
    void load();

    // Adds "[ MM/DD/YYYY hh:mm:ss ] text" (plus " Round Trip Delay: %d ms" for a success),
    // trims the oldest lines to the limit, rewrites the file and, for every code but
    // LOG_NOTICE, tells the notifier. A write before any load loads the file first, so a
    // process that only adds a line never wipes the lines of others.
    void write(const std::string& text, int resultCode, double roundTripSeconds) override;

private:
    void loadLocked(int limit);
    std::string formatLine(const std::string& text, int resultCode, double roundTripSeconds) const;
    void saveLocked() const;

    const std::string m_strFileName;
    const LocalClock& m_clock;
    ResultNotifier& m_notifier;
    const LimitsSource m_limits;

    std::mutex m_mutex;
    std::deque<std::string> m_lines;  // oldest first, without line ends
    bool m_bLoaded = false;
};
