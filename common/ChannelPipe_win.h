#pragma once
// Overlapped I/O on the console channel's pipe, for the service's server and the console's
// client alike: every operation is started here and finished once its event is set, and every
// wait for one is bounded. Windows only.

#include <windows.h>

#include "common/WinHandle_win.h"

#include <cstddef>

// The security descriptor of the pipe (channel::kPipeSecurity), for every instance.
struct PipeSecurity {
    UniqueLocalMemory descriptor;
    SECURITY_ATTRIBUTES attributes{};
    DWORD error = 0;  // why there is no descriptor
};
void MakePipeSecurity(PipeSecurity& security);

// A listening instance; bFirst refuses to share the name with another program's pipe. An
// empty handle leaves the reason in GetLastError.
UniqueFileHandle CreatePipeInstance(SECURITY_ATTRIBUTES& attributes, bool bFirst);
// Whether the first instance failed for this error because another program holds the name.
// Windows refuses the first instance of any existing name with ERROR_ACCESS_DENIED. Wine ignores
// bFirst and joins the other program's pipe when it can: it refuses only a pipe with no free
// instance (ERROR_PIPE_BUSY) or of another direction (ERROR_ACCESS_DENIED).
bool IsPipeNameTaken(DWORD error);

// A client's end of the pipe in message mode, or empty (the reason in GetLastError): no pipe, or
// every instance busy; it never waits for one. Identification only: a program that holds the
// pipe's name in the service's stead cannot act as the client's user.
UniqueFileHandle ConnectToChannel();

// One operation on a pipe, with its event (manual reset).
struct PipeOperation {
    UniqueKernelHandle event;
    OVERLAPPED overlapped{};
    bool bPending = false;
    // What the start returned besides "pending": a client that connected before the instance
    // was told to listen leaves nothing in the overlapped record to read back.
    DWORD dwStartError = 0;

    bool MakeEvent();
};

// How a started operation goes on: wait for its event, or it failed at once.
enum class PipeStart { Waiting, Failed };
// A client that connected between the instance's creation and this call counts as connected
// (the event is then set at once).
PipeStart BeginConnect(HANDLE pipe, PipeOperation& operation);
// A message longer than size is reported when finished, as ERROR_MORE_DATA.
PipeStart BeginRead(HANDLE pipe, PipeOperation& operation, unsigned char* buffer, std::size_t size);
PipeStart BeginWrite(HANDLE pipe, PipeOperation& operation, const unsigned char* buffer, std::size_t size);

// The outcome of an operation whose event is set.
struct PipeResult {
    bool bSucceeded = false;
    DWORD bytes = 0;
    DWORD error = 0;
};
PipeResult FinishOperation(HANDLE pipe, PipeOperation& operation);

// Cancels an operation still pending and waits (bounded) until the system has let go of its
// buffer.
void CancelOperation(HANDLE pipe, PipeOperation& operation);
