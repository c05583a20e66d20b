#pragma once
// The console channel's pipe server, beside the control window: a thread of its own serves up
// to channel::kMaxClients consoles with overlapped I/O, waiting on one event per operation and
// never longer than a tick, and hands their requests to the control window by posting the same
// window messages a console in the window's session posts. As a notifier it passes every result
// notice to every console. The control window's thread never waits on it: a request is a post,
// a notice a short lock. The rules are CChannelSessions'; this class only does the I/O. Windows
// only.

#include <windows.h>

#include "common/ChannelPipe_win.h"
#include "common/ChannelProtocol.h"
#include "common/SystemResult.h"
#include "engine/ResultNotifier.h"
#include "engine/StatusBoard.h"
#include "service/ChannelSessions.h"
#include "service/ServiceRules.h"

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class CChannelServer final : public ResultNotifier, public StatusBoard, private ChannelTransport {
public:
    // Yields the control window, null while there is none; called on the channel's thread.
    using WindowSource = std::function<HWND()>;
    // Hears the news of the pipe's name, on the thread that calls Start or on the channel's.
    using NameReport = std::function<void(ChannelNameNews)>;

    explicit CChannelServer(WindowSource window);
    ~CChannelServer() override;
    CChannelServer(const CChannelServer&) = delete;
    CChannelServer& operator=(const CChannelServer&) = delete;

    // Makes the pipe and starts the thread, which serves once the control window exists.
    // Consoles may connect at once; their hello is answered when serving begins. When another
    // program holds the pipe's name, report hears so at once, and the thread tries again every
    // kNameRetryMs until the name is free (report hears that too) or the stop; the control
    // window serves meanwhile as ever. Any other failure is returned and starts nothing.
    SystemResult Start(NameReport report);
    // Ends the thread and closes every connection; returns within about a second.
    void Stop();

    // Any thread: queued for every console that has spoken.
    void notifyResult(int resultCode) override;
    // Any thread: the state a status request is answered with from now on.
    void publish(const ClockStatus& report) override;

    // How often a name held by another program is tried again: each try is one call.
    static constexpr DWORD kNameRetryMs = 60000;
    // The tick at which silent consoles are looked for.
    static constexpr DWORD kTickMs = 250;
    // Notices waiting for the channel's thread; more are dropped (a run ends a few a minute).
    static constexpr std::size_t kMaxPendingNotices = 64;

private:
    struct Client {
        UniqueFileHandle pipe;
        PipeOperation read;
        PipeOperation write;
        unsigned char readBuffer[channel::kRecordSize + 1] = {};
        ChannelBytes writeBuffer = {};
        std::deque<ChannelRecord> outbox;
        bool bFailed = false;
    };
    // What a signalled handle belongs to.
    struct Waiter {
        enum Kind { Stop, Notices, Listener, Read, Write } kind;
        std::size_t slot;
    };
    static_assert(3 + 2 * channel::kMaxClients <= MAXIMUM_WAIT_OBJECTS, "one wait covers every operation");

    bool send(std::size_t slot, const ChannelRecord& record) override;
    void drop(std::size_t slot) override;
    bool forward(unsigned message) override;
    std::optional<ClockStatus> status() override;

    bool MakeEvents();
    void Serve();
    bool AwaitPipeName();
    void CollectWaiters(std::vector<HANDLE>& handles, std::vector<Waiter>& waiters) const;
    bool WaitForWindow();
    const PipeOperation* OperationOf(const Waiter& waiter) const;
    void Dispatch(const Waiter& waiter);
    void Listen();
    void OnConnected();
    void Accept(UniqueFileHandle connected);
    void StartRead(std::size_t slot);
    void OnRead(std::size_t slot);
    void OnWritten(std::size_t slot);
    void DeliverNotices();
    void Pump();
    void CloseClient(std::size_t slot);
    void CloseAll();

    const WindowSource m_window;
    NameReport m_nameReport;
    PipeSecurity m_security;
    UniqueKernelHandle m_hStop;
    UniqueKernelHandle m_hNotices;
    UniqueFileHandle m_listener;
    PipeOperation m_connect;
    std::array<Client, channel::kMaxClients> m_clients;
    CChannelSessions m_sessions;
    std::thread m_thread;
    std::atomic<bool> m_bRunning{false};
    std::mutex m_noticeMutex;
    std::mutex m_statusMutex;
    std::optional<ClockStatus> m_status;
    std::vector<int> m_pendingNotices;
};
