#include "common/ChannelProtocol.h"

#include "common/LogResult.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>

namespace {

// Where a field of the record lies.
struct WireField {
    std::size_t offset;
    std::size_t size;
};

#define HORALUX_WIRE_FIELD(name)                                           \
    WireField {                                                            \
        offsetof(ChannelWireRecord, name), sizeof(ChannelWireRecord::name) \
    }

constexpr WireField kMagicField = HORALUX_WIRE_FIELD(magic);
constexpr WireField kVersionField = HORALUX_WIRE_FIELD(version);
constexpr WireField kKindField = HORALUX_WIRE_FIELD(kind);
constexpr WireField kValueField = HORALUX_WIRE_FIELD(value);
constexpr WireField kReservedField = HORALUX_WIRE_FIELD(reserved);

#undef HORALUX_WIRE_FIELD

constexpr ChannelKind kConsoleRequests[] = {ChannelKind::ConsoleHello, ChannelKind::OptionsUpdated,
                                            ChannelKind::SyncNow, ChannelKind::SyncBreak,
                                            ChannelKind::StatusRequest};
constexpr ChannelKind kServiceNotices[] = {ChannelKind::ServiceHello, ChannelKind::SyncResult};

// The values each status field may take; -1 is "none" where a field may lack a value.
struct StatusRange {
    ChannelKind kind;
    std::int32_t lowest;
    std::int32_t highest;
};

constexpr std::int32_t kMost = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMostPpb = 1000000;  // twice the largest frequency the discipline keeps

constexpr StatusRange kStatusRanges[] = {
    {ChannelKind::StatusMode, 0, 4},
    {ChannelKind::StatusStepsOnly, 0, 1},
    {ChannelKind::StatusSuccessAge, -1, kMost},
    {ChannelKind::StatusFailures, 0, kMost},
    {ChannelKind::StatusBackoffLeft, 0, kMost},
    {ChannelKind::StatusFrequency, -kMostPpb, kMostPpb},
    {ChannelKind::StatusInterval, 0, kMost},
    {ChannelKind::StatusNextRun, -1, kMost},
    {ChannelKind::StatusUptime, 0, kMost},
};

const StatusRange* FindStatusRange(ChannelKind kind) {
    const auto found = std::find_if(std::begin(kStatusRanges), std::end(kStatusRanges),
                                    [kind](const StatusRange& range) { return range.kind == kind; });
    return found == std::end(kStatusRanges) ? nullptr : found;
}

template <typename Range>
bool Contains(const Range& range, ChannelKind kind) {
    return std::find(std::begin(range), std::end(range), kind) != std::end(range);
}

void Put(unsigned char* bytes, WireField field, std::uint32_t value) {
    for (std::size_t i = 0; i < field.size; ++i) {
        bytes[field.offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t Get(const unsigned char* bytes, WireField field) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < field.size; ++i) {
        value |= static_cast<std::uint32_t>(bytes[field.offset + i]) << (8 * i);
    }
    return value;
}

bool IsKnownKind(std::uint32_t kind) {
    const auto known = static_cast<ChannelKind>(kind);
    return Contains(kConsoleRequests, known) || Contains(kServiceNotices, known) || IsStatusAnswer(known);
}

bool ValueFits(ChannelKind kind, std::int32_t value) {
    if (kind == ChannelKind::SyncResult) {
        return IsAnnouncedResult(value);
    }
    if (const StatusRange* range = FindStatusRange(kind)) {
        return value >= range->lowest && value <= range->highest;
    }
    return value == 0;
}

}  // namespace

void EncodeRecord(const ChannelRecord& record, ChannelBytes& bytes) {
    Put(bytes, kMagicField, channel::kMagic);
    Put(bytes, kVersionField, channel::kVersion);
    Put(bytes, kKindField, static_cast<std::uint16_t>(record.kind));
    Put(bytes, kValueField, static_cast<std::uint32_t>(record.value));
    Put(bytes, kReservedField, 0);
}

DecodedRecord DecodeRecord(const unsigned char* data, std::size_t size) {
    DecodedRecord decoded;
    if (size != channel::kRecordSize) {
        decoded.fault = RecordFault::Size;
        return decoded;
    }
    const std::uint32_t kind = Get(data, kKindField);
    decoded.record.kind = static_cast<ChannelKind>(kind);
    decoded.record.value = static_cast<std::int32_t>(Get(data, kValueField));
    if (Get(data, kMagicField) != channel::kMagic) {
        decoded.fault = RecordFault::Magic;
    } else if (Get(data, kVersionField) != channel::kVersion) {
        decoded.fault = RecordFault::Version;
    } else if (!IsKnownKind(kind)) {
        decoded.fault = RecordFault::Kind;
    } else if (!ValueFits(decoded.record.kind, decoded.record.value)) {
        decoded.fault = RecordFault::Value;
    } else if (Get(data, kReservedField) != 0) {
        decoded.fault = RecordFault::Reserved;
    }
    return decoded;
}

bool IsConsoleRequest(ChannelKind kind) {
    return Contains(kConsoleRequests, kind);
}

bool IsServiceNotice(ChannelKind kind) {
    return Contains(kServiceNotices, kind);
}

bool IsStatusAnswer(ChannelKind kind) {
    return FindStatusRange(kind) != nullptr;
}

std::int32_t ClampStatusValue(ChannelKind kind, std::int32_t value) {
    const StatusRange* range = FindStatusRange(kind);
    return range == nullptr ? value : std::clamp(value, range->lowest, range->highest);
}

bool IsAnnouncedResult(std::int32_t code) {
    return code >= LOG_FAILED && code <= LOG_UNWRITTEN;
}
