#pragma once
// A client of HoraluxServ's console channel that does whatever a test tells it (connect, send
// any bytes, wait for the server to close its end), every wait bounded. Windows only.

#include <windows.h>

#include <chrono>
#include <cstddef>

#include "common/ChannelPipe_win.h"
#include "common/ChannelProtocol.h"
#include "common/WinHandle_win.h"

inline constexpr DWORD kRawAccess = GENERIC_READ | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;

class CRawClient {
public:
    CRawClient() {
        m_read.MakeEvent();
        m_write.MakeEvent();
    }
    ~CRawClient() { close(); }

    // Connects, waiting for a free instance while the server makes the next one (a loaded
    // machine may keep it waiting for seconds).
    bool connect() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            m_pipe.reset(::CreateFileA(channel::kPipeName, kRawAccess, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OVERLAPPED, nullptr));
            if (m_pipe) {
                return SetMessageMode();
            }
            if (::GetLastError() != ERROR_PIPE_BUSY) {
                return false;
            }
            ::WaitNamedPipeA(channel::kPipeName, 1000);
        }
        return false;
    }

    // One message; false when the pipe refused it or it was not taken within the limit.
    bool write(const void* data, std::size_t size,
               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        if (BeginWrite(m_pipe.get(), m_write, static_cast<const unsigned char*>(data), size) ==
            PipeStart::Failed) {
            return false;
        }
        if (::WaitForSingleObject(m_write.event.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
            CancelOperation(m_pipe.get(), m_write);
            return false;
        }
        return FinishOperation(m_pipe.get(), m_write).bSucceeded;
    }

    // A read that cannot even start finds the pipe closed already.
    void startRead() {
        if (!m_read.bPending && !m_bClosed) {
            m_bClosed = BeginRead(m_pipe.get(), m_read, m_buffer, sizeof m_buffer) == PipeStart::Failed;
        }
    }

    // Whether the server has closed this end (a read ends without a record) within the limit.
    bool closedByServer(std::chrono::milliseconds limit) {
        startRead();
        if (!m_bClosed) {
            if (::WaitForSingleObject(m_read.event.get(), static_cast<DWORD>(limit.count())) !=
                WAIT_OBJECT_0) {
                return false;
            }
            m_bClosed = !FinishOperation(m_pipe.get(), m_read).bSucceeded;
        }
        return m_bClosed;
    }

    HANDLE handle() const { return m_pipe.get(); }

    void close() {
        if (m_pipe) {
            CancelOperation(m_pipe.get(), m_read);
            CancelOperation(m_pipe.get(), m_write);
        }
        m_pipe.reset();
    }

private:
    // A client the server turns away is disconnected as soon as it is in, possibly before its
    // mode is set: it was connected all the same, and a read finds it closed already.
    bool SetMessageMode() {
        DWORD mode = PIPE_READMODE_MESSAGE;
        return ::SetNamedPipeHandleState(m_pipe.get(), &mode, nullptr, nullptr) ||
               closedByServer(std::chrono::seconds(2));
    }

    UniqueFileHandle m_pipe;
    PipeOperation m_read;
    PipeOperation m_write;
    unsigned char m_buffer[channel::kRecordSize + 1] = {};
    bool m_bClosed = false;
};
