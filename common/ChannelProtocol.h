#pragma once
// The channel between HoraluxCons and HoraluxServ that crosses sessions and desktops: a local
// named pipe in message mode, one fixed-size record per message. It carries the requests and
// answers of the window messages (common/WindowMessages.h), and a record's kind is the number of the
// window message it stands for, so both paths end in the same handling.
//
// Record, 16 bytes, every field little-endian:
//
//   offset  size  field     value
//        0     4  magic     0x43584C48 ("HLXC")
//        4     2  version   1
//        6     2  kind      2000 console hello     console -> service
//                           2001 service hello     service -> console (answer to 2000)
//                           2002 options updated   console -> service
//                           2020 synchronise now   console -> service
//                           2021 result            service -> console, value = code 0..4
//                           2022 break             console -> service
//                           2030 status request    console -> service
//                           2031..2039 status      service -> console (answer to 2030, ClockStatus.h)
//        8     4  value     the result code for 2021, a status field for 2031..2039 (in its
//                           range), 0 for every other kind
//       12     4  reserved  0
//
// A message of any other size, or with any field out of these bounds, is a fault: the service
// drops the client that sent it, and the console closes its end. Nothing else travels. The
// status records go only to the client that asked, so a console that never asks never sees one.

#include "common/WindowMessages.h"

#include <cstddef>
#include <cstdint>

namespace channel {

// Local only: the pipe refuses remote clients, and its descriptor admits SYSTEM and
// Administrators fully, interactive users to read and write (but not to make instances of
// their own), network logons not at all.
constexpr const char* kPipeName = "\\\\.\\pipe\\HoraluxClockServiceChannel";
constexpr const char* kPipeSecurity = "D:(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x12018b;;;IU)";

constexpr std::uint32_t kMagic = 0x43584C48;
constexpr std::uint16_t kVersion = 1;
constexpr std::size_t kRecordSize = 16;

// Clients the service serves at once; one more is let in and closed at once.
constexpr std::size_t kMaxClients = 16;
// A client must send its first record this soon after connecting...
constexpr std::uint32_t kGreetingLimitMs = 5000;
// ...and then at least one record in this span, or it is dropped.
constexpr std::uint32_t kIdleLimitMs = 90000;
// A console says hello again after this much silence, well inside the idle limit.
constexpr std::uint32_t kKeepAliveMs = 30000;
// How long a console waits for the answer to its hello before it decides.
constexpr std::uint32_t kHelloWaitMs = 2000;
// Notices waiting for a client that does not read them; one more and the client is dropped.
constexpr std::size_t kMaxQueuedNotices = 32;
// Records a client may send in a second (a person clicks far fewer); one more and it is dropped.
constexpr std::uint32_t kMaxRecordsPerSecond = 20;

}  // namespace channel

enum class ChannelKind : std::uint16_t {
    ConsoleHello = UM_CONSOLE_HELLO,
    ServiceHello = UM_SERVICE_HELLO,
    OptionsUpdated = UM_OPTIONS_UPDATED,
    SyncNow = UM_SYNC_NOW,
    SyncResult = UM_SYNC_RESULT,
    SyncBreak = UM_SYNC_BREAK,
    // The service's state for HoraluxServ -status: no window message stands for these.
    StatusRequest = 2030,
    StatusMode = 2031,
    StatusStepsOnly = 2032,
    StatusSuccessAge = 2033,
    StatusFailures = 2034,
    StatusBackoffLeft = 2035,
    StatusFrequency = 2036,
    StatusInterval = 2037,
    StatusNextRun = 2038,
    StatusUptime = 2039,
};

struct ChannelRecord {
    ChannelKind kind = ChannelKind::ConsoleHello;
    std::int32_t value = 0;
};

// The record's layout on the wire; the codec writes each field at its offset byte by byte.
struct ChannelWireRecord {
    std::uint32_t magic;
    std::uint16_t version;
    std::uint16_t kind;
    std::int32_t value;
    std::uint32_t reserved;
};
static_assert(sizeof(ChannelWireRecord) == channel::kRecordSize, "a record is 16 bytes");
static_assert(offsetof(ChannelWireRecord, magic) == 0 && offsetof(ChannelWireRecord, version) == 4 &&
                  offsetof(ChannelWireRecord, kind) == 6 && offsetof(ChannelWireRecord, value) == 8 &&
                  offsetof(ChannelWireRecord, reserved) == 12,
              "the fields lie at the offsets the header gives");

// Why a message is not a record.
enum class RecordFault { None, Size, Magic, Version, Kind, Value, Reserved };

struct DecodedRecord {
    RecordFault fault = RecordFault::None;
    ChannelRecord record;  // valid only without a fault
};

using ChannelBytes = unsigned char[channel::kRecordSize];

void EncodeRecord(const ChannelRecord& record, ChannelBytes& bytes);
// Checks any bytes at all; data holds size bytes, and a message of any size but kRecordSize is a
// fault of size without its bytes being read.
DecodedRecord DecodeRecord(const unsigned char* data, std::size_t size);

// Which way each kind travels.
bool IsConsoleRequest(ChannelKind kind);
bool IsServiceNotice(ChannelKind kind);
// An answer to a status request (one of ClockStatus's fields).
bool IsStatusAnswer(ChannelKind kind);
// value brought into the range of the status field kind (unchanged for any other kind).
std::int32_t ClampStatusValue(ChannelKind kind, std::int32_t value);
// The result codes a notice carries: 0 to 4 (lines with LOG_NOTICE are never announced).
bool IsAnnouncedResult(std::int32_t code);
