// The channel of HoraluxServ.exe (-d) against clients that misbehave: thousands of connects, a
// mebibyte of garbage, records of every wrong size and field, more idle clients than places.
// After each, a well-behaved console (the console's own channel client) must still get its
// answers, and the service holds as many handles as before. Also the pipe as a
// client sees it, and the time from request to answer over the channel and over the window.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/ChannelPipe_win.h"
#include "common/ChannelProtocol.h"
#include "common/LogResult.h"
#include "common/WindowMessages.h"
#include "console/Win32ChannelClient_win.h"
#include "tests/e2e/ConsoleSession_win.h"
#include "tests/e2e/RawPipeClient_win.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/DaclText_win.h"
#include "tools/kit/ProcessHandles_win.h"
#include "tools/kit/ServiceProgram_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<unsigned char> Record(ChannelKind kind, std::int32_t value = 0) {
    ChannelBytes bytes;
    EncodeRecord(ChannelRecord{kind, value}, bytes);
    return std::vector<unsigned char>(std::begin(bytes), std::end(bytes));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

class ChannelAbuseTest : public CConsoleSession {
protected:
    void SetUp() override {
        WriteText(ini, ServiceSettings(kModeDemandOnly, "127.0.0.1", {"Nobody"}));
        CConsoleSession::SetUp();
        ASSERT_TRUE(startService());
    }

    // The console's own client, announced by a hello, breaking a run off and hearing of it.
    void expectWellBehavedConsoleAnswered(const char* after) {
        CConsoleStandIn window;
        CWin32ChannelClient client;
        client.attach(window.get());
        WPARAM value = 0;
        ASSERT_TRUE(
            WaitUntil([&] { return client.open(channel::kHelloWaitMs) == ChannelOpening::Answered; }, 15s))
            << "after " << after;
        ASSERT_TRUE(window.waitFor(UM_SERVICE_HELLO, value)) << "after " << after;
        ASSERT_TRUE(client.send(ChannelKind::SyncBreak)) << "after " << after;
        ASSERT_TRUE(window.waitFor(UM_SYNC_RESULT, value)) << "after " << after;
        EXPECT_EQ(value, static_cast<WPARAM>(LOG_BROKEN)) << "after " << after;
    }

    unsigned serviceHandles() const { return ProcessHandleCount(service.pid()).value_or(0); }

    // Connects and leaves count times; the seconds it took.
    static double connectAndLeave(int count) {
        int connected = 0;
        const auto begin = Clock::now();
        for (int i = 0; i < count; ++i) {
            CRawClient client;
            connected += client.connect() ? 1 : 0;
        }
        EXPECT_EQ(connected, count);
        return std::chrono::duration<double>(Clock::now() - begin).count();
    }

    // A mebibyte of garbage in one message, then as records; how many of those were taken.
    static int sendGarbage() {
        const std::vector<unsigned char> garbage(1 << 20, 0x5A);
        CRawClient whole;
        EXPECT_TRUE(whole.connect());
        whole.write(garbage.data(), garbage.size());
        EXPECT_TRUE(whole.closedByServer(5s));
        CRawClient pieces;
        EXPECT_TRUE(pieces.connect());
        int taken = 0;
        for (std::size_t at = 0; at < garbage.size() && pieces.write(&garbage[at], channel::kRecordSize, 2s);
             at += channel::kRecordSize) {
            ++taken;
        }
        EXPECT_LT(taken * channel::kRecordSize, garbage.size()) << "the garbage was taken to its end";
        EXPECT_TRUE(pieces.closedByServer(5s));
        return taken;
    }

    // Every size but a record's, every field out of its bounds, a kind only the service sends:
    // each on a connection of its own, which the service closes.
    static void sendWrongRecords() {
        std::vector<std::vector<unsigned char>> wrong;
        for (std::size_t size = 0; size <= 4 * channel::kRecordSize; ++size) {
            if (size != channel::kRecordSize) {
                wrong.push_back(Record(ChannelKind::SyncNow));
                wrong.back().resize(size, 0);
            }
        }
        const std::pair<std::size_t, unsigned char> fields[] = {{0, 0},    {4, 0}, {4, 2}, {5, 1},
                                                                {6, 0xE7}, {8, 1}, {12, 1}};
        for (const auto& [offset, byte] : fields) {
            wrong.push_back(Record(ChannelKind::SyncNow));
            wrong.back()[offset] = byte;
        }
        wrong.push_back(Record(ChannelKind::SyncResult, 1));
        for (const auto& bytes : wrong) {
            CRawClient client;
            ASSERT_TRUE(client.connect());
            client.write(bytes.data(), bytes.size());
            EXPECT_TRUE(client.closedByServer(5s)) << "a message of " << bytes.size() << " bytes";
        }
    }

    struct IdleFigures {
        int held = 0;
        double seconds = 0.0;
    };

    // Clients that connect and say nothing: the places are taken, the rest let in and closed at
    // once, and the holders dropped after the greeting limit.
    static IdleFigures holdIdleClients(int count) {
        std::vector<std::unique_ptr<CRawClient>> idle;
        for (int i = 0; i < count; ++i) {
            idle.push_back(std::make_unique<CRawClient>());
            EXPECT_TRUE(idle.back()->connect()) << i;
            idle.back()->startRead();
        }
        const auto begin = Clock::now();
        ::Sleep(1000);
        IdleFigures figures;
        figures.held = static_cast<int>(
            std::count_if(idle.begin(), idle.end(), [](const auto& c) { return !c->closedByServer(0ms); }));
        EXPECT_EQ(figures.held, static_cast<int>(channel::kMaxClients));
        EXPECT_TRUE(WaitUntil(
            [&] {
                return std::all_of(idle.begin(), idle.end(),
                                   [](const auto& c) { return c->closedByServer(0ms); });
            },
            15s));
        figures.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        return figures;
    }
};

TEST_F(ChannelAbuseTest, MisbehavingClientsAreDroppedAndLeaveTheServiceAnsweringWithItsHandles) {
    expectWellBehavedConsoleAnswered("start");
    const unsigned handlesBefore = serviceHandles();
    ASSERT_GT(handlesBefore, 0u);
    // After each abuse the service's handles come back to where they started, or below: the
    // service may still hold a handle of its start-up then (and the server may still be closing
    // the last dropped client for a moment).
    const auto handlesSettled = [&](const char* after) {
        unsigned handles = 0;
        EXPECT_TRUE(WaitUntil([&] { return (handles = serviceHandles()) <= handlesBefore; }, 10s))
            << after << ": " << handles << " handles, " << handlesBefore << " before";
        return handles;
    };

    const double churnSeconds = connectAndLeave(10000);
    expectWellBehavedConsoleAnswered("10,000 connects");
    const unsigned afterChurn = handlesSettled("10,000 connects");
    const int garbageRecords = sendGarbage();
    expectWellBehavedConsoleAnswered("a mebibyte of garbage");
    const unsigned afterGarbage = handlesSettled("a mebibyte of garbage");
    sendWrongRecords();
    expectWellBehavedConsoleAnswered("records of wrong sizes and fields");
    const unsigned afterWrong = handlesSettled("records of wrong sizes and fields");
    const IdleFigures idle = holdIdleClients(64);
    expectWellBehavedConsoleAnswered("64 idle clients");
    const unsigned afterIdle = handlesSettled("64 idle clients");

    EXPECT_TRUE(service.running());
    // Nothing the clients sent reached the log, nor started a run: it holds the start line and
    // the five breaks of the well-behaved console, no more.
    const std::string lines = ReadWholeFile(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6) << lines;
    std::size_t breaks = 0;
    for (std::size_t at = 0;
         (at = lines.find("] Synchronization is broken by the user.\r\n", at)) != std::string::npos; ++at) {
        ++breaks;
    }
    EXPECT_EQ(breaks, 5u) << lines;
    std::printf(
        "[ measured ] 10,000 connects in %.1f s; garbage records taken before the drop: %d; 64 idle "
        "clients: %d held, the last dropped after %.1f s\n"
        "[ measured ] service handles: %u at the start; %u after the connects, %u after the garbage, %u "
        "after the wrong records, %u after the idle clients\n",
        churnSeconds, garbageRecords, idle.held, idle.seconds, handlesBefore, afterChurn, afterGarbage,
        afterWrong, afterIdle);
}

TEST_F(ChannelAbuseTest, ThePipeIsAMessagePipeWithItsDescriptorAndAnswersWithinMilliseconds) {
    CRawClient client;
    ASSERT_TRUE(client.connect());
    DWORD flags = 0;
    ASSERT_TRUE(::GetNamedPipeInfo(client.handle(), &flags, nullptr, nullptr, nullptr));
    EXPECT_TRUE(flags & PIPE_TYPE_MESSAGE);
    EXPECT_EQ(DaclText(client.handle()), std::optional<std::string>(channel::kPipeSecurity));
    client.close();

    // The same requests both ways: a hello, and a break answered with its result line.
    const HWND control = WaitForExecWindow();
    ASSERT_NE(control, nullptr);
    CConsoleStandIn windowConsole;
    CConsoleStandIn channelConsole;
    CWin32ChannelClient channelClient;
    channelClient.attach(channelConsole.get());
    // A console never waits for a busy pipe, and the raw client's place may not be free yet.
    ASSERT_TRUE(WaitUntil(
        [&] { return channelClient.open(channel::kHelloWaitMs) == ChannelOpening::Answered; }, 15s));
    channelConsole.drain();
    std::vector<double> windowMs[2];
    std::vector<double> channelMs[2];
    const auto kRecordSpacing = std::chrono::milliseconds(1000 / channel::kMaxRecordsPerSecond + 5);
    auto lastSent = Clock::now();
    const std::pair<ChannelKind, UINT> requests[] = {{ChannelKind::ConsoleHello, UM_SERVICE_HELLO},
                                                     {ChannelKind::SyncBreak, UM_SYNC_RESULT}};
    for (int i = 0; i < 100; ++i) {
        for (int r = 0; r < 2; ++r) {
            const auto [kind, answer] = requests[r];
            WPARAM value = 0;
            const WPARAM wParam =
                kind == ChannelKind::ConsoleHello ? reinterpret_cast<WPARAM>(windowConsole.get()) : 0;
            auto begin = Clock::now();
            ASSERT_TRUE(::PostMessageA(control, static_cast<UINT>(kind), wParam, 0));
            ASSERT_TRUE(windowConsole.waitFor(answer, value));
            windowMs[r].push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
            // A result goes to both consoles: each waits for its copy before the next request.
            const bool bBoth = answer == UM_SYNC_RESULT;
            ASSERT_TRUE(!bBoth || channelConsole.waitFor(answer, value));
            // A console sends a few records a second; more and the service drops it.
            std::this_thread::sleep_until(lastSent + kRecordSpacing);
            begin = lastSent = Clock::now();
            ASSERT_TRUE(channelClient.send(kind));
            ASSERT_TRUE(channelConsole.waitFor(answer, value));
            channelMs[r].push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
            ASSERT_TRUE(!bBoth || windowConsole.waitFor(answer, value));
        }
    }
    std::printf(
        "[ measured ] request -> answer, median of 100: hello %.2f ms over the window, %.2f ms over the "
        "channel; break -> result %.2f ms over the window, %.2f ms over the channel\n",
        Median(windowMs[0]), Median(channelMs[0]), Median(windowMs[1]), Median(channelMs[1]));
    // Against the window's path in the same run, so that a loaded machine slows both alike: a
    // channel that waits for its tick instead of its events is far behind.
    for (int r = 0; r < 2; ++r) {
        EXPECT_LT(Median(channelMs[r]), 2.0 * Median(windowMs[r]) + 25.0) << r;
    }
}

}  // namespace
