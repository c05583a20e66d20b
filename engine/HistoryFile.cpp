#include "engine/HistoryFile.h"

#include "engine/HeldLock.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kNoRow = std::numeric_limits<std::int64_t>::max();
// More than the longest row, so the tail read always holds the last line whole.
constexpr std::size_t kTailBytes = 8192;

HistoryRow rowOf(const RunRecord& record) {
    HistoryRow row;
    const SyncOutcome& sample = record.sample;
    row.utc = record.utc.toSystemTime();
    row.strLabel = record.strLabel;
    row.strServer = record.strServer;
    row.action = HistoryActionOf(record.action);
    row.frequencyPpm = record.frequencyPpm;
    row.strReason = RunFailureReason(record);
    if (sample.bSucceeded) {
        row.strAddress = sample.address.toString();
        row.offsetMs = sample.clockOffset * 1000.0;
        row.delayMs = sample.roundTripDelay * 1000.0;
        row.stratum = sample.stratum;
    }
    return row;
}

std::int64_t oldestOf(const std::vector<HistoryRow>& rows) {
    std::int64_t oldest = kNoRow;
    for (const HistoryRow& row : rows) {
        oldest = std::min(oldest, HistoryMilliseconds(row.utc));
    }
    return oldest;
}

std::string textOf(const std::vector<HistoryRow>& rows) {
    std::string text;
    for (const HistoryRow& row : rows) {
        text += FormatHistoryRow(row);
    }
    return text;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

CHistoryFile::CHistoryFile(HistoryStore& store, CrossProcessLock& fileLock, HistoryLimits limits)
    : m_store(store), m_fileLock(fileLock), m_limits(limits) {}

bool CHistoryFile::Append(const RunRecord& record) {
    return AppendRow(rowOf(record));
}

bool CHistoryFile::AppendRow(const HistoryRow& row) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.size() == kMaxPending) {
        m_pending.erase(m_pending.begin());
    }
    m_pending.push_back(row);
    const CHeldLock held(m_fileLock, kLockWait);
    if (!FlushLocked()) {
        m_known.bValid = false;  // a failed write may have left anything
        return false;
    }
    m_pending.clear();
    return true;
}

bool CHistoryFile::FlushLocked() {
    std::uint64_t size = 0;
    std::string tail;
    const FileReadResult result = m_store.ReadTail(kTailBytes, size, tail);
    if (result == FileReadResult::Failed) {
        return false;
    }
    const std::int64_t newestMs = HistoryMilliseconds(m_pending.back().utc);
    const std::size_t rows = m_known.nRows + m_pending.size();
    const std::int64_t oldestMs = std::min(m_known.oldestMs, OldestPendingMs());
    if (FileIsAsLeft(result, size, tail) && !Breaks(rows, oldestMs, newestMs)) {
        return AppendToKnown(textOf(m_pending));
    }
    return RewriteOrAppend(result, newestMs);
}

bool CHistoryFile::FileIsAsLeft(FileReadResult result, std::uint64_t size, const std::string& tail) const {
    return m_known.bValid && result == FileReadResult::Read && size == m_known.size &&
           endsWith(tail, m_known.strLastLine);
}

bool CHistoryFile::AppendToKnown(const std::string& rows) {
    if (m_store.WriteEnd(m_known.size, rows) != FileWriteResult::Written) {
        return false;
    }
    m_known.size += rows.size();
    m_known.strLastLine = FormatHistoryRow(m_pending.back());
    m_known.nRows += m_pending.size();
    m_known.oldestMs = std::min(m_known.oldestMs, OldestPendingMs());
    return true;
}

// A file this writer does not know: read whole, appended to when it is tidy and within bounds
// (a cut last row written over), rewritten otherwise.
bool CHistoryFile::RewriteOrAppend(FileReadResult result, std::int64_t newestMs) {
    std::string bytes;
    if (result == FileReadResult::Read && m_store.ReadAll(bytes) == FileReadResult::Failed) {
        return false;
    }
    HistoryScan scan = ScanHistory(bytes);
    const bool bHeaded = scan.completeEnd > 0;
    const std::size_t rows = scan.rows.size() + m_pending.size();
    const std::int64_t oldestMs = std::min(oldestOf(scan.rows), OldestPendingMs());
    if (!scan.bTidy || !bHeaded || Breaks(rows, oldestMs, newestMs)) {
        return Rewrite(std::move(scan.rows), newestMs);
    }
    m_known = Known{true, scan.completeEnd, std::string(), scan.rows.size(), oldestOf(scan.rows)};
    return AppendToKnown(textOf(m_pending));
}

bool CHistoryFile::Rewrite(std::vector<HistoryRow> rows, std::int64_t newestMs) {
    rows.insert(rows.end(), m_pending.begin(), m_pending.end());
    if (Breaks(rows.size(), oldestOf(rows), newestMs)) {
        const std::int64_t keepFrom = newestMs - (m_limits.nMaxDays - 1) * kMsPerDay;
        rows.erase(std::remove_if(
                       rows.begin(), rows.end(),
                       [keepFrom](const HistoryRow& row) { return HistoryMilliseconds(row.utc) < keepFrom; }),
                   rows.end());
        const std::size_t keep = m_limits.nMaxRows - std::min(m_limits.nTrimRows, m_limits.nMaxRows - 1);
        rows.erase(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(std::min(keep, rows.size())));
    }
    const std::string bytes = std::string(kHistoryHeader) + std::string(kHistoryLineEnd) + textOf(rows);
    if (m_store.Replace(bytes) != FileWriteResult::Written) {
        return false;
    }
    const std::string lastLine = rows.empty() ? std::string() : FormatHistoryRow(rows.back());
    m_known = Known{true, bytes.size(), lastLine, rows.size(), oldestOf(rows)};
    return true;
}

bool CHistoryFile::Breaks(std::size_t rows, std::int64_t oldestMs, std::int64_t newestMs) const {
    return rows > m_limits.nMaxRows ||
           (oldestMs != kNoRow && oldestMs < newestMs - m_limits.nMaxDays * kMsPerDay);
}

std::int64_t CHistoryFile::OldestPendingMs() const {
    return oldestOf(m_pending);
}
