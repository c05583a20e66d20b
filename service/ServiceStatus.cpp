#include "service/ServiceStatus.h"

void CServiceStatus::Connect(StatusSink* sink) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_pSink = sink;
}

bool CServiceStatus::Set(std::uint32_t state, std::uint32_t waitHint, std::uint32_t specificExitCode) {
    if (IsNotService()) {
        return true;
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    m_current = MakeStatusReport(state, waitHint, specificExitCode, m_nAcceptedControls, m_nCheckPoint);
    return m_pSink != nullptr && m_pSink->report(m_current);
}

void CServiceStatus::MarkState(std::uint32_t state) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_current.currentState = state;
}

StatusReport CServiceStatus::Current() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_current;
}
