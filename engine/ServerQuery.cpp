#include "engine/ServerQuery.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <vector>

#include "common/TextFormat.h"
#include "settings/Settings.h"
#include "sntp/QueryPacer.h"
#include "sntp/ServerSample.h"
#include "sntp/SocketLibrary.h"

namespace {

constexpr std::size_t kMaxSampleDigits = 3;
constexpr unsigned long kWriteRefused = 5;  // the platform's "access denied"

// Reads through to a store and refuses every write, so that loading the settings changes nothing.
class CReadOnlyProfileStore final : public ProfileStore {
public:
    explicit CReadOnlyProfileStore(const ProfileStore& store) : m_store(store) {}

    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& def, std::size_t capacity) const override {
        return m_store.readString(file, section, key, def, capacity);
    }
    std::vector<std::string> readKeys(const std::string& file, const std::string& section) const override {
        return m_store.readKeys(file, section);
    }
    SystemResult writeString(const std::string&, const std::string&, const std::string&,
                             const std::string&) override {
        return SystemResult::failure(kWriteRefused);
    }
    SystemResult copyFile(const std::string&, const std::string&) override {
        return SystemResult::failure(kWriteRefused);
    }

private:
    const ProfileStore& m_store;
};

constexpr std::size_t kMaxPortDigits = 5;

// Decimal digits alone, at most maxDigits of them.
std::optional<int> ParseDigits(const std::string& text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return std::nullopt;
    }
    return std::stoi(text);
}

// A port as the lines print it: 1 to 65535.
std::optional<int> ParsePort(const std::string& text) {
    const std::optional<int> digits = ParseDigits(text, kMaxPortDigits);
    const std::optional<std::uint16_t> port = digits ? toPeerPort(*digits) : std::nullopt;
    return port ? std::optional<int>(*port) : std::nullopt;
}

std::string ResolutionFailure(const std::string& server, const Resolution& resolution,
                              const QueryPorts& ports) {
    if (resolution.status == Resolution::Status::TimedOut) {
        return FormatText("Cannot resolve %s: no answer within %u ms", server.c_str(), ports.timeoutMs);
    }
    const std::string text = ports.errorText ? ports.errorText(resolution.nError) : std::string();
    return FormatText("Cannot resolve %s: %s (error %d)", server.c_str(),
                      text.empty() ? "no address" : text.c_str(), resolution.nError);
}

}  // namespace

std::optional<int> ParseSampleCount(const std::string& text) {
    const std::optional<int> count = ParseDigits(text, kMaxSampleDigits);
    return count && *count >= 1 && *count <= kMaxQuerySamples ? count : std::nullopt;
}

std::string StartingServerAddress(const ProfileStore& store, const PolicySource* policy) {
    CReadOnlyProfileStore readOnly(store);
    CSettings settings(readOnly, nullptr);
    settings.SetPolicySource(policy);
    settings.Load();
    const CTimeServerList& servers = settings.m_servers;
    const bool bListed = settings.m_nStartingServ >= 0 && settings.m_nStartingServ < servers.GetCount();
    return bListed ? servers.GetAt(settings.m_nStartingServ).m_strAddress : std::string();
}

std::optional<QueryTarget> ParseQueryTarget(const std::string& text, int defaultPort) {
    const std::size_t close = text.rfind(']');
    const std::size_t colon = text.rfind(':');
    const bool bBracketed = !text.empty() && text.front() == '[' && close != std::string::npos;
    const bool bOneColon = !bBracketed && colon != std::string::npos && text.find(':') == colon;
    const bool bPortAfterBracket = bBracketed && close + 1 < text.size();
    if (!bOneColon && !bPortAfterBracket) {
        return QueryTarget{text, defaultPort};
    }
    const std::size_t hostEnd = bBracketed ? close + 1 : colon;
    if (hostEnd == 0 || text[hostEnd] != ':') {
        return std::nullopt;
    }
    const std::optional<int> port = ParsePort(text.substr(hostEnd + 1));
    return port ? std::optional<QueryTarget>(QueryTarget{text.substr(0, hostEnd), *port}) : std::nullopt;
}

CServerQuery::CServerQuery(QueryPorts ports) : m_ports(std::move(ports)) {}

int CServerQuery::RunCommand(const std::optional<std::string>& server,
                             const std::optional<std::string>& sampleCount, const ProfileStore& store,
                             const PolicySource* policy) {
    const std::optional<int> samples = sampleCount ? ParseSampleCount(*sampleCount) : kDefaultQuerySamples;
    if (!samples) {
        return Refuse(FormatText("Not a sample count: \"%s\".", sampleCount->c_str()));
    }
    if (server) {
        const std::optional<QueryTarget> target = ParseQueryTarget(*server, m_ports.port);
        return target ? RunOn(target->host, target->port, *samples)
                      : Refuse(FormatText("Not a server, or a port that is not 1 to 65535: \"%s\".",
                                          server->c_str()));
    }
    const std::string address = StartingServerAddress(store, policy);
    if (address.empty()) {
        return Refuse("No server given, and the settings file lists none.");
    }
    return Run(address, *samples);
}

int CServerQuery::Run(const std::string& server, int samples) {
    return RunOn(server, m_ports.port, samples);
}

int CServerQuery::RunOn(const std::string& server, int port, int samples) {
    const CSocketLibrary library;  // cleaned up on every way out
    if (!library.status().bStarted) {
        m_ports.print(FormatText("Cannot query: the socket library did not start (error %d).",
                                 library.status().nError));
        return kQueryUnanswered;
    }
    const Resolution resolution =
        m_ports.resolver.Resolve(server, port, std::chrono::milliseconds(m_ports.timeoutMs), nullptr);
    if (resolution.status != Resolution::Status::Resolved || resolution.addresses.empty()) {
        m_ports.print(ResolutionFailure(server, resolution, m_ports));
        return kQueryUnanswered;
    }
    m_ports.print(FormatQueryHeader(server, resolution.addresses, samples));
    CQueryPacer pacer(m_ports.monotonic);
    SntpQuery query(ExchangePorts{m_ports.clock, m_ports.monotonic, m_ports.transport}, pacer, nullptr,
                    m_ports.timeoutMs);
    std::vector<QuerySample> taken;
    for (int i = 0; i < samples; ++i) {
        const NetAddress& address =
            resolution.addresses[static_cast<std::size_t>(i) % resolution.addresses.size()];
        taken.push_back(TakeSample(query, address));
        m_ports.print(FormatSampleLine(taken.back(), m_ports.errorText, m_ports.timeoutMs));
    }
    const QuerySummary summary = SummarizeSamples(taken);
    m_ports.print(FormatSummaryLine(summary));
    return summary.nAnswered > 0 ? kQueryAnswered : kQueryUnanswered;
}

int CServerQuery::Refuse(const std::string& reason) {
    m_ports.print(reason);
    m_ports.print(
        FormatText("Usage: HoraluxServ -q [server[:port]] [-n samples]  (1 to %d samples, %d by default)",
                   kMaxQuerySamples, kDefaultQuerySamples));
    return kQueryBadCommand;
}

QuerySample CServerQuery::TakeSample(SntpQuery& query, const NetAddress& address) {
    QuerySample sample;
    sample.address = address;
    sample.outcome = exchangeWithPlausibleTime(query, address, sample.response);
    sample.localTime = m_ports.localClock.nowLocal();
    return sample;
}
