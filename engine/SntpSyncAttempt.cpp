#include "engine/SntpSyncAttempt.h"

#include "sntp/TimeSync.h"

CSntpSyncAttempt::CSntpSyncAttempt(SystemClock& clock, TimePrivilege& privilege, LogSink& log,
                                   MonotonicClock& monotonic, DatagramTransport& transport,
                                   std::shared_ptr<NameLookup> lookup, int port)
    : m_clock(clock),
      m_privilege(privilege),
      m_log(log),
      m_monotonic(monotonic),
      m_transport(transport),
      m_pacer(monotonic),
      m_resolver(std::move(lookup), monotonic),
      m_nPort(port) {}

SyncOutcome CSntpSyncAttempt::attempt(const std::string& host, const std::atomic<bool>& stop) {
    SyncContext context{m_clock, m_privilege, m_log, m_monotonic, m_transport, m_pacer, m_resolver};
    context.stop = &stop;
    context.port = m_nPort;
    return synchronizeWithServer(host, context);
}
