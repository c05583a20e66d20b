// A program that makes the console channel's pipe before HoraluxServ can, as any user's program
// started at logon could: the tests' stand-in for it. It makes the pipe with a single instance,
// so that Wine, which lets a second program join a pipe that has room, refuses the service as
// Windows does. Every client hears at once the service's hello and a successful synchronisation
// that never happened; what each client sends is written, one line a record, to the file named
// on the command line, which begins with "holding" once the pipe is made. It ends by itself
// after five minutes, and every wait is bounded.
//
//   horalux_channel_squatter.exe REPORT-FILE

#include <windows.h>

#include "common/ChannelPipe_win.h"
#include "common/ChannelProtocol.h"
#include "common/LogResult.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr auto kLifetime = std::chrono::minutes(5);
// A client that sends nothing for this long is let go.
constexpr DWORD kReadLimitMs = 10000;
constexpr DWORD kRetryMs = 50;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using Report = std::unique_ptr<std::FILE, FileCloser>;

void Say(const Report& report, const std::string& line) {
    std::fputs(line.c_str(), report.get());
    std::fputc('\n', report.get());
    std::fflush(report.get());
}

bool Finished(HANDLE pipe, PipeOperation& operation, DWORD limitMs, PipeResult& result) {
    if (::WaitForSingleObject(operation.event.get(), limitMs) != WAIT_OBJECT_0) {
        CancelOperation(pipe, operation);
        return false;
    }
    result = FinishOperation(pipe, operation);
    return result.bSucceeded;
}

void Fake(HANDLE pipe, PipeOperation& write) {
    for (const ChannelRecord& record : {ChannelRecord{ChannelKind::ServiceHello, 0},
                                        ChannelRecord{ChannelKind::SyncResult, LOG_SUCCEEDED}}) {
        ChannelBytes bytes;
        EncodeRecord(record, bytes);
        PipeResult result;
        if (BeginWrite(pipe, write, bytes, sizeof bytes) == PipeStart::Failed ||
            !Finished(pipe, write, kReadLimitMs, result)) {
            return;
        }
    }
}

void Listen(HANDLE pipe, PipeOperation& read, const Report& report) {
    for (;;) {
        unsigned char bytes[channel::kRecordSize + 1] = {};
        PipeResult result;
        if (BeginRead(pipe, read, bytes, sizeof bytes) == PipeStart::Failed ||
            !Finished(pipe, read, kReadLimitMs, result)) {
            return;
        }
        const DecodedRecord decoded = DecodeRecord(bytes, result.bytes);
        Say(report, decoded.fault == RecordFault::None
                        ? "heard " + std::to_string(static_cast<unsigned>(decoded.record.kind))
                        : "heard something else");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: horalux_channel_squatter REPORT-FILE\n", stderr);
        return 2;
    }
    const Report report(std::fopen(argv[1], "w"));
    const UniqueFileHandle pipe(
        ::CreateNamedPipeA(channel::kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    PipeOperation connect;
    PipeOperation read;
    PipeOperation write;
    if (!report || !pipe || !connect.MakeEvent() || !read.MakeEvent() || !write.MakeEvent()) {
        std::fprintf(stderr, "horalux_channel_squatter: could not start (%lu)\n", ::GetLastError());
        return 1;
    }
    Say(report, "holding");
    const auto end = std::chrono::steady_clock::now() + kLifetime;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        PipeResult result;
        if (BeginConnect(pipe.get(), connect) == PipeStart::Failed) {
            ::Sleep(kRetryMs);  // a client that came and went: the next one, a little later
        } else if (Finished(pipe.get(), connect, static_cast<DWORD>(left.count()), result)) {
            Say(report, "connected");
            Fake(pipe.get(), write);
            Listen(pipe.get(), read, report);
        }
        ::DisconnectNamedPipe(pipe.get());
    }
    return 0;
}
