#include "engine/SyncLog.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"
#include "engine/FileStore.h"
#include "engine/HeldLock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace {

// The file is a Windows text file: CR LF after every line, in every build.
constexpr std::string_view kLineEnd = "\r\n";

int delayMilliseconds(double roundTripSeconds) {
    const double ms = std::trunc(roundTripSeconds * 1000.0);
    constexpr double kMax = std::numeric_limits<int>::max();
    constexpr double kMin = std::numeric_limits<int>::min();
    if (std::isnan(ms)) {
        return 0;
    }
    return static_cast<int>(ms > kMax ? kMax : ms < kMin ? kMin : ms);
}

// The line that begins at pos: where its text ends, where the next line begins and whether it
// ends in the file's own CR LF. CR LF, LF and CR alone each end a line (a file from another
// system or editor); a last line without an end counts.
struct LineSpan {
    std::size_t end;
    std::size_t next;
    bool bCrLf;
};

LineSpan lineAt(std::string_view bytes, std::size_t pos) {
    const std::size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
        return {bytes.size(), bytes.size(), false};
    }
    const bool bCrLf = bytes.compare(end, kLineEnd.size(), kLineEnd) == 0;
    return {end, end + (bCrLf ? kLineEnd.size() : 1), bCrLf};
}

// Records where each line of bytes begins. True when every line already has the file's own
// shape: CR LF at its end and at most the longest line kept.
bool scanLines(std::string_view bytes, std::vector<std::size_t>& starts) {
    starts.clear();
    bool bTidy = true;
    for (std::size_t pos = 0; pos < bytes.size();) {
        starts.push_back(pos);
        const LineSpan line = lineAt(bytes, pos);
        bTidy = bTidy && line.bCrLf && line.end - pos <= SyncLog::kMaxLineLength;
        pos = line.next;
    }
    return bTidy;
}

// The lines of region in the file's own shape (a file written or edited by someone else).
std::string tidyLines(std::string_view region) {
    std::string bytes;
    for (std::size_t pos = 0; pos < region.size();) {
        const LineSpan line = lineAt(region, pos);
        bytes.append(region.substr(pos, std::min(line.end - pos, SyncLog::kMaxLineLength)));
        bytes.append(kLineEnd);
        pos = line.next;
    }
    return bytes;
}

std::size_t linesKept(int limit) {
    return limit > 0 ? static_cast<std::size_t>(limit) : 0;
}

}  // namespace

SyncLog::SyncLog(std::string fileName, const LocalClock& clock, ResultNotifier& notifier,
                 CrossProcessLock& fileLock, LimitsSource limits)
    : m_strFileName(std::move(fileName)),
      m_clock(clock),
      m_notifier(notifier),
      m_fileLock(fileLock),
      m_limits(std::move(limits)) {}

void SyncLog::write(const std::string& text, int resultCode, double roundTripSeconds) {
    const LogLimits limits = m_limits();
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool dropped = resultCode == LOG_FAILED && limits.bOnlySuccLog;
    if (!dropped) {
        m_pending.push_back(formatLine(text, resultCode, roundTripSeconds));
    }
    const bool bWritten = flushLocked(limits.nLogFileLen);
    if (bWritten) {
        m_bTroubleAnnounced = false;
    }
    if (resultCode == LOG_NOTICE) {
        return;
    }
    m_notifier.notifyResult(resultCode);
    // With the first line the consoles hear while the file takes no lines, so that a console
    // that came after the trouble began hears of it too; again only after the file took lines.
    if (!bWritten && !m_bTroubleAnnounced) {
        m_bTroubleAnnounced = true;
        m_notifier.notifyResult(LOG_UNWRITTEN);
    }
}

std::string SyncLog::formatLine(const std::string& text, int resultCode, double roundTripSeconds) const {
    const CalendarTime now = m_clock.nowLocal();
    std::string line = FormatText("[ %02d/%02d/%04d %02d:%02d:%02d ] ", now.wMonth, now.wDay, now.wYear,
                                  now.wHour, now.wMinute, now.wSecond);
    // One entry, one line: a line break inside the text (a system message ends in one, a kiss
    // code or a title may carry one) would make the rest a line of its own.
    const std::size_t textStart = line.size();
    line += text;
    std::replace_if(
        line.begin() + static_cast<std::ptrdiff_t>(textStart), line.end(),
        [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (resultCode == LOG_SUCCEEDED) {
        line += FormatText(" Round Trip Delay: %d ms", delayMilliseconds(roundTripSeconds));
    }
    line.resize(std::min(line.size(), kMaxLineLength));
    return line;
}

// Also when nothing new is pending: the file is trimmed to a lowered limit at once.
bool SyncLog::flushLocked(int limit) {
    const std::size_t keep = linesKept(limit);
    while (m_pending.size() > keep) {
        m_pending.pop_front();
    }
    const CHeldLock held(m_fileLock, kLockWait);
    if (ReadFileIfPresent(m_strFileName, m_buffer) == FileReadResult::Failed) {
        return false;  // replacing a file we could not read would lose its lines
    }
    keepNewestFileLines(keep - m_pending.size());
    for (const std::string& line : m_pending) {
        m_buffer += line;
        m_buffer += kLineEnd;
    }
    if (ReplaceFileContents(m_strFileName, m_buffer) != FileWriteResult::Written) {
        return false;
    }
    m_pending.clear();
    return true;
}

// In place, so that a long log is moved within the buffer it was read into.
void SyncLog::keepNewestFileLines(std::size_t count) {
    const bool bTidy = scanLines(m_buffer, m_lineStarts);
    const std::size_t first = m_lineStarts.size() > count ? m_lineStarts.size() - count : 0;
    const std::size_t offset = first < m_lineStarts.size() ? m_lineStarts[first] : m_buffer.size();
    if (bTidy) {
        m_buffer.erase(0, offset);
    } else {
        m_buffer = tidyLines(std::string_view(m_buffer).substr(offset));
    }
}
