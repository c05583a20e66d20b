#pragma once
// A log for engine tests: keeps every line given to it (text, result code, delay) in order,
// from whichever thread, and lets a test wait for them.

#include "common/LogSink.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

struct LoggedLine {
    std::string text;
    int resultCode = 0;
    double roundTripSeconds = 0.0;
};

class CRecordingLogSink : public LogSink {
public:
    void write(const std::string& text, int resultCode, double roundTripSeconds) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(LoggedLine{text, resultCode, roundTripSeconds});
        }
        m_written.notify_all();
    }

    // Blocks until count lines have been written.
    void awaitLines(std::size_t count) const {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_written.wait(lock, [&] { return m_lines.size() >= count; });
    }

    std::vector<LoggedLine> lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const LoggedLine& line : lines()) {
            result.push_back(line.text);
        }
        return result;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_written;
    std::vector<LoggedLine> m_lines;
};
