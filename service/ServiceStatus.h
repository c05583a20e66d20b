#pragma once
// The status a service reports to the service control manager, kept for two threads: the
// service thread reports start pending, running and stopped, while the control handler (on
// the dispatcher's thread) marks a pending state, reports it again on interrogate and
// reports stop pending. One lock covers the record, the checkpoint counter and the sink
// the reports go through, so a report never sees a half-changed record nor a sink that
// is being attached or taken away.

#include "service/ServiceRules.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// Where the reports go: the status handle the control handler's registration gave.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual bool report(const StatusReport& status) = 0;
};

class CServiceStatus {
public:
    explicit CServiceStatus(std::uint32_t acceptedControls) : m_nAcceptedControls(acceptedControls) {}
    CServiceStatus(const CServiceStatus&) = delete;
    CServiceStatus& operator=(const CServiceStatus&) = delete;

    // A service run as a process reports nothing, and every report counts as made.
    void SetNotService() { m_bNotService.store(true); }
    bool IsNotService() const { return m_bNotService.load(); }

    // Attaches the sink (null takes it away); it must stay valid until taken away.
    void Connect(StatusSink* sink);

    // Records the state with its checkpoint and reports it; false when it could not be
    // reported (no sink, or the sink refused it). The record is kept either way.
    [[nodiscard]] bool Set(std::uint32_t state, std::uint32_t waitHint, std::uint32_t specificExitCode);

    // A control request's pending state: recorded, not reported.
    void MarkState(std::uint32_t state);

    StatusReport Current() const;

private:
    const std::uint32_t m_nAcceptedControls;
    std::atomic<bool> m_bNotService{false};
    mutable std::mutex m_lock;
    StatusSink* m_pSink = nullptr;
    StatusReport m_current;
    std::uint32_t m_nCheckPoint = 0;
};
