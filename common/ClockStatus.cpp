#include "common/ClockStatus.h"

#include <algorithm>
#include <iterator>

namespace {

struct StatusField {
    ChannelKind kind;
    std::int32_t ClockStatus::*member;
};

constexpr StatusField kFields[] = {
    {ChannelKind::StatusMode, &ClockStatus::mode},
    {ChannelKind::StatusStepsOnly, &ClockStatus::stepsOnly},
    {ChannelKind::StatusSuccessAge, &ClockStatus::successAge},
    {ChannelKind::StatusFailures, &ClockStatus::failures},
    {ChannelKind::StatusBackoffLeft, &ClockStatus::backoffLeft},
    {ChannelKind::StatusFrequency, &ClockStatus::frequencyPpb},
    {ChannelKind::StatusInterval, &ClockStatus::interval},
    {ChannelKind::StatusNextRun, &ClockStatus::nextRun},
    {ChannelKind::StatusUptime, &ClockStatus::uptime},
};
constexpr std::uint32_t kAllSeen = (1u << std::size(kFields)) - 1;

}  // namespace

bool operator==(const ClockStatus& a, const ClockStatus& b) {
    return std::all_of(std::begin(kFields), std::end(kFields),
                       [&](const StatusField& field) { return a.*field.member == b.*field.member; });
}

std::vector<ChannelRecord> ClockStatusRecords(const ClockStatus& report) {
    std::vector<ChannelRecord> records;
    for (const StatusField& field : kFields) {
        records.push_back(ChannelRecord{field.kind, ClampStatusValue(field.kind, report.*field.member)});
    }
    return records;
}

bool CClockStatusCollector::Take(const ChannelRecord& record) {
    const auto field =
        std::find_if(std::begin(kFields), std::end(kFields),
                     [&](const StatusField& candidate) { return candidate.kind == record.kind; });
    if (field == std::end(kFields)) {
        return false;
    }
    const std::uint32_t bit = 1u << (field - std::begin(kFields));
    if ((m_nSeen & bit) != 0) {
        return false;
    }
    m_nSeen |= bit;
    m_report.*(field->member) = record.value;
    return true;
}

bool CClockStatusCollector::IsComplete() const {
    return m_nSeen == kAllSeen;
}
