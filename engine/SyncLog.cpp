#include "engine/SyncLog.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"
#include "engine/FileStore.h"

#include <cmath>
#include <limits>

namespace {

// The file is a Windows text file: CR LF after every line, in every build.
constexpr const char* kLineEnd = "\r\n";

int delayMilliseconds(double roundTripSeconds) {
    const double ms = std::trunc(roundTripSeconds * 1000.0);
    constexpr double kMax = std::numeric_limits<int>::max();
    constexpr double kMin = std::numeric_limits<int>::min();
    if (std::isnan(ms)) {
        return 0;
    }
    return static_cast<int>(ms > kMax ? kMax : ms < kMin ? kMin : ms);
}

// Splits bytes as a text-mode reader does (LF ends a line, the CR before it goes).
std::deque<std::string> splitLines(const std::string& bytes, int limit, std::size_t maxLength) {
    std::deque<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size() && static_cast<int>(lines.size()) < limit) {
        std::size_t end = bytes.find('\n', pos);
        const std::size_t next = end == std::string::npos ? bytes.size() : end + 1;
        end = end == std::string::npos ? bytes.size() : end;
        if (end > pos && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back(bytes.substr(pos, std::min(end - pos, maxLength)));
        pos = next;
    }
    return lines;
}

}  // namespace

SyncLog::SyncLog(std::string fileName, const LocalClock& clock, ResultNotifier& notifier, LimitsSource limits)
    : m_strFileName(std::move(fileName)), m_clock(clock), m_notifier(notifier), m_limits(std::move(limits)) {}

void SyncLog::load() {
    const LogLimits limits = m_limits();
    std::lock_guard<std::mutex> lock(m_mutex);
    loadLocked(limits.nLogFileLen);
}

void SyncLog::loadLocked(int limit) {
    m_bLoaded = true;
    std::string bytes;
    if (ReadFileContents(m_strFileName, bytes)) {
        m_lines = splitLines(bytes, limit, kMaxLoadedLine);
    }
}

void SyncLog::write(const std::string& text, int resultCode, double roundTripSeconds) {
    const LogLimits limits = m_limits();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bLoaded) {
        loadLocked(limits.nLogFileLen);
    }
    const bool dropped = resultCode == LOG_FAILED && limits.bOnlySuccLog;
    if (!dropped) {
        m_lines.push_back(formatLine(text, resultCode, roundTripSeconds));
    }
    while (!m_lines.empty() && static_cast<long long>(m_lines.size()) > limits.nLogFileLen) {
        m_lines.pop_front();
    }
    saveLocked();
    if (resultCode != LOG_NOTICE) {
        m_notifier.notifyResult(resultCode);
    }
}

std::string SyncLog::formatLine(const std::string& text, int resultCode, double roundTripSeconds) const {
    const CalendarTime now = m_clock.nowLocal();
    std::string line = FormatText("[ %02d/%02d/%04d %02d:%02d:%02d ] ", now.wMonth, now.wDay, now.wYear,
                                  now.wHour, now.wMinute, now.wSecond);
    line += text;
    if (resultCode == LOG_SUCCEEDED) {
        line += FormatText(" Round Trip Delay: %d ms", delayMilliseconds(roundTripSeconds));
    }
    return line;
}

void SyncLog::saveLocked() const {
    std::string bytes;
    for (const std::string& line : m_lines) {
        bytes += line;
        bytes += kLineEnd;
    }
    // A file that cannot be written stays as it was; the lines held are the master copy and
    // the next write tries again.
    static_cast<void>(ReplaceFileContents(m_strFileName, bytes));
}
