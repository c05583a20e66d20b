// Measures how far the offset one exchange estimates lies from the true one.
//
//   sntp_accuracy serve OFFSET [JITTER_MS]   a fake server on a free 127.0.0.x:123 whose clock is
//                                            OFFSET s ahead, its answers delayed by a random 0 to
//                                            JITTER_MS ms each way; prints its address, runs until
//                                            killed
//   sntp_accuracy query ADDRESS COUNT TRUE   COUNT exchanges with ADDRESS:123, 20 ms apart
//   sntp_accuracy stats TRUE                 the same figures for "offset [delay]" lines on stdin
//   sntp_accuracy sync ADDRESS               one synchronisation attempt with the machine's clock
//
// query and stats print: ok=<n>/<count> median_err_us=<..> p95_err_us=<..> median_delay_us=<..>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/LogSink.h"
#include "sntp/NameLookup.h"
#include "sntp/NetAddress.h"
#include "sntp/ServerSample.h"
#include "sntp/SntpQuery.h"
#include "sntp/SocketLibrary.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "tools/kit/FakeSntpServer.h"

namespace {

constexpr int kNtpPort = 123;
constexpr std::chrono::milliseconds kQueryInterval{20};

struct Samples {
    std::vector<double> errors;  // |estimated - true| in seconds
    std::vector<double> delays;  // seconds; empty when the client does not report them
    int attempts = 0;
};

// Nearest-rank percentile of an unsorted list; NaN for an empty one.
double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return std::nan("");
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

void print(const Samples& s) {
    std::printf("ok=%zu/%d median_err_us=%.1f p95_err_us=%.1f median_delay_us=%.1f\n", s.errors.size(),
                s.attempts, percentile(s.errors, 50) * 1e6, percentile(s.errors, 95) * 1e6,
                percentile(s.delays, 50) * 1e6);
}

int serve(double offset, double jitterMs) {
    CFakeSntpServer server;
    FakeReply reply = FakeReply::offsetBy(offset);
    reply.jitter = std::chrono::microseconds(static_cast<std::int64_t>(jitterMs * 1000.0));
    server.answerWith(reply);
    if (!server.startOnFreeLoopbackAddress(kNtpPort)) {
        std::fprintf(stderr, "cannot bind a loopback address on port %d: %d\n", kNtpPort,
                     socket_platform::lastError());
        return 1;
    }
    std::printf("%s\n", server.address().c_str());
    std::fflush(stdout);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

int query(const std::string& address, int count, double trueOffset) {
    const CSocketLibrary library;
    const auto clock = makeSystemClock();
    CSteadyClock steady;
    CSocketTransport sockets(steady);
    // Loopback and our own servers: no courtesy spacing needed.
    CQueryPacer pacer(steady, std::chrono::milliseconds(0));
    SntpQuery sntp(ExchangePorts{*clock, steady, sockets}, pacer);
    const std::optional<NetAddress> server = parseAddressLiteral(address, kNtpPort);
    if (!server) {
        std::fprintf(stderr, "not an address: %s\n", address.c_str());
        return 2;
    }
    Samples samples;
    for (; samples.attempts < count; ++samples.attempts) {
        SntpResponse response;
        if (sntp.exchange(*server, response).bSucceeded) {
            samples.errors.push_back(std::fabs(response.clockOffset - trueOffset));
            samples.delays.push_back(response.roundTripDelay);
        }
        std::this_thread::sleep_for(kQueryInterval);
    }
    print(samples);
    return samples.errors.empty() ? 1 : 0;
}

int stats(double trueOffset) {
    Samples samples;
    std::string line;
    while (std::getline(std::cin, line)) {
        ++samples.attempts;
        std::istringstream fields(line);
        double offset = 0.0;
        double delay = 0.0;
        if (!(fields >> offset)) {
            continue;
        }
        samples.errors.push_back(std::fabs(offset - trueOffset));
        if (fields >> delay) {
            samples.delays.push_back(delay);
        }
    }
    print(samples);
    return 0;
}

class CStdoutLog : public LogSink {
public:
    void write(const std::string& text, int resultCode, double) override {
        std::printf("log %d: %s\n", resultCode, text.c_str());
    }
};

// One sample as a run takes it: the exchange, its checks and the year test, nothing set.
int sample(const std::string& address) {
    const auto clock = makeSystemClock();
    CStdoutLog log;
    CSteadyClock steady;
    CSocketTransport sockets(steady);
    CQueryPacer pacer(steady);
    CHostResolver resolver(std::make_shared<CSystemNameLookup>(), steady);
    const SyncOutcome outcome =
        sampleServer(address, SampleContext{*clock, log, steady, sockets, pacer, resolver});
    std::printf("sample ok=%d failure=%d error=%d offset_us=%.1f delay_us=%.1f\n", outcome.bSucceeded ? 1 : 0,
                static_cast<int>(outcome.failure), outcome.nError, outcome.clockOffset * 1e6,
                outcome.roundTripDelay * 1e6);
    return outcome.bSucceeded ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: sntp_accuracy serve OFFSET [JITTER_MS] | query ADDRESS COUNT TRUE_OFFSET | stats "
                 "TRUE_OFFSET | "
                 "sample ADDRESS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if ((args.size() == 2 || args.size() == 3) && args[0] == "serve") {
        return serve(std::atof(args[1].c_str()), args.size() == 3 ? std::atof(args[2].c_str()) : 0.0);
    }
    if (args.size() == 4 && args[0] == "query") {
        return query(args[1], std::atoi(args[2].c_str()), std::atof(args[3].c_str()));
    }
    if (args.size() == 2 && args[0] == "stats") {
        return stats(std::atof(args[1].c_str()));
    }
    if (args.size() == 2 && args[0] == "sample") {
        return sample(args[1]);
    }
    return usage();
}
