#pragma once
// The service's own source in the Application event log: its registration (the message
// file and the event types under its key, its name in the log's "Sources"), its removal,
// and the reports made under it with the user's SID attached. Windows only; what "Sources"
// becomes is EventSources' decision.

#include <windows.h>

#include "service/EventSink.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CEventLogSource final : public EventSink {
public:
    // The Application log's key; each source has its key below it.
    static constexpr const char* kApplicationLogKey =
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

    // On NT the SID of the user running the program is looked up once, for every report.
    CEventLogSource(std::string sourceName, bool bLookUpUser);
    CEventLogSource(const CEventLogSource&) = delete;
    CEventLogSource& operator=(const CEventLogSource&) = delete;

    // Each returns the platform's error code of the first step that failed, ERROR_SUCCESS
    // when all went well. Registering twice lists the name once; removing what is not
    // there succeeds.
    [[nodiscard]] LONG Register(const char* messageFile, DWORD typesSupported);
    [[nodiscard]] LONG Unregister();

    // Keeps the platform's last error, then reports; a source that cannot be opened drops
    // the report. eventId -1 chooses the identifier from the type.
    void Report(const char* text, WORD type, std::int32_t eventId);
    // An event with several insertion strings (or none), as the message of its identifier
    // places them.
    void report(const EventReport& event) override;

    // The last error as the latest report found it.
    DWORD LastError() const { return m_dwLastError.load(); }
    // Empty when unknown.
    const std::vector<BYTE>& UserSid() const { return m_vecUserSid; }

private:
    void LookUpUserSid();
    std::string SourceKey() const;
    LONG WriteSourceKey(const char* messageFile, DWORD typesSupported) const;
    void ReportStrings(WORD type, DWORD eventId, std::vector<const char*> strings);

    const std::string m_strName;
    std::vector<BYTE> m_vecUserSid;  // fixed once constructed
    // Reports come from the service thread and from the control handler's thread.
    std::atomic<DWORD> m_dwLastError{0};
};
