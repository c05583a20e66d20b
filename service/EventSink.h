#pragma once
// Port to the event log: one event of the service's source, its values as insertion strings of
// the message its identifier names.

#include <cstdint>
#include <string>
#include <vector>

struct EventReport {
    std::uint32_t id = 0;    // the message table's identifier
    std::uint16_t type = 0;  // event_type (ServiceRules.h)
    std::vector<std::string> strings;

    friend bool operator==(const EventReport& a, const EventReport& b) {
        return a.id == b.id && a.type == b.type && a.strings == b.strings;
    }
};

class EventSink {
public:
    virtual ~EventSink() = default;
    // Safe from any thread; a report that cannot be made is dropped.
    virtual void report(const EventReport& event) = 0;
};
