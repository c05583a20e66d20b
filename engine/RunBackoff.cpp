#include "engine/RunBackoff.h"

#include "sntp/QueryPacer.h"

#include <algorithm>

void CRunBackoff::ScheduledRunFailed(TimePoint now) {
    m_lastWait = std::min(m_bFailing ? m_lastWait * 2 : m_policy.firstWait, m_policy.longestWait);
    m_bFailing = true;
    m_bCuttable = !m_bCutShort;
    m_bCutShort = false;
    m_nextRun = now + m_lastWait;
}

std::chrono::seconds CRunBackoff::WaitLeft(TimePoint now) const {
    if (!IsWaiting(now)) {
        return std::chrono::seconds(0);
    }
    return std::chrono::ceil<std::chrono::seconds>(m_nextRun - now);
}

bool CRunBackoff::NetworkReturned(TimePoint now) {
    if (!m_bCuttable || !IsWaiting(now)) {
        return false;
    }
    m_bCutShort = true;
    m_nextRun = now;
    return true;
}

void CRunBackoff::RunSucceeded() {
    m_bFailing = false;
    m_bCutShort = false;
}

void CRunBackoff::Reset() {
    m_bFailing = false;
    m_bCutShort = false;
    m_mapRefusedUntil.clear();
}

void CRunBackoff::ServerRefused(const std::string& host, TimePoint now) {
    m_mapRefusedUntil[ServerKey(host)] = now + m_policy.refusalHold;
}

bool CRunBackoff::IsLeftOut(const std::string& host, TimePoint now) const {
    const auto refused = m_mapRefusedUntil.find(ServerKey(host));
    return refused != m_mapRefusedUntil.end() && now < refused->second;
}
