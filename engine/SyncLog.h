#pragma once
// The service's log. The file on disk is the one truth: every line is added by reading the
// file as it is now, keeping its newest lines up to the limit, appending the line and
// replacing the file in one step. Another process that writes the same file (a command-line
// instance beside the service) shares a cross-process lock around that read-modify-write,
// so no process overwrites another's lines, and a file cleared from outside simply starts
// anew. Within the process one lock covers each whole write, so lines never interleave.

#include "common/LogSink.h"
#include "engine/CrossProcessLock.h"
#include "engine/LocalClock.h"
#include "engine/LogLimits.h"
#include "engine/ResultNotifier.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class SyncLog : public LogSink {
public:
    // Yields the current limits; it takes whatever lock guards the settings. It is never
    // called with the log's own lock held, so the two locks never nest.
    using LimitsSource = std::function<LogLimits()>;

    // The longest line kept; the rest of a longer line is cut off (the console shows no
    // line beyond this length).
    static constexpr std::size_t kMaxLineLength = 511;

    // How long a write waits for another process's write to end. The lock is held only for
    // one read-modify-write, so a holder that takes longer is stuck: the line is then
    // written without the lock rather than lost.
    static constexpr std::chrono::milliseconds kLockWait{3000};

    // fileName is resolved against the current directory ("zHoraluxServ.log" in the product).
    // clock, notifier, fileLock and the source must outlive the log.
    SyncLog(std::string fileName, const LocalClock& clock, ResultNotifier& notifier,
            CrossProcessLock& fileLock, LimitsSource limits);

    // Adds "[ MM/DD/YYYY hh:mm:ss ] text" (plus " Round Trip Delay: %d ms" for a success) to
    // the file's newest lines, trims the oldest to the limit, replaces the file and, for
    // every code but LOG_NOTICE, tells the notifier. A line that cannot reach the file (it
    // exists but cannot be read or replaced: another program holds it, it is a folder) is
    // held and goes in, in its place, with the next write. The first such line the notifier
    // is told of comes with LOG_UNWRITTEN; the next such notice comes only after the file took
    // lines again.
    void write(const std::string& text, int resultCode, double roundTripSeconds) override;

private:
    std::string formatLine(const std::string& text, int resultCode, double roundTripSeconds) const;
    // Whether the file now holds every line.
    bool flushLocked(int limit);
    void keepNewestFileLines(std::size_t count);

    const std::string m_strFileName;
    const LocalClock& m_clock;
    ResultNotifier& m_notifier;
    CrossProcessLock& m_fileLock;
    const LimitsSource m_limits;

    std::mutex m_mutex;
    std::deque<std::string> m_pending;  // lines not yet in the file, oldest first
    bool m_bTroubleAnnounced = false;   // LOG_UNWRITTEN told since the file last took lines
    // The file as read, then as written, and where its lines begin: kept from write to write
    // so that a long log costs no fresh memory at every line.
    std::string m_buffer;
    std::vector<std::size_t> m_lineStarts;
};
