#include "service/ChannelServer_win.h"

#include "common/ExceptionBarrier.h"

#include <utility>

namespace {

// A window that appears a little after the service starts is looked for this often.
constexpr DWORD kWindowPollMs = 20;
// Instances made in one go when clients come and leave faster than they are taken.
constexpr int kMaxListenAttempts = static_cast<int>(channel::kMaxClients) + 1;

std::uint64_t NowMs() {
    return ::GetTickCount64();
}

}  // namespace

CChannelServer::CChannelServer(WindowSource window) : m_window(std::move(window)), m_sessions(*this) {}

CChannelServer::~CChannelServer() {
    Stop();
}

SystemResult CChannelServer::Start(NameReport report) {
    if (m_thread.joinable()) {
        return SystemResult::success();
    }
    MakePipeSecurity(m_security);
    if (!m_security.descriptor) {
        return SystemResult::failure(m_security.error);
    }
    if (!MakeEvents()) {
        return SystemResult::failure(::GetLastError());
    }
    m_nameReport = std::move(report);
    m_listener = CreatePipeInstance(m_security.attributes, true);
    if (!m_listener) {
        const DWORD error = ::GetLastError();
        if (!IsPipeNameTaken(error)) {
            return SystemResult::failure(error);
        }
        m_nameReport(ChannelNameNews::HeldByAnother);
    }
    m_bRunning.store(true);
    const bool bStarted = CallGuarded(
        [this] {
            m_thread = std::thread([this] {
                CallGuarded([this] { Serve(); }, [](const char* what) { ::OutputDebugStringA(what); });
                CloseAll();
            });
        },
        [](const char* what) { ::OutputDebugStringA(what); });
    m_bRunning.store(bStarted);
    return bStarted ? SystemResult::success() : SystemResult::failure(ERROR_NOT_ENOUGH_MEMORY);
}

bool CChannelServer::MakeEvents() {
    m_hStop.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_hNotices.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    bool bMade = m_hStop && m_hNotices && m_connect.MakeEvent();
    for (Client& client : m_clients) {
        bMade = bMade && client.read.MakeEvent() && client.write.MakeEvent();
    }
    return bMade;
}

void CChannelServer::Stop() {
    m_bRunning.store(false);
    if (m_thread.joinable()) {
        ::SetEvent(m_hStop.get());
        m_thread.join();
    }
}

void CChannelServer::notifyResult(int resultCode) {
    if (!m_bRunning.load()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_noticeMutex);
        if (m_pendingNotices.size() >= kMaxPendingNotices) {
            return;
        }
        m_pendingNotices.push_back(resultCode);
    }
    ::SetEvent(m_hNotices.get());
}

void CChannelServer::Serve() {
    if (!AwaitPipeName() || !WaitForWindow()) {
        return;
    }
    Listen();
    for (;;) {
        std::vector<HANDLE> handles;
        std::vector<Waiter> waiters;
        CollectWaiters(handles, waiters);
        const DWORD signalled =
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, kTickMs);
        if (signalled == WAIT_OBJECT_0 || signalled == WAIT_FAILED) {
            return;  // the stop
        }
        DeliverNotices();
        // Every operation that has ended, not only the first: a client that connects again and
        // again must not keep the others from being read.
        for (const Waiter& waiter : waiters) {
            const PipeOperation* operation = OperationOf(waiter);
            if (operation != nullptr && operation->bPending &&
                ::WaitForSingleObject(operation->event.get(), 0) == WAIT_OBJECT_0) {
                Dispatch(waiter);
            }
        }
        m_sessions.Expire(NowMs());
        Pump();
    }
}

// The stop first, so that it wins over any amount of traffic.
void CChannelServer::CollectWaiters(std::vector<HANDLE>& handles, std::vector<Waiter>& waiters) const {
    const auto add = [&](const PipeOperation& operation, Waiter::Kind kind, std::size_t slot) {
        if (operation.bPending) {
            handles.push_back(operation.event.get());
            waiters.push_back({kind, slot});
        }
    };
    handles = {m_hStop.get(), m_hNotices.get()};
    waiters = {{Waiter::Stop, 0}, {Waiter::Notices, 0}};
    add(m_connect, Waiter::Listener, 0);
    for (std::size_t slot = 0; slot < m_clients.size(); ++slot) {
        add(m_clients[slot].read, Waiter::Read, slot);
        add(m_clients[slot].write, Waiter::Write, slot);
    }
}

// While another program holds the name: one try a minute, until the stop.
bool CChannelServer::AwaitPipeName() {
    if (m_listener) {
        return true;
    }
    do {
        if (::WaitForSingleObject(m_hStop.get(), kNameRetryMs) != WAIT_TIMEOUT) {
            return false;
        }
        m_listener = CreatePipeInstance(m_security.attributes, true);
    } while (!m_listener);
    m_nameReport(ChannelNameNews::FreeAgain);
    return true;
}

bool CChannelServer::WaitForWindow() {
    while (m_window() == nullptr) {
        if (::WaitForSingleObject(m_hStop.get(), kWindowPollMs) != WAIT_TIMEOUT) {
            return false;
        }
    }
    return true;
}

// The operation a waiter stands for; none for the stop and the notices.
const PipeOperation* CChannelServer::OperationOf(const Waiter& waiter) const {
    switch (waiter.kind) {
        case Waiter::Listener: return &m_connect;
        case Waiter::Read: return &m_clients[waiter.slot].read;
        case Waiter::Write: return &m_clients[waiter.slot].write;
        default: return nullptr;
    }
}

void CChannelServer::Dispatch(const Waiter& waiter) {
    switch (waiter.kind) {
        case Waiter::Listener: OnConnected(); break;
        case Waiter::Read: OnRead(waiter.slot); break;
        case Waiter::Write: OnWritten(waiter.slot); break;
        default: break;
    }
}

// A new instance is always made before an old one goes, so that the pipe's name never
// vanishes while clients come and go (a console would take that for a service that is gone).
void CChannelServer::Listen() {
    for (int attempt = 0; attempt < kMaxListenAttempts && !m_connect.bPending; ++attempt) {
        if (!m_listener) {
            m_listener = CreatePipeInstance(m_security.attributes, false);
        }
        if (!m_listener) {
            return;  // tried again after the next event or tick
        }
        if (BeginConnect(m_listener.get(), m_connect) == PipeStart::Failed) {
            m_listener = CreatePipeInstance(m_security.attributes, false);  // the client came and left
        }
    }
}

void CChannelServer::OnConnected() {
    const PipeResult result = FinishOperation(m_listener.get(), m_connect);
    UniqueFileHandle connected = std::move(m_listener);
    Listen();
    if (result.bSucceeded) {
        Accept(std::move(connected));
    }
}

void CChannelServer::Accept(UniqueFileHandle connected) {
    const std::optional<std::size_t> slot = m_sessions.Admit(NowMs());
    if (!slot) {
        ::DisconnectNamedPipe(connected.get());  // one too many: let in and closed at once
        return;
    }
    m_clients[*slot].pipe = std::move(connected);
    StartRead(*slot);
}

void CChannelServer::StartRead(std::size_t slot) {
    Client& client = m_clients[slot];
    if (BeginRead(client.pipe.get(), client.read, client.readBuffer, sizeof client.readBuffer) ==
        PipeStart::Failed) {
        client.bFailed = true;
    }
}

void CChannelServer::OnRead(std::size_t slot) {
    Client& client = m_clients[slot];
    const PipeResult result = FinishOperation(client.pipe.get(), client.read);
    if (!result.bSucceeded && result.error != ERROR_MORE_DATA) {
        client.bFailed = true;
        return;
    }
    // A longer message than a record counts as its first bytes and one more.
    const std::size_t size = result.bSucceeded ? result.bytes : sizeof client.readBuffer;
    m_sessions.Received(slot, client.readBuffer, size, NowMs());
    if (client.pipe) {
        StartRead(slot);
    }
}

void CChannelServer::OnWritten(std::size_t slot) {
    Client& client = m_clients[slot];
    const PipeResult result = FinishOperation(client.pipe.get(), client.write);
    if (!result.bSucceeded || result.bytes != channel::kRecordSize) {
        client.bFailed = true;
        return;
    }
    client.outbox.pop_front();
}

void CChannelServer::DeliverNotices() {
    std::vector<int> notices;
    {
        const std::lock_guard<std::mutex> lock(m_noticeMutex);
        notices.swap(m_pendingNotices);
    }
    for (const int code : notices) {
        m_sessions.Broadcast(code);
    }
}

// After every event: the next write of each client, the clients whose pipe failed, and a
// listening instance if none could be made before.
void CChannelServer::Pump() {
    for (std::size_t slot = 0; slot < m_clients.size(); ++slot) {
        Client& client = m_clients[slot];
        if (client.pipe && !client.bFailed && !client.write.bPending && !client.outbox.empty()) {
            EncodeRecord(client.outbox.front(), client.writeBuffer);
            client.bFailed = BeginWrite(client.pipe.get(), client.write, client.writeBuffer,
                                        sizeof client.writeBuffer) == PipeStart::Failed;
        }
        if (client.pipe && client.bFailed) {
            CloseClient(slot);
            m_sessions.Closed(slot);
        }
    }
    if (!m_connect.bPending) {
        Listen();
    }
}

bool CChannelServer::send(std::size_t slot, const ChannelRecord& record) {
    Client& client = m_clients[slot];
    if (client.outbox.size() >= channel::kMaxQueuedNotices) {
        return false;
    }
    client.outbox.push_back(record);
    return true;
}

void CChannelServer::drop(std::size_t slot) {
    CloseClient(slot);
}

void CChannelServer::publish(const ClockStatus& report) {
    const std::lock_guard<std::mutex> lock(m_statusMutex);
    m_status = report;
}

std::optional<ClockStatus> CChannelServer::status() {
    const std::lock_guard<std::mutex> lock(m_statusMutex);
    return m_status;
}

bool CChannelServer::forward(unsigned message) {
    const HWND window = m_window();
    return window != nullptr && ::PostMessageA(window, message, 0, 0) != FALSE;
}

void CChannelServer::CloseClient(std::size_t slot) {
    Client& client = m_clients[slot];
    if (client.pipe) {
        ::DisconnectNamedPipe(client.pipe.get());  // ends what is pending on the pipe
        CancelOperation(client.pipe.get(), client.read);
        CancelOperation(client.pipe.get(), client.write);
    }
    client.pipe.reset();
    client.outbox.clear();
    client.bFailed = false;
}

void CChannelServer::CloseAll() {
    for (std::size_t slot = 0; slot < m_clients.size(); ++slot) {
        CloseClient(slot);
        m_sessions.Closed(slot);
    }
    if (m_listener) {
        CancelOperation(m_listener.get(), m_connect);
    }
    m_listener.reset();
    m_connect.bPending = false;
}
