#include "common/StatusReport.h"

#include <algorithm>
#include <iterator>

namespace {

struct StatusField {
    ChannelKind kind;
    std::int32_t StatusReport::*member;
};

constexpr StatusField kFields[] = {
    {ChannelKind::StatusMode, &StatusReport::mode},
    {ChannelKind::StatusStepsOnly, &StatusReport::stepsOnly},
    {ChannelKind::StatusSuccessAge, &StatusReport::successAge},
    {ChannelKind::StatusFailures, &StatusReport::failures},
    {ChannelKind::StatusBackoffLeft, &StatusReport::backoffLeft},
    {ChannelKind::StatusFrequency, &StatusReport::frequencyPpb},
    {ChannelKind::StatusInterval, &StatusReport::interval},
    {ChannelKind::StatusNextRun, &StatusReport::nextRun},
    {ChannelKind::StatusUptime, &StatusReport::uptime},
};
constexpr std::uint32_t kAllSeen = (1u << std::size(kFields)) - 1;

}  // namespace

bool operator==(const StatusReport& a, const StatusReport& b) {
    return std::all_of(std::begin(kFields), std::end(kFields),
                       [&](const StatusField& field) { return a.*field.member == b.*field.member; });
}

std::vector<ChannelRecord> StatusRecords(const StatusReport& report) {
    std::vector<ChannelRecord> records;
    for (const StatusField& field : kFields) {
        records.push_back(ChannelRecord{field.kind, ClampStatusValue(field.kind, report.*field.member)});
    }
    return records;
}

bool CStatusCollector::Take(const ChannelRecord& record) {
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

bool CStatusCollector::IsComplete() const {
    return m_nSeen == kAllSeen;
}
