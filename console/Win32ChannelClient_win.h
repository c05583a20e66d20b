#pragma once
// Win32 adapter of the console's channel port: a client of the service's pipe. Before it says
// anything it makes sure that the pipe's server is the service (common/ChannelServerCheck.h),
// and closes the pipe of any other server unused. The hello is answered on the caller's thread, within the
// wait it is given; from then on a reader thread of its own waits for the service's records, posts each to
// the main window as its window message, and says hello again when the console has sent nothing for
// channel::kKeepAliveMs, so that the service keeps it (notices coming in do not count: the service hears only
// what the console sends). The reader never touches a window but by posting. Include only from Windows-only
// files.

#include <windows.h>

#include "common/ChannelPipe_win.h"
#include "console/ChannelClient.h"

#include <atomic>
#include <mutex>
#include <thread>

class CWin32ChannelClient final : public ChannelClient {
public:
    // keepAliveMs: how long the console may stay silent; shorter only in tests.
    explicit CWin32ChannelClient(DWORD keepAliveMs = channel::kKeepAliveMs);
    ~CWin32ChannelClient() override;
    CWin32ChannelClient(const CWin32ChannelClient&) = delete;
    CWin32ChannelClient& operator=(const CWin32ChannelClient&) = delete;

    // The window that receives the service's answers, once it exists.
    void attach(HWND hWnd) { m_hWnd = hWnd; }

    ChannelOpening open(unsigned waitMs) override;
    bool isOpen() const override;
    bool send(ChannelKind kind) override;
    // Ends the reader and the connection; bounded.
    void close();

    // The longest a request may take to be written.
    static constexpr DWORD kWriteWaitMs = 1000;

private:
    enum class ReadOutcome { Record, Quiet, Stopped, Broken };

    bool AwaitHello(unsigned waitMs);
    bool Write(ChannelKind kind);
    ReadOutcome AwaitRecord(DWORD waitMs, ChannelRecord& record);
    void ReadNotices();
    DWORD QuietLeftMs() const;
    void Deliver(const ChannelRecord& record) const;

    const DWORD m_dwKeepAliveMs;
    HWND m_hWnd = nullptr;
    UniqueFileHandle m_pipe;
    UniqueKernelHandle m_hStop;
    PipeOperation m_read;
    PipeOperation m_write;
    unsigned char m_readBuffer[channel::kRecordSize + 1] = {};
    ChannelBytes m_writeBuffer = {};
    std::mutex m_writeMutex;
    std::thread m_reader;
    std::atomic<bool> m_bBroken{false};
    std::atomic<ULONGLONG> m_nLastSentMs{0};
};
