#include "sntp/SntpPacket.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr std::uint8_t kClientRequestByte = 0x1B;  // leap indicator 0, version 3, mode 3
constexpr int kModeServer = 4;
constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 4;
constexpr int kLeapAlarm = 3;
constexpr int kStratumKiss = 0;
constexpr int kMaxStratum = 15;

struct CheckInput {
    std::size_t length;
    const SntpResponse& reply;
    NtpTimestamp sent;
    NtpTimestamp arrived;
};

// Slack for the rounding of the stamps and for two clocks that tick at slightly different rates.
constexpr double kHoldSlackSeconds = 0.1;

// The server got the request after we sent it and answered before we received the answer, so
// its T3 - T2 lies within our T4 - T1. Otherwise the offset, which trusts both stamps, would
// set the clock to neither of them (a transmit time years after the receive time moved it by
// half of that).
bool heldWithinOurWait(const CheckInput& in) {
    const double held = NtpTimestamp::secondsSince(in.reply.transmitTime, in.reply.receiveTime);
    const double waited = NtpTimestamp::secondsSince(in.arrived, in.sent);
    return held >= -kHoldSlackSeconds && held <= waited + kHoldSlackSeconds;
}

struct CheckRule {
    ReplyCheck kind;
    ReplyDisposition disposition;
    const char* name;
    bool (*passes)(const CheckInput& in);
};

// Applied in this order. The origin test comes before every test of the content, so a forged
// datagram can neither set the clock nor, as a kiss, bench the server. The kiss comes before
// the leap indicator because a kiss-o'-death carries leap indicator 3.
constexpr CheckRule kRules[] = {
    // A reply shorter than the header has no complete time stamps.
    {ReplyCheck::TooShort, ReplyDisposition::Discard, "shorter than 48 bytes",
     [](const CheckInput& in) { return in.length >= kSntpHeaderSize; }},
    // Only a server answers a client; a broadcast or a reflected request is not an answer.
    {ReplyCheck::NotServerMode, ReplyDisposition::Discard, "not in server mode",
     [](const CheckInput& in) { return in.reply.mode == kModeServer; }},
    // Version 0 and 5 to 7 are not a format we can read.
    {ReplyCheck::UnsupportedVersion, ReplyDisposition::Discard, "unsupported version",
     [](const CheckInput& in) { return in.reply.version >= kMinVersion && in.reply.version <= kMaxVersion; }},
    // Our request's transmit time echoed exactly: the reply answers this request and no other.
    {ReplyCheck::OriginMismatch, ReplyDisposition::Discard, "originate time does not match the request",
     [](const CheckInput& in) { return in.reply.originateTime == in.sent; }},
    // Stratum 0 is a kiss-o'-death: no time, only a code.
    {ReplyCheck::KissOfDeath, ReplyDisposition::Reject, "kiss-o'-death",
     [](const CheckInput& in) { return in.reply.stratum != kStratumKiss; }},
    // Leap indicator 3: the server's clock is not synchronised.
    {ReplyCheck::Unsynchronised, ReplyDisposition::Reject, "server clock not synchronised",
     [](const CheckInput& in) { return in.reply.leapIndicator != kLeapAlarm; }},
    // Stratum 16 and above mean unsynchronised or reserved.
    {ReplyCheck::BadStratum, ReplyDisposition::Reject, "stratum above 15",
     [](const CheckInput& in) { return in.reply.stratum <= kMaxStratum; }},
    // A zero stamp means "unset": the server did not say when it answered (transmit time) or
    // when it got the request (receive time, which would otherwise read as February 2036).
    {ReplyCheck::ZeroTimestamp, ReplyDisposition::Reject, "receive or transmit time is zero",
     [](const CheckInput& in) { return !in.reply.transmitTime.isZero() && !in.reply.receiveTime.isZero(); }},
    {ReplyCheck::HeldTooLong, ReplyDisposition::Reject, "server times do not fit the round trip",
     heldWithinOurWait},
};
static_assert(std::size(kRules) == kReplyCheckKinds, "one rule per kind of bad reply");

const CheckRule* ruleOf(ReplyCheck check) {
    const auto it = std::find_if(std::begin(kRules), std::end(kRules),
                                 [check](const CheckRule& rule) { return rule.kind == check; });
    return it == std::end(kRules) ? nullptr : it;
}

// The three codes after which a server must not be asked again soon.
constexpr const char* kRefusalKisses[] = {"RATE", "DENY", "RSTR"};

}  // namespace

SntpDatagram buildSntpRequest(NtpTimestamp transmitTime) {
    SntpHeader header{};
    header.liVnMode = kClientRequestByte;
    header.transmitTime = transmitTime.toNetwork();
    SntpDatagram datagram{};
    std::memcpy(datagram.data(), &header, sizeof header);
    return datagram;
}

SntpResponse parseSntpReply(const SntpDatagram& datagram) {
    SntpHeader header{};
    std::memcpy(&header, datagram.data(), sizeof header);
    SntpResponse reply;
    reply.leapIndicator = header.liVnMode >> 6;
    reply.version = (header.liVnMode >> 3) & 0x07;
    reply.mode = header.liVnMode & 0x07;
    reply.stratum = header.stratum;
    reply.referenceId = header.referenceId;
    reply.originateTime = NtpTimestamp::fromNetwork(header.originateTime.data());
    reply.receiveTime = NtpTimestamp::fromNetwork(header.receiveTime.data());
    reply.transmitTime = NtpTimestamp::fromNetwork(header.transmitTime.data());
    return reply;
}

ReplyCheck checkSntpReply(std::size_t length, const SntpResponse& reply, NtpTimestamp sentTransmitTime,
                          NtpTimestamp arrived) {
    const CheckInput in{length, reply, sentTransmitTime, arrived};
    const auto failed = std::find_if(std::begin(kRules), std::end(kRules),
                                     [&in](const CheckRule& rule) { return !rule.passes(in); });
    return failed == std::end(kRules) ? ReplyCheck::Passed : failed->kind;
}

ReplyDisposition dispositionOf(ReplyCheck check) {
    const CheckRule* rule = ruleOf(check);
    return rule ? rule->disposition : ReplyDisposition::Accept;
}

const char* replyCheckName(ReplyCheck check) {
    const CheckRule* rule = ruleOf(check);
    return rule ? rule->name : "valid";
}

std::string kissCode(const SntpResponse& reply) {
    return std::string(reply.referenceId.begin(), reply.referenceId.end());
}

bool isRefusalKiss(const SntpResponse& reply) {
    const std::string code = kissCode(reply);
    return std::any_of(std::begin(kRefusalKisses), std::end(kRefusalKisses),
                       [&code](const char* refusal) { return code == refusal; });
}

void computeDelayAndOffset(SntpResponse& reply) {
    const double elapsed = NtpTimestamp::secondsSince(reply.destinationTime, reply.originateTime);  // T4 - T1
    const double held = NtpTimestamp::secondsSince(reply.transmitTime, reply.receiveTime);          // T3 - T2
    // Negative only when a clock stepped during the exchange or from rounding; the log shows 0.
    reply.roundTripDelay = std::max(0.0, elapsed - held);
    reply.clockOffset = (NtpTimestamp::secondsSince(reply.receiveTime, reply.originateTime) +
                         NtpTimestamp::secondsSince(reply.transmitTime, reply.destinationTime)) *
                        0.5;
}
