#pragma once
// The narrow door through which the time protocol client writes a log line; the service's
// log implements it.

#include <string>

class LogSink {
public:
    virtual ~LogSink() = default;
    // resultCode is one of LogResult; roundTripSeconds is shown for successful lines.
    virtual void write(const std::string& text, int resultCode, double roundTripSeconds) = 0;
};
