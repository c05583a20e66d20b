#pragma once
// HoraluxServ -q: asks a time server a few times, with the exchange and the reply checks of a
// run and its four-second spacing per address, and prints a line per sample and a summary
// (QueryReport). It only reads the clock, and writes neither the log, nor the record, nor the
// settings file, so an administrator may run it without rights and while the service runs.
//
// The name is looked up once, bounded by the reply's time-out; the samples then go to its
// addresses in turn, so that every address of a name shows what it answers. A sample is one
// exchange.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/LocalClock.h"
#include "engine/QueryReport.h"
#include "settings/PolicySource.h"
#include "settings/ProfileStore.h"
#include "sntp/DatagramTransport.h"
#include "sntp/HostResolver.h"
#include "sntp/MonotonicClock.h"
#include "sntp/SntpQuery.h"
#include "sntp/SystemClock.h"

struct QueryPorts {
    const SystemClock& clock;      // read, never set
    const LocalClock& localClock;  // the time each line shows
    MonotonicClock& monotonic;     // the spacing between two requests to one address, the deadlines
    DatagramTransport& transport;  // the requests and the replies
    CHostResolver& resolver;
    std::function<void(const std::string&)> print;  // one line, without its line end
    ErrorTextFunction errorText;
    int port = 123;
    std::uint32_t timeoutMs = SntpQuery::kDefaultTimeoutMs;
};

// Exit codes of HoraluxServ -q.
constexpr int kQueryAnswered = 0;    // at least one sample was valid
constexpr int kQueryUnanswered = 1;  // none was, or the name could not be resolved
constexpr int kQueryBadCommand = 2;  // a sample count out of range, or no server to ask

constexpr int kDefaultQuerySamples = 4;
constexpr int kMaxQuerySamples = 100;

// The text after -n: a whole number from 1 to kMaxQuerySamples, nothing else.
std::optional<int> ParseSampleCount(const std::string& text);

// A server as -q takes it: host and port of a server typed as the lines print addresses
// ("192.0.2.1:123", "[2001:db8::1]:123", "host:123") or without a port (defaultPort then). An
// IPv6 address without brackets has no port; a bracketed one stays bracketed for the resolver.
// Nothing for a port that is not 1 to 65535 in digits alone, or for an empty host.
struct QueryTarget {
    std::string host;
    int port;
};
std::optional<QueryTarget> ParseQueryTarget(const std::string& text, int defaultPort);

// The address of the server a run starts with, read from the settings file as the service reads
// it (with what policy sets over it), but without writing: a list the service would rebuild
// stays rebuilt in memory only. Empty when there is none.
std::string StartingServerAddress(const ProfileStore& store, const PolicySource* policy = nullptr);

class CServerQuery {
public:
    explicit CServerQuery(QueryPorts ports);

    // HoraluxServ -q [server] [-n count]: without a server, the starting server of the settings
    // file (read through store, with what policy sets over it); without a count,
    // kDefaultQuerySamples. A server given may carry a port as the lines print addresses
    // ("192.0.2.1:123", "[2001:db8::1]:123"). Returns the exit code.
    int RunCommand(const std::optional<std::string>& server, const std::optional<std::string>& sampleCount,
                   const ProfileStore& store, const PolicySource* policy = nullptr);
    // Asks server samples times, printing as it goes; returns the exit code.
    int Run(const std::string& server, int samples);

private:
    int RunOn(const std::string& server, int port, int samples);
    int Refuse(const std::string& reason);
    QuerySample TakeSample(SntpQuery& query, const NetAddress& address);

    QueryPorts m_ports;
};
