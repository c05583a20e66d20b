// The console's channel client (CWin32ChannelClient) against a scripted server on the real pipe
// name: the hello answered within the wait, the service's notices posted to the main window,
// hellos that keep the console known while only notices come in, a channel that closes on
// anything the service would never send, and a server that cannot be shown to be the service,
// which hears nothing.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>

#include "common/ChannelPipe_win.h"
#include "common/ChannelProtocol.h"
#include "common/LogResult.h"
#include "common/WinHandle_win.h"
#include "common/WindowMessages.h"
#include "console/Win32ChannelClient_win.h"
#include "tools/kit/ConsoleStandIn_win.h"
#include "tools/kit/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// One instance of the pipe. The wait for the console is bounded by ten seconds, since the test's
// own thread makes its window first; every other operation by a second. Unless told otherwise it
// stands where the service does, for the client's check: it owns a window with the control
// window's title (and no service runs).
class CScriptedServer {
public:
    explicit CScriptedServer(bool bWithControlWindow = true) {
        if (bWithControlWindow) {
            m_controlWindow.reset(::CreateWindowExA(0, "STATIC", kExecWindowTitle, WS_POPUP, 0, 0, 0, 0,
                                                    nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
        }
        PipeSecurity security;
        MakePipeSecurity(security);
        m_pipe = CreatePipeInstance(security.attributes, true);
        m_connect.MakeEvent();
        m_read.MakeEvent();
        m_write.MakeEvent();
    }
    bool ready() const { return m_pipe.isValid(); }

    bool accept() {
        return BeginConnect(m_pipe.get(), m_connect) == PipeStart::Waiting && finish(m_connect, 10000);
    }

    std::optional<ChannelRecord> read() {
        unsigned char bytes[channel::kRecordSize + 1] = {};
        if (BeginRead(m_pipe.get(), m_read, bytes, sizeof bytes) == PipeStart::Failed ||
            ::WaitForSingleObject(m_read.event.get(), 1000) != WAIT_OBJECT_0) {
            CancelOperation(m_pipe.get(), m_read);
            return std::nullopt;
        }
        const PipeResult result = FinishOperation(m_pipe.get(), m_read);
        const DecodedRecord decoded = DecodeRecord(bytes, result.bSucceeded ? result.bytes : sizeof bytes);
        if (decoded.fault != RecordFault::None) {
            return std::nullopt;
        }
        return decoded.record;
    }

    bool write(ChannelKind kind, std::int32_t value = 0) {
        ChannelBytes bytes;
        EncodeRecord(ChannelRecord{kind, value}, bytes);
        return writeBytes(bytes, sizeof bytes);
    }
    bool writeBytes(const unsigned char* bytes, std::size_t size) {
        return BeginWrite(m_pipe.get(), m_write, bytes, size) == PipeStart::Waiting && finish(m_write, 1000);
    }

private:
    bool finish(PipeOperation& operation, DWORD waitMs) {
        if (::WaitForSingleObject(operation.event.get(), waitMs) != WAIT_OBJECT_0) {
            CancelOperation(m_pipe.get(), operation);
            return false;
        }
        return FinishOperation(m_pipe.get(), operation).bSucceeded;
    }

    UniqueWindow m_controlWindow;
    UniqueFileHandle m_pipe;
    PipeOperation m_connect;
    PipeOperation m_read;
    PipeOperation m_write;
};

// What the scripted server did, checked on the test's thread once the script has ended.
struct ScriptOutcome {
    bool bServed = false;  // accepted, read the hello and answered it
    int notices = 0;       // notices written
    int keptAlive = 0;     // hellos read after the notices
    std::optional<ChannelRecord> request;
};

TEST(ChannelClientTest, TheHelloIsAnsweredNoticesArePostedAndHellosKeepTheConsoleKnown) {
    CScriptedServer server;
    ASSERT_TRUE(server.ready());
    std::future<ScriptOutcome> script = std::async(std::launch::async, [&] {
        ScriptOutcome outcome;
        const std::optional<ChannelRecord> hello = server.accept() ? server.read() : std::nullopt;
        outcome.bServed =
            hello && hello->kind == ChannelKind::ConsoleHello && server.write(ChannelKind::ServiceHello);
        // Only notices come in for well over two keep-alive periods.
        for (int i = 0; outcome.bServed && i < 12; ++i) {
            outcome.notices += server.write(ChannelKind::SyncResult, LOG_FAILED) ? 1 : 0;
            ::Sleep(100);
        }
        // The hellos sent meanwhile, then the request, in the order the console sent them.
        std::optional<ChannelRecord> next;
        while (outcome.bServed && (next = server.read()) && next->kind == ChannelKind::ConsoleHello) {
            ++outcome.keptAlive;
        }
        outcome.request = next;
        return outcome;
    });

    CConsoleStandIn window;
    CWin32ChannelClient client(300);
    client.attach(window.get());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client.open(channel::kHelloWaitMs), ChannelOpening::Answered);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    WPARAM value = 99;
    EXPECT_TRUE(window.waitFor(UM_SERVICE_HELLO, value));
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(window.waitFor(UM_SYNC_RESULT, value)) << i;
        EXPECT_EQ(value, static_cast<WPARAM>(LOG_FAILED));
    }
    EXPECT_TRUE(client.send(ChannelKind::SyncNow));
    const ScriptOutcome outcome = script.get();
    EXPECT_TRUE(outcome.bServed);
    EXPECT_EQ(outcome.notices, 12);
    EXPECT_GE(outcome.keptAlive, 2);
    ASSERT_TRUE(outcome.request.has_value());
    EXPECT_EQ(outcome.request->kind, ChannelKind::SyncNow);
    EXPECT_TRUE(client.isOpen());
}

TEST(ChannelClientTest, NoServiceASilentOneAndARecordTheServiceNeverSendsLeaveTheChannelClosed) {
    CConsoleStandIn window;
    CWin32ChannelClient client;
    client.attach(window.get());
    EXPECT_EQ(client.open(channel::kHelloWaitMs), ChannelOpening::NotAnswered);  // no pipe: at once
    EXPECT_FALSE(client.isOpen());

    for (const bool bAnswers : {false, true}) {
        CScriptedServer server;
        ASSERT_TRUE(server.ready());
        // The server's end stays open until the console has decided, so that only what the
        // server said, not its going away, can close the channel.
        std::promise<void> decided;
        std::future<bool> script =
            std::async(std::launch::async, [&server, bAnswers, held = decided.get_future()] {
                bool bDone = server.accept() && server.read().has_value();
                if (bDone && bAnswers) {
                    // A hello, then a request, which only a console sends.
                    bDone =
                        server.write(ChannelKind::ServiceHello) && server.write(ChannelKind::ConsoleHello);
                }
                held.wait_for(10s);
                return bDone;
            });
        const auto begin = std::chrono::steady_clock::now();
        const bool bOpened = client.open(300) == ChannelOpening::Answered;
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_EQ(bOpened, bAnswers);
        EXPECT_LT(took, 2s);
        EXPECT_TRUE(WaitUntil([&] { return !client.isOpen(); }, 5s)) << bAnswers;
        EXPECT_FALSE(client.send(ChannelKind::SyncNow));
        decided.set_value();
        EXPECT_TRUE(script.get()) << bAnswers;
        client.close();
    }

    // No service runs and no control window is to be seen: whoever serves the pipe is closed
    // unused, and hears not even the hello.
    CScriptedServer unproven(false);
    ASSERT_TRUE(unproven.ready());
    std::optional<ChannelRecord> heard;
    std::thread script([&] {
        if (unproven.accept()) {  // the client may have come and gone already
            unproven.write(ChannelKind::ServiceHello);
            heard = unproven.read();
        }
    });
    EXPECT_EQ(client.open(channel::kHelloWaitMs), ChannelOpening::NotAnswered);
    script.join();
    EXPECT_FALSE(heard.has_value());
    EXPECT_FALSE(client.isOpen());
}

}  // namespace
