#include "console/Win32ChannelClient_win.h"

#include "common/ChannelServerCheck_win.h"

#include <chrono>

CWin32ChannelClient::CWin32ChannelClient(DWORD keepAliveMs) : m_dwKeepAliveMs(keepAliveMs) {
    m_hStop.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_read.MakeEvent();
    m_write.MakeEvent();
}

CWin32ChannelClient::~CWin32ChannelClient() {
    close();
}

ChannelOpening CWin32ChannelClient::open(unsigned waitMs) {
    close();
    if (!m_hStop || !m_read.event || !m_write.event) {
        return ChannelOpening::NotAnswered;
    }
    // Never waits for a busy pipe: a service with every place taken is no service to this
    // console now, and it falls back at once.
    m_pipe = ConnectToChannel();
    if (!m_pipe) {
        return ChannelOpening::NotAnswered;
    }
    // Before a single byte goes either way: another program's pipe hears nothing from this
    // console, and whatever it has written is never read.
    if (const ChannelServerVerdict verdict = CheckChannelServer(m_pipe.get());
        verdict != ChannelServerVerdict::Service) {
        m_pipe.reset();
        return verdict == ChannelServerVerdict::Impostor ? ChannelOpening::HeldByAnother
                                                         : ChannelOpening::NotAnswered;
    }
    ::ResetEvent(m_hStop.get());
    if (!Write(ChannelKind::ConsoleHello) || !AwaitHello(waitMs)) {
        close();
        return ChannelOpening::NotAnswered;
    }
    m_bBroken.store(false);
    m_reader = std::thread([this] { ReadNotices(); });
    return ChannelOpening::Answered;
}

// Notices that come before the answer are passed on like any other.
bool CWin32ChannelClient::AwaitHello(unsigned waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        ChannelRecord record;
        if (left.count() <= 0 ||
            AwaitRecord(static_cast<DWORD>(left.count()), record) != ReadOutcome::Record) {
            return false;
        }
        Deliver(record);
        if (record.kind == ChannelKind::ServiceHello) {
            return true;
        }
    }
}

bool CWin32ChannelClient::isOpen() const {
    return m_pipe.isValid() && !m_bBroken.load();
}

bool CWin32ChannelClient::send(ChannelKind kind) {
    if (!isOpen()) {
        return false;
    }
    if (!Write(kind)) {
        m_bBroken.store(true);
        return false;
    }
    return true;
}

bool CWin32ChannelClient::Write(ChannelKind kind) {
    const std::lock_guard<std::mutex> lock(m_writeMutex);
    EncodeRecord(ChannelRecord{kind, 0}, m_writeBuffer);
    if (BeginWrite(m_pipe.get(), m_write, m_writeBuffer, sizeof m_writeBuffer) == PipeStart::Failed) {
        return false;
    }
    if (::WaitForSingleObject(m_write.event.get(), kWriteWaitMs) != WAIT_OBJECT_0) {
        CancelOperation(m_pipe.get(), m_write);
        return false;
    }
    const PipeResult result = FinishOperation(m_pipe.get(), m_write);
    if (!result.bSucceeded || result.bytes != channel::kRecordSize) {
        return false;
    }
    m_nLastSentMs.store(::GetTickCount64());
    return true;
}

// One record, or why there is none: waitMs of silence, the stop, or a pipe that failed or
// carried anything but a notice. A read still pending when it returns goes on for the next call.
CWin32ChannelClient::ReadOutcome CWin32ChannelClient::AwaitRecord(DWORD waitMs, ChannelRecord& record) {
    if (!m_read.bPending &&
        BeginRead(m_pipe.get(), m_read, m_readBuffer, sizeof m_readBuffer) == PipeStart::Failed) {
        return ReadOutcome::Broken;
    }
    const HANDLE handles[] = {m_hStop.get(), m_read.event.get()};
    const DWORD signalled = ::WaitForMultipleObjects(2, handles, FALSE, waitMs);
    if (signalled != WAIT_OBJECT_0 + 1) {
        return signalled == WAIT_TIMEOUT ? ReadOutcome::Quiet : ReadOutcome::Stopped;
    }
    const PipeResult result = FinishOperation(m_pipe.get(), m_read);
    const std::size_t size = result.bSucceeded ? result.bytes : sizeof m_readBuffer;
    if (!result.bSucceeded && result.error != ERROR_MORE_DATA) {
        return ReadOutcome::Broken;
    }
    const DecodedRecord decoded = DecodeRecord(m_readBuffer, size);
    if (decoded.fault != RecordFault::None || !IsServiceNotice(decoded.record.kind)) {
        return ReadOutcome::Broken;
    }
    record = decoded.record;
    return ReadOutcome::Record;
}

void CWin32ChannelClient::ReadNotices() {
    for (;;) {
        ChannelRecord record;
        switch (AwaitRecord(QuietLeftMs(), record)) {
            case ReadOutcome::Record: Deliver(record); break;
            case ReadOutcome::Quiet:
                if (QuietLeftMs() == 0 && !Write(ChannelKind::ConsoleHello)) {
                    m_bBroken.store(true);
                    return;
                }
                break;
            case ReadOutcome::Stopped: return;
            case ReadOutcome::Broken: m_bBroken.store(true); return;
        }
    }
}

// Until the next hello is due.
DWORD CWin32ChannelClient::QuietLeftMs() const {
    const ULONGLONG silent = ::GetTickCount64() - m_nLastSentMs.load();
    return silent >= m_dwKeepAliveMs ? 0 : static_cast<DWORD>(m_dwKeepAliveMs - silent);
}

void CWin32ChannelClient::Deliver(const ChannelRecord& record) const {
    ::PostMessageA(m_hWnd, static_cast<UINT>(record.kind), static_cast<WPARAM>(record.value), 0);
}

void CWin32ChannelClient::close() {
    if (m_reader.joinable()) {
        ::SetEvent(m_hStop.get());
        m_reader.join();
    }
    if (m_pipe) {
        CancelOperation(m_pipe.get(), m_read);
        CancelOperation(m_pipe.get(), m_write);
    }
    m_pipe.reset();
}
