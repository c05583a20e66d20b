// The request on the wire, the fields of a reply, every check a reply must pass, and the
// delay and offset arithmetic.

#include "sntp/SntpPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <vector>

namespace {

const NtpTimestamp kSent(0xE9000000u, 0x12345678u);

// A reply that passes every check, answering a request sent at kSent.
SntpHeader goodHeader() {
    SntpHeader h{};
    h.liVnMode = (0 << 6) | (4 << 3) | 4;
    h.stratum = 2;
    h.referenceId = {'G', 'P', 'S', 0};
    h.originateTime = kSent.toNetwork();
    h.receiveTime = NtpTimestamp(0xE9000001u, 0).toNetwork();
    h.transmitTime = NtpTimestamp(0xE9000001u, 0x01000000u).toNetwork();
    return h;
}

SntpDatagram toDatagram(const SntpHeader& h) {
    SntpDatagram d{};
    std::memcpy(d.data(), &h, sizeof h);
    return d;
}

ReplyCheck check(const SntpHeader& h, std::size_t length = kSntpHeaderSize) {
    return checkSntpReply(length, parseSntpReply(toDatagram(h)), kSent, kSent.plusSeconds(0.05));
}

void setLiVnMode(SntpHeader& h, int li, int vn, int mode) {
    h.liVnMode = static_cast<std::uint8_t>((li << 6) | (vn << 3) | mode);
}

struct BadReply {
    const char* what;
    ReplyCheck expected;
    std::function<void(SntpHeader&)> spoil;
    std::size_t length = kSntpHeaderSize;
};

std::vector<BadReply> badReplies() {
    std::vector<BadReply> list = {
        {"empty", ReplyCheck::TooShort, [](SntpHeader&) {}, 0},
        {"32 bytes", ReplyCheck::TooShort, [](SntpHeader&) {}, 32},
        {"47 bytes", ReplyCheck::TooShort, [](SntpHeader&) {}, 47},
        {"version 0", ReplyCheck::UnsupportedVersion, [](SntpHeader& h) { setLiVnMode(h, 0, 0, 4); }},
        {"origin off by one bit", ReplyCheck::OriginMismatch,
         [](SntpHeader& h) { h.originateTime = NtpTimestamp::fromValue(kSent.value() ^ 1).toNetwork(); }},
        {"origin zero", ReplyCheck::OriginMismatch, [](SntpHeader& h) { h.originateTime = NtpWire{}; }},
        {"origin is our time one second later", ReplyCheck::OriginMismatch,
         [](SntpHeader& h) { h.originateTime = kSent.plusSeconds(1.0).toNetwork(); }},
        {"kiss RATE", ReplyCheck::KissOfDeath,
         [](SntpHeader& h) {
             h.stratum = 0;
             h.referenceId = {'R', 'A', 'T', 'E'};
         }},
        {"kiss with leap indicator 3", ReplyCheck::KissOfDeath,
         [](SntpHeader& h) {
             setLiVnMode(h, 3, 4, 4);
             h.stratum = 0;
             h.referenceId = {'D', 'E', 'N', 'Y'};
         }},
        {"leap indicator 3", ReplyCheck::Unsynchronised, [](SntpHeader& h) { setLiVnMode(h, 3, 4, 4); }},
        {"stratum 16", ReplyCheck::BadStratum, [](SntpHeader& h) { h.stratum = 16; }},
        {"stratum 255", ReplyCheck::BadStratum, [](SntpHeader& h) { h.stratum = 255; }},
        {"transmit zero", ReplyCheck::ZeroTimestamp, [](SntpHeader& h) { h.transmitTime = NtpWire{}; }},
        {"receive zero", ReplyCheck::ZeroTimestamp, [](SntpHeader& h) { h.receiveTime = NtpWire{}; }},
        // Found by fuzzing: a transmit time in the next NTP era (2036) after a receive time in
        // 2023 set the clock to 2029, to neither of the server's times.
        {"transmit 12 years after receive", ReplyCheck::HeldTooLong,
         [](SntpHeader& h) { h.transmitTime = NtpTimestamp(0x0000F800u, 0).toNetwork(); }},
        {"transmit before receive", ReplyCheck::HeldTooLong,
         [](SntpHeader& h) { h.transmitTime = NtpTimestamp(0xE9000000u, 0x80000000u).toNetwork(); }},
    };
    for (int mode : {0, 1, 2, 3, 5, 6, 7}) {
        list.push_back({"mode other than 4", ReplyCheck::NotServerMode,
                        [mode](SntpHeader& h) { setLiVnMode(h, 0, 4, mode); }});
    }
    for (int version : {5, 6, 7}) {
        list.push_back({"version above 4", ReplyCheck::UnsupportedVersion,
                        [version](SntpHeader& h) { setLiVnMode(h, 0, version, 4); }});
    }
    return list;
}

TEST(SntpRequest, IsFortyEightBytesWithClientByteAndTransmitTime) {
    const SntpDatagram d = buildSntpRequest(kSent);
    SntpDatagram expected{};
    expected[0] = 0x1B;
    const NtpWire wire = kSent.toNetwork();
    std::memcpy(expected.data() + 40, wire.data(), wire.size());
    EXPECT_EQ(d, expected);
    EXPECT_EQ(d[40], 0xE9);  // most significant byte of the seconds first
}

TEST(SntpReply, FieldsComeFromTheirOffsets) {
    SntpHeader h = goodHeader();
    setLiVnMode(h, 2, 3, 4);
    h.stratum = 7;
    const SntpResponse r = parseSntpReply(toDatagram(h));
    EXPECT_EQ(r.leapIndicator, 2);
    EXPECT_EQ(r.version, 3);
    EXPECT_EQ(r.mode, 4);
    EXPECT_EQ(r.stratum, 7);
    EXPECT_EQ(r.originateTime, kSent);
    EXPECT_EQ(r.receiveTime, NtpTimestamp(0xE9000001u, 0));
    EXPECT_EQ(r.transmitTime, NtpTimestamp(0xE9000001u, 0x01000000u));
    EXPECT_EQ(kissCode(r), std::string("GPS") + '\0');
}

TEST(SntpReply, EveryKindOfBadReplyIsRefused) {
    std::set<ReplyCheck> kindsSeen;
    for (const BadReply& bad : badReplies()) {
        SntpHeader h = goodHeader();
        bad.spoil(h);
        const ReplyCheck result = check(h, bad.length);
        EXPECT_EQ(result, bad.expected) << bad.what << ": " << replyCheckName(result);
        EXPECT_NE(dispositionOf(result), ReplyDisposition::Accept) << bad.what;
        kindsSeen.insert(result);
    }
    EXPECT_EQ(kindsSeen.size(), static_cast<std::size_t>(kReplyCheckKinds)) << "a check was never exercised";
}

TEST(SntpReply, SoundRepliesOfEveryVersionLeapAndStratumPass) {
    for (int version = 1; version <= 4; ++version) {
        for (int leap = 0; leap <= 2; ++leap) {
            for (int stratum : {1, 2, 15}) {
                SntpHeader h = goodHeader();
                setLiVnMode(h, leap, version, 4);
                h.stratum = static_cast<std::uint8_t>(stratum);
                EXPECT_EQ(check(h), ReplyCheck::Passed) << version << " " << leap << " " << stratum;
            }
        }
    }
    // Trailing authenticator bytes do not matter.
    EXPECT_EQ(check(goodHeader(), 68), ReplyCheck::Passed);
    EXPECT_EQ(dispositionOf(ReplyCheck::Passed), ReplyDisposition::Accept);
}

TEST(SntpReply, WhatCannotAnswerOurRequestIsDiscardedTheServersRefusalEndsTheExchange) {
    for (ReplyCheck c : {ReplyCheck::TooShort, ReplyCheck::NotServerMode, ReplyCheck::UnsupportedVersion,
                         ReplyCheck::OriginMismatch}) {
        EXPECT_EQ(dispositionOf(c), ReplyDisposition::Discard) << replyCheckName(c);
    }
    for (ReplyCheck c : {ReplyCheck::KissOfDeath, ReplyCheck::Unsynchronised, ReplyCheck::BadStratum,
                         ReplyCheck::ZeroTimestamp}) {
        EXPECT_EQ(dispositionOf(c), ReplyDisposition::Reject) << replyCheckName(c);
    }
}

TEST(SntpReply, AForgedKissIsAMismatchNotARefusal) {
    SntpHeader h = goodHeader();
    h.stratum = 0;
    h.referenceId = {'D', 'E', 'N', 'Y'};
    h.originateTime = NtpWire{};
    EXPECT_EQ(check(h), ReplyCheck::OriginMismatch);
}

TEST(SntpReply, OnlyRateDenyAndRestrictRefuseTheServer) {
    SntpResponse r;
    for (const char* code : {"RATE", "DENY", "RSTR"}) {
        std::memcpy(r.referenceId.data(), code, 4);
        EXPECT_TRUE(isRefusalKiss(r)) << code;
    }
    for (const char* code : {"INIT", "STEP", "AUTH", "rate", "RAT "}) {
        std::memcpy(r.referenceId.data(), code, 4);
        EXPECT_FALSE(isRefusalKiss(r)) << code;
    }
}

SntpResponse stamps(double t2, double t3, double t4) {
    const NtpTimestamp t1(0xE9000000u, 0);
    SntpResponse r;
    r.originateTime = t1;
    r.receiveTime = t1.plusSeconds(t2);
    r.transmitTime = t1.plusSeconds(t3);
    r.destinationTime = t1.plusSeconds(t4);
    computeDelayAndOffset(r);
    return r;
}

TEST(SntpDelayAndOffset, HoldTimeIsTakenOffTheDelay) {
    // 5 ms out, 2 ms held, 5 ms back, server clock 0.25 s ahead.
    const SntpResponse r = stamps(0.255, 0.257, 0.012);
    EXPECT_NEAR(r.roundTripDelay, 0.010, 1e-9);
    EXPECT_NEAR(r.clockOffset, 0.250, 1e-9);
}

TEST(SntpDelayAndOffset, AsymmetricPathsAndNegativeOffsets) {
    // 8 ms out, 2 ms back, server 3600.5 s behind: half the asymmetry shows in the offset.
    const SntpResponse r = stamps(-3600.5 + 0.008, -3600.5 + 0.009, 0.011);
    EXPECT_NEAR(r.roundTripDelay, 0.010, 1e-9);
    EXPECT_NEAR(r.clockOffset, -3600.5 + 0.003, 1e-9);
}

TEST(SntpDelayAndOffset, NegativeDelayIsReportedAsZero) {
    // The server claims to have held the request longer than we waited.
    const SntpResponse r = stamps(0.001, 0.020, 0.010);
    EXPECT_EQ(r.roundTripDelay, 0.0);
}

}  // namespace
