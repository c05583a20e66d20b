// HoraluxServ -status's Win32 side: one status request over the console channel, to a pipe
// whose server is the service's own process, and the history file beside the settings.

#include "service/StatusCommand.h"

#include <windows.h>

#include "common/ChannelPipe_win.h"
#include "common/ChannelServerCheck_win.h"
#include "common/ProductFacts.h"
#include "engine/Win32EnginePorts_win.h"
#include "service/HostPlatform_win.h"
#include "settings/WorkingDirectory.h"

#include <chrono>

namespace {

// How long the service has to answer: its channel answers within a tick (a quarter second),
// so this allows for a loaded machine.
constexpr DWORD kAnswerWaitMs = 5000;
// How long a busy pipe (every instance taken) is waited for before the service counts as silent.
constexpr DWORD kBusyWaitMs = 2000;

UniqueFileHandle OpenChannel() {
    UniqueFileHandle pipe = ConnectToChannel();
    if (!pipe && ::GetLastError() == ERROR_PIPE_BUSY && ::WaitNamedPipeA(channel::kPipeName, kBusyWaitMs)) {
        pipe = ConnectToChannel();
    }
    return pipe;
}

DWORD MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// Starts op and waits for it until deadline; a pending operation is cancelled on the way out.
bool Complete(HANDLE pipe, PipeOperation& op, PipeStart start, std::chrono::steady_clock::time_point deadline,
              PipeResult& result) {
    if (start == PipeStart::Failed) {
        return false;
    }
    if (::WaitForSingleObject(op.event.get(), MillisecondsLeft(deadline)) != WAIT_OBJECT_0) {
        CancelOperation(pipe, op);
        return false;
    }
    result = FinishOperation(pipe, op);
    return result.bSucceeded;
}

// The request, then the answer's records; anything else on the pipe ends the reading.
bool Exchange(HANDLE pipe, CClockStatusCollector& collector) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
    PipeOperation write;
    PipeOperation read;
    if (!write.MakeEvent() || !read.MakeEvent()) {
        return false;
    }
    ChannelBytes request;
    EncodeRecord(ChannelRecord{ChannelKind::StatusRequest, 0}, request);
    PipeResult result;
    if (!Complete(pipe, write, BeginWrite(pipe, write, request, sizeof request), deadline, result)) {
        return false;
    }
    while (!collector.IsComplete()) {
        unsigned char buffer[channel::kRecordSize + 1] = {};
        if (!Complete(pipe, read, BeginRead(pipe, read, buffer, sizeof buffer), deadline, result)) {
            return false;
        }
        const DecodedRecord decoded = DecodeRecord(buffer, result.bytes);
        if (decoded.fault == RecordFault::None && decoded.record.kind == ChannelKind::SyncResult) {
            continue;  // a result that went out to every console that spoke: not this client's concern
        }
        if (decoded.fault != RecordFault::None || !collector.Take(decoded.record)) {
            return false;
        }
    }
    return true;
}

// Nothing when the service answered.
std::optional<NoAnswer> AskService(CClockStatusCollector& collector) {
    const UniqueFileHandle pipe = OpenChannel();
    if (!pipe) {
        return ::GetLastError() == ERROR_ACCESS_DENIED ? NoAnswer::Refused : NoAnswer::Silent;
    }
    // Nothing is written to a pipe another program serves, and nothing it says is read.
    const ChannelServerVerdict verdict = CheckChannelServer(pipe.get());
    if (verdict != ChannelServerVerdict::Service) {
        return verdict == ChannelServerVerdict::Impostor ? NoAnswer::HeldByAnother : NoAnswer::Silent;
    }
    if (!Exchange(pipe.get(), collector)) {
        return NoAnswer::Silent;
    }
    return std::nullopt;
}

std::vector<HistoryRow> ReadHistoryRows() {
    std::vector<HistoryRow> rows;
    const std::string directory = WindowsDirectory();
    if (!directory.empty()) {
        ReadHistory(directory + "\\" + kHistoryFileName, rows);  // an unreadable history is no history
    }
    return rows;
}

}  // namespace

int RunStatusCommand() {
    CClockStatusCollector collector;
    const std::optional<NoAnswer> noAnswer = AskService(collector);
    const std::vector<HistoryRow> rows = ReadHistoryRows();
    const StatusOutput output =
        noAnswer ? DescribeNoAnswer(*noAnswer,
                                    rows.empty() ? std::nullopt : std::optional<HistoryRow>(rows.back()))
                 : DescribeStatus(collector.Report(), NewestSuccess(rows), CWin32LocalClock().nowLocal());
    for (const std::string& line : output.lines) {
        WriteStandardOutput(line + "\r\n");
    }
    return output.exitCode;
}
