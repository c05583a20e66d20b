#pragma once
// Writes the history of runs (common/HistoryCsv.h): one row per run, appended to the end of the
// file, so that a row costs the same however long the history is. The file keeps the newest
// rows only: none older than nMaxDays, at most nMaxRows. When a row would break either bound,
// the file is rewritten in one step (a temporary file moved over it) with room for
// nTrimRows more rows and a day more, so that trimming comes in batches, not at every row.
//
// Safe against a crash: an append that dies half-way leaves a cut last line, which a reader
// ignores and the next append writes over. Safe against another process: every write holds
// the cross-process lock from looking at the file to the end of the write, and a writer
// trusts what it remembers of the file only when the file still ends as it left it.

#include "common/HistoryCsv.h"
#include "engine/CrossProcessLock.h"
#include "engine/HistoryStore.h"
#include "engine/RunHistory.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

struct HistoryLimits {
    std::size_t nMaxRows = 20000;
    std::size_t nTrimRows = 1000;
    int nMaxDays = 90;
};

class CHistoryFile final : public RunHistory {
public:
    static constexpr std::chrono::milliseconds kLockWait{3000};
    // Rows held in memory while the file takes none; the oldest go first.
    static constexpr std::size_t kMaxPending = 1000;

    // store and fileLock must outlive the history.
    CHistoryFile(HistoryStore& store, CrossProcessLock& fileLock, HistoryLimits limits = HistoryLimits());

    bool Append(const RunRecord& record) override;
    // The row as it is; also the rows held from before.
    bool AppendRow(const HistoryRow& row);

private:
    // What this writer left in the file; trusted while the file still ends that way.
    struct Known {
        bool bValid = false;
        std::uint64_t size = 0;
        std::string strLastLine;
        std::size_t nRows = 0;
        std::int64_t oldestMs = std::numeric_limits<std::int64_t>::max();
    };

    bool FlushLocked();
    bool FileIsAsLeft(FileReadResult result, std::uint64_t size, const std::string& tail) const;
    bool AppendToKnown(const std::string& rows);
    bool RewriteOrAppend(FileReadResult result, std::int64_t newestMs);
    bool Rewrite(std::vector<HistoryRow> rows, std::int64_t newestMs);
    bool Breaks(std::size_t rows, std::int64_t oldestMs, std::int64_t newestMs) const;
    std::int64_t OldestPendingMs() const;

    HistoryStore& m_store;
    CrossProcessLock& m_fileLock;
    const HistoryLimits m_limits;
    std::mutex m_mutex;
    std::vector<HistoryRow> m_pending;
    Known m_known;
};
