#pragma once
// What the service tells HoraluxServ -status about itself, as the channel carries it: one
// status record a field (ChannelProtocol.h), in this order, sent only to the client that asked.
// Times are whole seconds counted from the service's last tick (at most a second before it
// answers), so that neither side's calendar or time zone enters the record.

#include "common/ChannelProtocol.h"

#include <cstdint>
#include <vector>

struct ClockStatus {
    std::int32_t mode = 0;          // the settings' nSynPeriod
    std::int32_t stepsOnly = 0;     // 1: kept to steps, the Windows Time service drives the rate
    std::int32_t successAge = -1;   // since the last success; -1: none known
    std::int32_t failures = 0;      // failed runs since the last success
    std::int32_t backoffLeft = 0;   // until scheduled runs may start again; 0: no wait
    std::int32_t frequencyPpb = 0;  // the learned frequency error, parts per billion
    std::int32_t interval = 0;      // between scheduled runs now; 0: none runs by itself
    std::int32_t nextRun = -1;      // until the next scheduled run; -1: none planned
    std::int32_t uptime = 0;        // since the service started

    friend bool operator==(const ClockStatus& a, const ClockStatus& b);
};

// The records of report, in their order; each value is clamped to its field's range.
std::vector<ChannelRecord> ClockStatusRecords(const ClockStatus& report);

// Collects an answer's records; a record of another kind, or the same field twice, spoils it.
class CClockStatusCollector {
public:
    // False when record does not belong to the answer (the caller stops reading).
    bool Take(const ChannelRecord& record);
    bool IsComplete() const;
    const ClockStatus& Report() const { return m_report; }

private:
    ClockStatus m_report;
    std::uint32_t m_nSeen = 0;  // one bit a field
};
