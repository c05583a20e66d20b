#pragma once
// The 48-byte SNTP header: the client request, the fields of a server reply, the checks a
// reply must pass before its time is believed (RFC 4330 section 5), and the delay and offset
// computed from the four time stamps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sntp/NtpTimestamp.h"

constexpr std::size_t kSntpHeaderSize = 48;
// Room for an authenticator or extension fields: a datagram larger than the buffer fails to
// be received on Winsock (WSAEMSGSIZE) instead of being truncated.
constexpr std::size_t kSntpReceiveCapacity = 1024;

// Wire layout. Every member is made of bytes, so the struct has no padding and the offsets
// below are the protocol's.
struct SntpHeader {
    std::uint8_t liVnMode;  // leap indicator (2 bits), version (3 bits), mode (3 bits)
    std::uint8_t stratum;
    std::uint8_t poll;
    std::uint8_t precision;
    std::array<std::uint8_t, 4> rootDelay;
    std::array<std::uint8_t, 4> rootDispersion;
    std::array<std::uint8_t, 4> referenceId;  // the kiss code when stratum is 0
    NtpWire referenceTime;
    NtpWire originateTime;  // T1 echoed by the server
    NtpWire receiveTime;    // T2
    NtpWire transmitTime;   // T3
};
static_assert(sizeof(SntpHeader) == kSntpHeaderSize, "the SNTP header is 48 bytes");
static_assert(offsetof(SntpHeader, stratum) == 1, "stratum offset");
static_assert(offsetof(SntpHeader, referenceId) == 12, "reference identifier offset");
static_assert(offsetof(SntpHeader, referenceTime) == 16, "reference time offset");
static_assert(offsetof(SntpHeader, originateTime) == 24, "originate time offset");
static_assert(offsetof(SntpHeader, receiveTime) == 32, "receive time offset");
static_assert(offsetof(SntpHeader, transmitTime) == 40, "transmit time offset");

using SntpDatagram = std::array<std::uint8_t, kSntpHeaderSize>;

// The result of one exchange.
struct SntpResponse {
    int leapIndicator = 0;
    int version = 0;
    int mode = 0;
    int stratum = 0;
    std::array<std::uint8_t, 4> referenceId{};
    NtpTimestamp originateTime;    // T1
    NtpTimestamp receiveTime;      // T2
    NtpTimestamp transmitTime;     // T3
    NtpTimestamp destinationTime;  // T4, our clock when the reply became readable
    double roundTripDelay = 0.0;   // seconds, never negative
    double clockOffset = 0.0;      // seconds to add to the local clock
};

// Leap indicator 0, version 3, mode 3 (client); everything else zero but the transmit time.
SntpDatagram buildSntpRequest(NtpTimestamp transmitTime);

// The header fields of a reply (a shorter datagram leaves zeros in the missing bytes).
SntpResponse parseSntpReply(const SntpDatagram& datagram);

// What is wrong with a reply; the first failing check in the order of the enumeration.
enum class ReplyCheck {
    Passed,
    TooShort,            // fewer than 48 bytes
    NotServerMode,       // mode is not 4
    UnsupportedVersion,  // version outside 1..4
    OriginMismatch,      // originate time is not, bit for bit, the transmit time we sent
    KissOfDeath,         // stratum 0: the server tells us to go away or slow down
    Unsynchronised,      // leap indicator 3: the server's own clock is not set
    BadStratum,          // stratum above 15
    ZeroTimestamp,       // receive or transmit time zero
    HeldTooLong,         // the server's stamps span more than our whole wait, or run backwards
};
constexpr int kReplyCheckKinds = 9;  // every value but Passed

// Discard: the datagram cannot be the answer to our request (a stray, a duplicate, a late or
// a forged reply); the exchange ignores it and keeps waiting until its deadline.
// Reject: it is the server's answer to our request, and unusable; the exchange ends.
enum class ReplyDisposition { Accept, Discard, Reject };

// arrived is our clock when the reply became readable (T4).
ReplyCheck checkSntpReply(std::size_t length, const SntpResponse& reply, NtpTimestamp sentTransmitTime,
                          NtpTimestamp arrived);
ReplyDisposition dispositionOf(ReplyCheck check);
const char* replyCheckName(ReplyCheck check);

// The kiss code as text (four ASCII letters, such as "RATE").
std::string kissCode(const SntpResponse& reply);
// "RATE", "DENY" and "RSTR" ask the client to leave this server alone.
bool isRefusalKiss(const SntpResponse& reply);

// Delay (T4 - T1) - (T3 - T2) and offset ((T2 - T1) + (T3 - T4)) / 2 from the four stamps.
void computeDelayAndOffset(SntpResponse& reply);
