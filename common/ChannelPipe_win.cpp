#include "common/ChannelPipe_win.h"

#include <sddl.h>

#include "common/ChannelProtocol.h"

namespace {

// Out and in buffers of an instance: room for a few records; a writer that fills them waits.
constexpr DWORD kPipeBufferBytes = 4096;
// A cancelled operation lets go of its buffer at once; this bound only keeps a wait finite.
constexpr DWORD kCancelWaitMs = 1000;
// Read and write, and set the pipe's read mode; not enough to make an instance of the pipe.
constexpr DWORD kClientAccess = GENERIC_READ | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;

// Whatever the start of an operation returned, as the rest of the code sees it.
PipeStart Started(PipeOperation& operation, BOOL bDone, DWORD error, DWORD waitingError) {
    operation.dwStartError = bDone ? 0 : error;
    if (bDone || error == waitingError || error == ERROR_IO_PENDING) {
        operation.bPending = true;
        if (bDone || error != ERROR_IO_PENDING) {
            ::SetEvent(operation.event.get());  // finished already: handled like any completion
        }
        return PipeStart::Waiting;
    }
    return PipeStart::Failed;
}

}  // namespace

void MakePipeSecurity(PipeSecurity& security) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(channel::kPipeSecurity, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        security.error = ::GetLastError();
        return;
    }
    security.descriptor.reset(descriptor);
    security.attributes.nLength = sizeof security.attributes;
    security.attributes.lpSecurityDescriptor = descriptor;
    security.attributes.bInheritHandle = FALSE;
}

UniqueFileHandle CreatePipeInstance(SECURITY_ATTRIBUTES& attributes, bool bFirst) {
    const DWORD openMode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (bFirst ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD pipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    // Beside the clients, one instance for a client beyond them, let in and closed at once, and
    // the next one listening.
    const DWORD instances = static_cast<DWORD>(channel::kMaxClients + 2);
    return UniqueFileHandle(::CreateNamedPipeA(channel::kPipeName, openMode, pipeMode, instances,
                                               kPipeBufferBytes, kPipeBufferBytes, 0, &attributes));
}

bool IsPipeNameTaken(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY;
}

UniqueFileHandle ConnectToChannel() {
    UniqueFileHandle pipe(
        ::CreateFileA(channel::kPipeName, kClientAccess, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (pipe && !::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        pipe.reset();
    }
    return pipe;
}

bool PipeOperation::MakeEvent() {
    event.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return event.isValid();
}

PipeStart BeginConnect(HANDLE pipe, PipeOperation& operation) {
    operation.overlapped = OVERLAPPED{};
    operation.overlapped.hEvent = operation.event.get();
    const BOOL bDone = ::ConnectNamedPipe(pipe, &operation.overlapped);
    return Started(operation, bDone, bDone ? 0 : ::GetLastError(), ERROR_PIPE_CONNECTED);
}

PipeStart BeginRead(HANDLE pipe, PipeOperation& operation, unsigned char* buffer, std::size_t size) {
    operation.overlapped = OVERLAPPED{};
    operation.overlapped.hEvent = operation.event.get();
    const BOOL bDone = ::ReadFile(pipe, buffer, static_cast<DWORD>(size), nullptr, &operation.overlapped);
    return Started(operation, bDone, bDone ? 0 : ::GetLastError(), ERROR_MORE_DATA);
}

PipeStart BeginWrite(HANDLE pipe, PipeOperation& operation, const unsigned char* buffer, std::size_t size) {
    operation.overlapped = OVERLAPPED{};
    operation.overlapped.hEvent = operation.event.get();
    const BOOL bDone = ::WriteFile(pipe, buffer, static_cast<DWORD>(size), nullptr, &operation.overlapped);
    return Started(operation, bDone, bDone ? 0 : ::GetLastError(), ERROR_IO_PENDING);
}

PipeResult FinishOperation(HANDLE pipe, PipeOperation& operation) {
    PipeResult result;
    operation.bPending = false;
    if (operation.dwStartError == ERROR_PIPE_CONNECTED) {
        result.bSucceeded = true;
        return result;
    }
    result.bSucceeded = ::GetOverlappedResult(pipe, &operation.overlapped, &result.bytes, FALSE) != FALSE;
    result.error = result.bSucceeded ? 0 : ::GetLastError();
    return result;
}

void CancelOperation(HANDLE pipe, PipeOperation& operation) {
    if (!operation.bPending) {
        return;
    }
    ::CancelIoEx(pipe, &operation.overlapped);
    ::WaitForSingleObject(operation.event.get(), kCancelWaitMs);
    operation.bPending = false;
}
