#pragma once
// One answer of the fake server for each kind of reply the exchange refuses, and for a reply
// whose time a run finds implausible, with the words HoraluxServ -q shows for it.

#include "tools/kit/SntpReplyScript.h"

#include <vector>

struct BadReplyCase {
    FakeReply reply;
    const char* shown;  // after "bad reply: "
};

inline std::vector<BadReplyCase> OneBadReplyOfEachKind() {
    constexpr double kThirtyYears = 30 * 365.25 * 86400;
    const auto with = [](void (*change)(FakeReply&)) {
        FakeReply reply;
        change(reply);
        return reply;
    };
    return {
        {with([](FakeReply& r) { r.length = 40; }), "shorter than 48 bytes"},
        {with([](FakeReply& r) { r.mode = 3; }), "not in server mode"},
        {with([](FakeReply& r) { r.version = 5; }), "unsupported version"},
        {with([](FakeReply& r) { r.wrongOrigin = true; }), "originate time does not match the request"},
        {FakeReply::kiss("RATE"), "kiss-o'-death, code RATE"},
        {with([](FakeReply& r) { r.leapIndicator = 3; }), "server clock not synchronised"},
        {with([](FakeReply& r) { r.stratum = 16; }), "stratum above 15"},
        {with([](FakeReply& r) { r.zeroTransmitTime = true; }), "receive or transmit time is zero"},
        {with([](FakeReply& r) { r.transmitShiftSeconds = 365 * 86400.0; }),
         "server times do not fit the round trip"},
        // A sound reply, thirty years behind.
        {FakeReply::offsetBy(-kThirtyYears), "the server's time lies in the year 19"},
    };
}
