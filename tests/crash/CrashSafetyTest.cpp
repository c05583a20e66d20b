// The log, the record and the history survive their writer's death: horalux_crash_writer is
// killed with SIGKILL at random moments among its writes, and after each kill each file must be
// exactly one of the versions the writer produces (never a cut or mixed one), no newer version
// may have been lost since the last look, and what a killed write leaves behind (its temporary
// file) must not grow. The history is appended to, so a cut can leave a last row without its
// line end: after some kills the driver makes one (as a power cut half-way through an append
// would), which a reader must not see and the next append must write over. HORALUX_CRASH_KILLS sets the
// number of kills (default 50; the full figure is HORALUX_CRASH_KILLS=1000
// build/host/tests/crash/horalux_crash_tests), and HORALUX_CRASH_SEED the random moments.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/HistoryCsv.h"
#include "tools/kit/TempDir.h"

namespace {

constexpr long kLimit = 100;  // lines the log keeps, as by default
constexpr const char* kLog = "zHoraluxServ.log";
constexpr const char* kRecord = "zHoraluxServ.bin";
constexpr const char* kHistory = "zHoraluxHistory.csv";
constexpr std::size_t kHistoryRows = 16;  // as the writer keeps
constexpr std::uintmax_t kLargestHistory = 64 * 1024;

long EnvNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

// The log after the writer's line n: its last kLimit lines "Line 1" ... "Line n".
std::string LogAfter(long n) {
    std::string bytes;
    for (long i = std::max(1L, n - kLimit + 1); i <= n; ++i) {
        bytes += "[ 03/03/2005 14:07:09 ] Line " + std::to_string(i) + "\r\n";
    }
    return bytes;
}

// The record after store n: status 0, then the date n, little-endian.
std::string RecordAfter(long n) {
    std::string bytes(12, '\0');
    const double days = static_cast<double>(n);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &days, sizeof days);
    for (int i = 0; i < 8; ++i) {
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Which version the log is: n when it is exactly LogAfter(n), -1 when it is none.
long LogVersion(const std::string& bytes) {
    if (bytes.empty()) {
        return 0;
    }
    const std::size_t start = bytes.rfind("Line ", bytes.size());
    const long n = start == std::string::npos ? -1 : std::strtol(bytes.c_str() + start + 5, nullptr, 10);
    return n > 0 && bytes == LogAfter(n) ? n : -1;
}

long RecordVersion(const std::string& bytes) {
    if (bytes.size() != 12) {
        return -1;
    }
    double days = 0.0;
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[4 + static_cast<std::size_t>(i)]);
    }
    std::memcpy(&days, &bits, sizeof days);
    const long n = static_cast<long>(days);
    return n > 0 && bytes == RecordAfter(n) ? n : -1;
}

// The writer, started with its output on a pipe; killed with SIGKILL and reaped on every path.
class Writer {
public:
    Writer(const std::string& folder, long first) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string firstText = std::to_string(first);
        const std::string limitText = std::to_string(kLimit);
        char* argv[] = {const_cast<char*>(HORALUX_CRASH_WRITER), const_cast<char*>(folder.c_str()),
                        const_cast<char*>(firstText.c_str()), const_cast<char*>(limitText.c_str()), nullptr};
        if (posix_spawn(&m_pid, HORALUX_CRASH_WRITER, &actions, nullptr, argv, environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_fd = fds[0];
    }
    ~Writer() {
        kill();
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // True when the writer said "ready" within ten seconds.
    bool awaitReady() {
        pollfd wait{m_fd, POLLIN, 0};
        char text[6] = {};
        return m_pid > 0 && ::poll(&wait, 1, 10000) == 1 && ::read(m_fd, text, 5) == 5 &&
               std::string(text) == "ready";
    }

    void kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
};

// The history's row numbers, oldest first; empty when the file is damaged (a complete line that
// is no row, no header, rows out of order or beyond the bound).
std::vector<long> HistoryRows(const std::string& bytes, bool& bDamaged) {
    const HistoryScan scan = ScanHistory(bytes);
    std::vector<long> numbers;
    for (const HistoryRow& row : scan.rows) {
        numbers.push_back(std::stol(row.strLabel.substr(4)));
    }
    bDamaged = !bytes.empty() && (!scan.bTidy || scan.completeEnd == 0 || numbers.size() > kHistoryRows ||
                                  !std::is_sorted(numbers.begin(), numbers.end()));
    return numbers;
}

// What a power cut half-way through the next append leaves.
void CutARowOnto(const std::filesystem::path& path, long n) {
    HistoryRow row;
    row.utc = CalendarTime{2025, 6, 0, 1, 12, 0, 0, 0};
    row.strLabel = "Row " + std::to_string(n);
    const std::string line = FormatHistoryRow(row);
    std::ofstream(path, std::ios::binary | std::ios::app) << line.substr(0, line.size() / 2);
}

struct Tally {
    long kills = 0;
    long torn = 0;
    long lostVersions = 0;
    long killedInsideAWrite = 0;  // a temporary file was left: the kill fell between create and move
    long killedWithoutProgress = 0;
    long historyCut = 0;  // rows the driver cut
};

}  // namespace

TEST(CrashSafety, KilledWritersLeaveTheOldOrTheNewFileNeverACutOne) {
    const long kills = EnvNumber("HORALUX_CRASH_KILLS", 50);
    const auto seed = static_cast<std::uint32_t>(EnvNumber("HORALUX_CRASH_SEED", std::random_device{}()));
    const auto window = std::chrono::microseconds(EnvNumber("HORALUX_CRASH_WINDOW_US", 20000));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> moment(0, window.count());
    CTempDir dir;
    const std::filesystem::path folder = dir.path();
    const std::set<std::string> allowed = {kLog,     std::string(kLog) + ".tmp",
                                           kRecord,  std::string(kRecord) + ".tmp",
                                           kHistory, std::string(kHistory) + ".tmp"};

    Tally tally;
    long logSeen = 0;
    long recordSeen = 0;
    std::vector<long> historySeen;
    for (long i = 0; i < kills; ++i) {
        {
            Writer writer(folder.string(), logSeen + 1);
            ASSERT_TRUE(writer.awaitReady()) << "kill " << i;
            std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
            writer.kill();
        }
        ++tally.kills;
        const long log = LogVersion(ReadAll(folder / kLog));
        const long record =
            std::filesystem::exists(folder / kRecord) ? RecordVersion(ReadAll(folder / kRecord)) : 0;
        tally.torn += (log < 0) + (record < 0);
        EXPECT_GE(log, 0) << "torn log after kill " << i << " (seed " << seed << ")";
        EXPECT_GE(record, 0) << "torn record after kill " << i << " (seed " << seed << ")";
        // Record n is stored after line n (a writer killed between them leaves it behind, and
        // the next one goes on from the log), and nothing finished is undone.
        EXPECT_LE(record, log);
        tally.lostVersions += (log < logSeen) + (record < recordSeen);
        EXPECT_GE(log, logSeen);
        EXPECT_GE(record, recordSeen);
        tally.killedWithoutProgress += log == logSeen;
        bool bDamaged = false;
        const std::vector<long> history = HistoryRows(ReadAll(folder / kHistory), bDamaged);
        EXPECT_FALSE(bDamaged) << "damaged history after kill " << i << " (seed " << seed << ")";
        // Row n is appended after line n; every row seen before is still there unless trimmed.
        EXPECT_TRUE(history.empty() || history.back() <= log);
        for (const long n : historySeen) {
            EXPECT_TRUE(history.empty() || n < history.front() ||
                        std::binary_search(history.begin(), history.end(), n))
                << "row " << n << " lost after kill " << i;
        }
        historySeen = history;
        if (!history.empty() && i % 3 == 0) {
            CutARowOnto(folder / kHistory, log + 1);
            ++tally.historyCut;
            EXPECT_EQ(HistoryRows(ReadAll(folder / kHistory), bDamaged), history) << "a cut row is read";
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(allowed.count(name)) << "stray file " << name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
                ++tally.killedInsideAWrite;
                const std::uintmax_t largest = name == std::string(kRecord) + ".tmp" ? 12
                                               : name == std::string(kHistory) + ".tmp"
                                                   ? kLargestHistory
                                                   : LogAfter(log + 1).size();
                EXPECT_LE(entry.file_size(), largest) << name << " grows";
            }
        }
        if (HasFailure()) {
            break;
        }
        logSeen = std::max(log, logSeen);
        recordSeen = std::max(record, recordSeen);
    }
    std::printf(
        "%ld kills (seed %u, moments 0..%ld us after start): %ld torn files, %ld versions lost; "
        "%ld lines written; %ld kills left a temporary file (killed inside a write), %ld came "
        "before the first write finished; %ld history rows cut\n",
        tally.kills, seed, static_cast<long>(window.count()), tally.torn, tally.lostVersions, logSeen,
        tally.killedInsideAWrite, tally.killedWithoutProgress, tally.historyCut);
}
