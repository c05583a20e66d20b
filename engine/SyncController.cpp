#include "engine/SyncController.h"

#include "common/LogResult.h"
#include "common/TextFormat.h"
#include "settings/SyncMode.h"

#include <vector>

namespace {

int startingServer(const CSettings& s) {
    return s.m_nStartingServ;
}

int serverCount(const CSettings& s) {
    return s.m_servers.GetCount();
}

}  // namespace

CSyncController::CSyncController(CEngineSettings& settings, const ControllerPorts& ports,
                                 std::string recordFileName, const BackoffPolicy& policy)
    : m_settings(settings),
      m_ports(ports),
      m_refusalWatch(ports.attempt),
      m_lastSync(std::move(recordFileName), ports.log),
      m_backoff(policy) {}

CSyncController::~CSyncController() {
    BreakRun();
}

bool CSyncController::IsRunning() {
    if (!m_syncThread.IsHeld()) {
        return false;
    }
    if (!m_syncThread.HasFinished()) {
        return true;
    }
    const int exit = m_syncThread.Join();
    if (exit == CSyncRun::kSucceeded) {
        m_bSynchronized.store(m_nRequestsAtRunStart == m_nManualRequests);
        m_lastSync.store(AutomationDate::fromCalendar(m_ports.localClock.nowLocal()));
        m_backoff.RunSucceeded();
        m_nFailuresInRow = 0;
    } else if (exit == CSyncRun::kFailed) {
        ++m_nFailuresInRow;
        if (m_runKind == RunKind::Scheduled) {
            m_backoff.ScheduledRunFailed(m_ports.monotonic.now());
        }
    }
    NoteRefusals();
    return false;
}

void CSyncController::AwaitRun() {
    m_syncThread.AwaitFinished();
    IsRunning();
}

void CSyncController::BreakRun() {
    {
        std::lock_guard<std::mutex> lock(m_commitMutex);
        m_syncThread.RequestStop();
    }
    m_syncThread.Join();  // exit code ignored: a broken run records nothing
    NoteRefusals();
}

void CSyncController::NoteRefusals() {
    for (const std::string& host : m_refusalWatch.TakeRefusedHosts()) {
        m_backoff.ServerRefused(host, m_ports.monotonic.now());
    }
}

void CSyncController::NextServer() {
    const int count = m_settings.Read(serverCount);
    int current = m_nCurServer.load();
    // Against the list as it is now: a reload may have shortened it since the run started.
    while (!m_nCurServer.compare_exchange_weak(current, current + 1 >= count ? 0 : current + 1)) {
    }
    m_nServersTried.fetch_add(1);
}

void CSyncController::PrepareManualRun() {
    m_nCurServer.store(m_settings.Read(startingServer));
    m_bSynchronized.store(false);
    m_nServersTried.store(0);
    ++m_nManualRequests;
}

void CSyncController::Reload(bool resetStartRun) {
    m_nCurServer.store(m_settings.Read(startingServer));
    m_lastSync.load();
    if (resetStartRun) {
        m_bStartRunDone.store(false);
        m_backoff.Reset();
    }
}

std::optional<std::chrono::seconds> CSyncController::SinceLastSync() const {
    const AutomationDate& last = m_lastSync.value();
    if (!last.isValid() || last.days() <= 0.0) {  // the epoch is the value of no record
        return std::nullopt;
    }
    const AutomationDate now = AutomationDate::fromCalendar(m_ports.localClock.nowLocal());
    const std::int32_t seconds = AutomationSpan::between(now, last).wholeSeconds();
    if (seconds < 0) {
        return std::nullopt;
    }
    return std::chrono::seconds(seconds);
}

void CSyncController::ShiftLastSync(std::int32_t seconds) {
    if (m_lastSync.value().isValid()) {
        m_lastSync.store(m_lastSync.value().plusSeconds(seconds));
    }
}

// The entry at the current index; an index the list no longer holds means the first entry.
CTimeServer CSyncController::ServerAt(const CSettings& settings) const {
    const int count = settings.m_servers.GetCount();
    const int index = m_nCurServer.load();
    if (count == 0) {
        return CTimeServer();
    }
    return settings.m_servers.GetAt(index >= 0 && index < count ? index : 0);
}

std::string CSyncController::CurrentServerName() const {
    return m_settings.Read([this](const CSettings& s) { return ServerAt(s).m_strTitle; });
}

std::string CSyncController::CurrentServerHost() const {
    return m_settings.Read([this](const CSettings& s) { return ServerAt(s).m_strAddress; });
}

bool CSyncController::SkipRefusedServers() {
    const std::vector<std::string> addresses = m_settings.Read([](const CSettings& s) {
        std::vector<std::string> list;
        for (int i = 0; i < s.m_servers.GetCount(); ++i) {
            list.push_back(s.m_servers.GetAt(i).m_strAddress);
        }
        return list;
    });
    const int count = static_cast<int>(addresses.size());
    const int current = m_nCurServer.load();
    const MonotonicClock::TimePoint now = m_ports.monotonic.now();
    for (int i = 0; i < count; ++i) {
        const int index = ((current >= 0 && current < count ? current : 0) + i) % count;
        if (!m_backoff.IsLeftOut(addresses[static_cast<std::size_t>(index)], now)) {
            m_nCurServer.store(index);
            return true;
        }
    }
    return count == 0;  // an empty list leaves nobody out: the run fails as it always did
}

RunSnapshot CSyncController::TakeSnapshot(RunKind kind) {
    return m_settings.Read([this, kind](const CSettings& s) {
        const int count = s.m_servers.GetCount();
        const int index = m_nCurServer.load();
        if (index < 0 || index >= count) {
            m_nCurServer.store(0);  // the list shrank under a reload
        }
        const CTimeServer server = ServerAt(s);
        RunSnapshot snapshot;
        snapshot.bManual = kind == RunKind::Manual;
        snapshot.bPoll = !snapshot.bManual && s.m_nSynPeriod == kSyncContinuous;
        snapshot.nSynPeriod = s.m_nSynPeriod;
        // The continuous mode asks once a poll: a lost request waits for the next poll.
        snapshot.nMaxAttempts = snapshot.bPoll ? 1 : s.m_nMaxAttempts;
        snapshot.nOffset = s.m_nOffset;
        snapshot.strTitle = server.m_strTitle;
        snapshot.strAddress = server.m_strAddress;
        const int current = m_nCurServer.load();
        for (int i = 1; i < count; ++i) {
            snapshot.vecOthers.push_back(s.m_servers.GetAt((current + i) % count));
        }
        return snapshot;
    });
}

bool CSyncController::StartRun(RunKind kind) {
    if (m_syncThread.IsHeld()) {
        return false;
    }
    RunServices services{m_refusalWatch,
                         m_ports.discipline,
                         m_ports.clock,
                         m_ports.log,
                         m_commitMutex,
                         [this] { NextServer(); },
                         [this](const RunRecord& record) { NoteRecord(record); }};
    CSyncRun run(TakeSnapshot(kind), std::move(services));
    m_runKind = kind;
    m_lastRunStart = m_ports.monotonic.now();
    m_nRequestsAtRunStart = m_nManualRequests;
    const bool bStarted = m_syncThread.Start(
        [run = std::move(run)](const std::atomic<bool>& stop) mutable { return run.Execute(stop); },
        [this](const char* what) { m_ports.log.write(FormatText("SyncRun: %s", what), LOG_NOTICE, 0.0); });
    if (!bStarted && kind == RunKind::Scheduled) {
        m_backoff.ScheduledRunFailed(m_ports.monotonic.now());  // tried again after the wait
    }
    return bStarted;
}

void CSyncController::NoteRecord(const RunRecord& record) {
    {
        std::lock_guard<std::mutex> lock(m_recordMutex);
        m_lastRecord = record;
    }
    m_ports.history.Append(record);  // a row that cannot go in now goes in with the next
}

std::optional<RunRecord> CSyncController::LastRunRecord() const {
    std::lock_guard<std::mutex> lock(m_recordMutex);
    return m_lastRecord;
}
