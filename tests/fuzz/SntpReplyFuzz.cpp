// A time server's reply as the exchange takes it: the header read from whatever datagram
// arrived, the checks, and for an accepted reply the delay, the offset, the year test and the
// time a step would set the clock to (the whole millisecond after T4 + offset).
//
// Input: our transmit time T1 (8 bytes, wire form), the arrival time T4 (8 bytes), one byte of
// flags (bit 0: the datagram echoes T1 as its originate time, which gets the fuzzer past the
// origin check), then the datagram as received.

#include "engine/ClockStep.h"
#include "sntp/ServerSample.h"
#include "sntp/SntpPacket.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t kPrefixSize = 17;
constexpr std::uint8_t kEchoOrigin = 0x01;
constexpr std::size_t kOriginOffset = 24;
// Our own wait from T1 to T4 ends with the exchange's time-out; only a clock stepped under the
// exchange makes it longer, and by decades (the fuzzer's T4 is free) the differences leave the
// 68-year window that NTP's arithmetic serves. Beyond this the accepted reply is not followed.
constexpr double kLongestWaitSeconds = 3600.0;

bool IsCalendarRecord(const CalendarTime& t) {
    return t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 && t.wDay <= 31 && t.wHour < 24 && t.wMinute < 60 &&
           t.wSecond < 60 && t.wMilliseconds < 1000 && t.wDayOfWeek < 7;
}

// What an accepted reply promises: a delay that is a duration, an offset that is a number, and
// a clock set to the server's transmit time plus at most the time we waited (give or take the
// clocks' granularity). The new time is T4 + offset, which is T3 + delay / 2.
void CheckAccepted(SntpResponse reply, NtpTimestamp sent, NtpTimestamp arrived) {
    reply.destinationTime = arrived;
    computeDelayAndOffset(reply);
    FUZZ_CHECK(std::isfinite(reply.roundTripDelay) && reply.roundTripDelay >= 0.0);
    FUZZ_CHECK(std::isfinite(reply.clockOffset));
    const double waited = NtpTimestamp::secondsSince(arrived, sent);
    const double serverToNew =
        NtpTimestamp::secondsSince(arrived.plusSeconds(reply.clockOffset), reply.transmitTime);
    FUZZ_CHECK(serverToNew >= -0.1 && serverToNew <= std::max(waited, 0.0) + 0.1);

    const CalendarTime received = reply.receiveTime.toSystemTime();
    FUZZ_CHECK(IsCalendarRecord(received));
    FUZZ_CHECK(isPlausibleServerTime(reply.receiveTime) ==
               (received.wYear >= 2004 && received.wYear <= 2104));

    // The step a discipline would make at T4: a calendar record, and no more than a millisecond on.
    const NtpTimestamp target = arrived.plusSeconds(reply.clockOffset);
    const NtpTimestamp landing = NextWholeMillisecond(target);
    FUZZ_CHECK(IsCalendarRecord(landing.toSystemTime()));
    const double wait = NtpTimestamp::secondsSince(landing, target);
    FUZZ_CHECK(wait >= 0.0 && wait <= 0.001 + 1e-9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefixSize) {
        return 0;
    }
    const NtpTimestamp sent = NtpTimestamp::fromNetwork(data);
    const NtpTimestamp arrived = NtpTimestamp::fromNetwork(data + 8);
    const bool bEchoOrigin = (data[16] & kEchoOrigin) != 0;

    // As the exchange receives it: a zero-filled buffer, of which the header is read.
    std::array<std::uint8_t, kSntpReceiveCapacity> buffer{};
    const std::size_t length = std::min(size - kPrefixSize, buffer.size());
    std::memcpy(buffer.data(), data + kPrefixSize, length);
    if (bEchoOrigin) {
        const NtpWire wire = sent.toNetwork();
        std::memcpy(buffer.data() + kOriginOffset, wire.data(), wire.size());
    }
    SntpDatagram header{};
    std::memcpy(header.data(), buffer.data(), header.size());
    const SntpResponse reply = parseSntpReply(header);
    const ReplyCheck check = checkSntpReply(length, reply, sent, arrived);

    FUZZ_CHECK(replyCheckName(check) != nullptr);
    FUZZ_CHECK(kissCode(reply).size() == 4);
    FUZZ_CHECK(check != ReplyCheck::KissOfDeath || reply.stratum == 0);
    FUZZ_CHECK(!isRefusalKiss(reply) || kissCode(reply) == "RATE" || kissCode(reply) == "DENY" ||
               kissCode(reply) == "RSTR");
    if (dispositionOf(check) != ReplyDisposition::Accept) {
        FUZZ_CHECK(check != ReplyCheck::Passed);
        return 0;
    }
    // Passed: everything the checks promise holds.
    FUZZ_CHECK(length >= kSntpHeaderSize && reply.mode == 4 && reply.version >= 1 && reply.version <= 4);
    FUZZ_CHECK(reply.originateTime == sent && reply.stratum >= 1 && reply.stratum <= 15);
    FUZZ_CHECK(reply.leapIndicator != 3 && !reply.receiveTime.isZero() && !reply.transmitTime.isZero());
    if (std::fabs(NtpTimestamp::secondsSince(arrived, sent)) < kLongestWaitSeconds) {
        CheckAccepted(reply, sent, arrived);
    }
    return 0;
}

namespace {

std::string Input(NtpTimestamp sent, NtpTimestamp arrived, bool bEchoOrigin, const SntpDatagram& datagram,
                  std::size_t length = kSntpHeaderSize) {
    std::string input;
    for (const NtpTimestamp t : {sent, arrived}) {
        const NtpWire wire = t.toNetwork();
        input.append(wire.begin(), wire.end());
    }
    input += static_cast<char>(bEchoOrigin ? kEchoOrigin : 0);
    input.append(datagram.begin(),
                 datagram.begin() + static_cast<std::ptrdiff_t>(std::min(length, datagram.size())));
    input.append(length > datagram.size() ? length - datagram.size() : 0, '\0');
    return input;
}

// A server reply: version 4, server mode, stratum 2, the given stamps.
SntpDatagram Reply(NtpTimestamp origin, NtpTimestamp receive, NtpTimestamp transmit, int leap = 0,
                   int stratum = 2, const char* reference = "GPS") {
    SntpHeader header{};
    header.liVnMode = static_cast<std::uint8_t>((leap << 6) | (4 << 3) | 4);
    header.stratum = static_cast<std::uint8_t>(stratum);
    std::memcpy(header.referenceId.data(), reference, std::min<std::size_t>(std::strlen(reference), 4));
    header.originateTime = origin.toNetwork();
    header.receiveTime = receive.toNetwork();
    header.transmitTime = transmit.toNetwork();
    SntpDatagram datagram{};
    std::memcpy(datagram.data(), &header, sizeof header);
    return datagram;
}

}  // namespace

// The unit tests' examples: a sound reply, a server an hour ahead and one 3600.5 s behind, a
// reply with an authenticator, short ones, a kiss, an unsynchronised server, a year-2003 one.
std::vector<std::string> FuzzSeeds() {
    const NtpTimestamp t1(0xE9000000u, 0x12345678u);
    const NtpTimestamp t4 = t1.plusSeconds(0.012);
    const NtpTimestamp t2 = t1.plusSeconds(0.255);
    const NtpTimestamp t3 = t1.plusSeconds(0.257);
    return {
        Input(t1, t4, false, Reply(t1, t2, t3)),
        Input(t1, t4, true, Reply({}, t1.plusSeconds(3600.005), t1.plusSeconds(3600.006))),
        Input(t1, t4, true, Reply({}, t1.plusSeconds(-3600.492), t1.plusSeconds(-3600.491))),
        Input(t1, t4, false, Reply(t1, t2, t3), 68),
        Input(t1, t4, false, Reply(t1, t2, t3), 32),
        Input(t1, t4, false, Reply(t1, t2, t3), 0),
        Input(t1, t4, false, Reply(t1, {}, {}, 3, 0, "RATE")),
        Input(t1, t4, false, Reply(t1, t2, t3, 3, 2)),
        Input(t1, t4, false, Reply(t1, NtpTimestamp(0xC16E3A00u, 0), NtpTimestamp(0xC16E3A00u, 1))),
        Input(t1, t4, false, Reply(t1, t2, NtpTimestamp{})),
    };
}
