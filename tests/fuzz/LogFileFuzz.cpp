// The log file as the service and the console read it: whatever a file holds (written by an
// older build, edited by hand, cut short), the service's next line keeps the file's newest
// lines in the file's own shape, adds exactly one line and stays within the limit, and the
// console then shows every line as written.
//
// Input: the limit (a signed byte), flags (bit 0: only successes are kept; bits 1-3: the result
// code), the length of the new line's text, that text, then the file's present content.

#include "common/LogResult.h"
#include "console/LogDisplay.h"
#include "engine/FileStore.h"
#include "engine/SyncLog.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FakeLocalClock.h"
#include "tests/support/InProcessLock.h"
#include "tests/support/RecordingNotifier.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr std::size_t kPrefixSize = 3;
constexpr int kCodes[] = {LOG_NOTICE, LOG_FAILED, LOG_SUCCEEDED, LOG_BROKEN, LOG_RELOADED, 7, -2, 4};
constexpr const char* kStamp = "[ 03/03/2005 14:07:09 ] ";

// The lines of a file as a reader takes them (LF ends a line, a last line without one counts),
// each without its CR and cut to the longest line kept.
std::vector<std::string> TidyLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t lf = std::min(bytes.find('\n', pos), bytes.size());
        std::string line = bytes.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        line.resize(std::min(line.size(), SyncLog::kMaxLineLength));
        lines.push_back(line);
        pos = lf + 1;
    }
    return lines;
}

// The file split at CR LF; every line must end so.
std::vector<std::string> FileLines(const std::string& bytes) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t end = bytes.find("\r\n", pos);
        FUZZ_CHECK(end != std::string::npos);
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

// What a text-mode read gives the console: CR LF becomes LF.
std::string TextMode(const std::string& bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            text += bytes[i];
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefixSize) {
        return 0;
    }
    LogLimits limits;
    limits.nLogFileLen = static_cast<std::int8_t>(data[0]);
    limits.bOnlySuccLog = (data[1] & 1) != 0;
    const int code = kCodes[(data[1] >> 1) & 7];
    const std::size_t textLength = std::min<std::size_t>(data[2], size - kPrefixSize);
    const std::string text = FuzzText(data + kPrefixSize, textLength);
    const std::string before = FuzzText(data + kPrefixSize + textLength, size - kPrefixSize - textLength);

    const std::string path = FuzzScratchFolder() + "/zHoraluxServ.log";
    FuzzWriteFile(path, before);
    CFakeLocalClock clock;
    CRecordingNotifier notifier;
    CInProcessLock lock;
    SyncLog log(path, clock, notifier, lock, [&limits] { return limits; });
    log.write(text, code, 0.0483);

    std::string after;
    FUZZ_CHECK(ReadFileContents(path, after));
    FUZZ_CHECK(!std::filesystem::exists(path + ".tmp"));
    const std::vector<std::string> lines = FileLines(after);
    const std::size_t limit = static_cast<std::size_t>(std::max(limits.nLogFileLen, 0));
    FUZZ_CHECK(lines.size() <= limit);
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.size() <= SyncLog::kMaxLineLength);
    }

    // The newest old lines, then the new one (unless it is left out or nothing is kept).
    const bool bAdded = limit > 0 && !(code == LOG_FAILED && limits.bOnlySuccLog);
    const std::vector<std::string> old = TidyLines(before);
    const std::size_t kept = std::min(old.size(), bAdded ? limit - 1 : limit);
    std::vector<std::string> expected(old.end() - static_cast<std::ptrdiff_t>(kept), old.end());
    if (bAdded) {
        std::string line = kStamp + text + (code == LOG_SUCCEEDED ? " Round Trip Delay: 48 ms" : "");
        std::replace(line.begin(), line.end(), '\r', ' ');  // a line break in the text stays in its line
        std::replace(line.begin(), line.end(), '\n', ' ');
        line.resize(std::min(line.size(), SyncLog::kMaxLineLength));
        expected.push_back(line);
    }
    FUZZ_CHECK(lines == expected);
    FUZZ_CHECK(notifier.codes().size() == (code == LOG_NOTICE ? 0u : 1u));

    // The console shows exactly what the service wrote.
    FUZZ_CHECK(LogDisplayText(TextMode(after)) == after);
    return 0;
}

// The unit tests' files: the service's own lines, a longer file with LF-only lines, a line
// over 511 characters, empty lines and a last line without its end.
std::vector<std::string> FuzzSeeds() {
    const auto input = [](int limit, int flags, const std::string& text, const std::string& file) {
        return std::string(1, static_cast<char>(limit)) + static_cast<char>(flags) +
               static_cast<char>(text.size()) + text + file;
    };
    return {
        input(100, 0, "Options are updated.", "[ 03/03/2005 14:07:09 ] Options are updated.\r\n"),
        input(3, 0, "e", "a\r\nb\nc\r\nd\r\n"),
        input(100, 2 << 1, "Manualy. Successful. Server: USA. NIST.",
              std::string(600, 'x') + "\r\n" + std::string(511, 'y') + "\r\n\r\nafter\r\nlast without end"),
        input(2, 1 | (1 << 1), "Failed. Server: B", "[ 01/01/2005 00:00:00 ] earlier\r\n"),
        input(0, 0, "gone", "a\r\nb\r\n"),
        input(100, 0, "Synchronization is broken by the user.", ""),
    };
}
