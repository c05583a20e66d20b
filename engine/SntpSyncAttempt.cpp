#include "engine/SntpSyncAttempt.h"

#include "sntp/ServerSample.h"

CSntpSyncAttempt::CSntpSyncAttempt(const SystemClock& clock, LogSink& log, MonotonicClock& monotonic,
                                   DatagramTransport& transport, std::shared_ptr<NameLookup> lookup, int port)
    : m_clock(clock),
      m_log(log),
      m_monotonic(monotonic),
      m_transport(transport),
      m_pacer(monotonic),
      m_resolver(std::move(lookup), monotonic),
      m_nPort(port) {}

SyncOutcome CSntpSyncAttempt::attempt(const std::string& host, const std::atomic<bool>& stop) {
    SampleContext context{m_clock, m_log, m_monotonic, m_transport, m_pacer, m_resolver};
    context.stop = &stop;
    context.port = m_nPort;
    return sampleServer(host, context);
}
