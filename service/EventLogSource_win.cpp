#include "service/EventLogSource_win.h"

#include "common/WinHandle_win.h"
#include "service/ServiceRules.h"
#include "service/Win32Registry_win.h"

#include <optional>
#include <utility>

namespace {

constexpr DWORD kUserNameCapacity = 256;
constexpr DWORD kSidCapacity = 4096;
constexpr DWORD kDomainCapacity = 256;

// A key or a value that is not there has nothing left to remove.
LONG NothingMissing(LONG result) {
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

// Reads the Application log's "Sources" (a missing value counts as an empty list), lets edit
// decide the new value for name and stores it with the type it had; no new value, no write.
using SourcesEdit = std::optional<RegistryBytes> (*)(const RegistryBytes& value, const std::string& name);

LONG EditEventSources(const std::string& name, SourcesEdit edit) {
    UniqueRegistryKey logKey;
    const LONG opened = OpenRegistryKey(HKEY_LOCAL_MACHINE, CEventLogSource::kApplicationLogKey, logKey);
    if (opened != ERROR_SUCCESS) {
        return opened;
    }
    RegistryValue sources;
    if (ReadRegistryValue(logKey.get(), "Sources", sources) != ERROR_SUCCESS) {
        sources = RegistryValue{};
        sources.type = REG_MULTI_SZ;
    }
    if (const auto edited = edit(sources.bytes, name)) {
        return WriteRegistryValue(logKey.get(), "Sources", sources.type, *edited);
    }
    return ERROR_SUCCESS;
}

}  // namespace

CEventLogSource::CEventLogSource(std::string sourceName, bool bLookUpUser)
    : m_strName(std::move(sourceName)) {
    if (bLookUpUser) {
        LookUpUserSid();
    }
}

void CEventLogSource::LookUpUserSid() {
    char userName[kUserNameCapacity] = {};
    DWORD userLength = kUserNameCapacity;
    if (!::GetUserNameA(userName, &userLength)) {
        return;
    }
    std::vector<BYTE> sid(kSidCapacity);
    DWORD sidLength = kSidCapacity;
    char domain[kDomainCapacity] = {};
    DWORD domainLength = kDomainCapacity;
    SID_NAME_USE use{};
    if (::LookupAccountNameA(nullptr, userName, sid.data(), &sidLength, domain, &domainLength, &use) &&
        ::IsValidSid(sid.data())) {
        sid.resize(::GetLengthSid(sid.data()));
        m_vecUserSid = std::move(sid);
    }
}

std::string CEventLogSource::SourceKey() const {
    return kApplicationLogKey + m_strName;
}

LONG CEventLogSource::WriteSourceKey(const char* messageFile, DWORD typesSupported) const {
    UniqueRegistryKey sourceKey;
    LONG result = CreateRegistryKey(HKEY_LOCAL_MACHINE, SourceKey(), sourceKey);
    if (result == ERROR_SUCCESS) {
        result = WriteRegistryText(sourceKey.get(), "EventMessageFile", REG_EXPAND_SZ, messageFile);
    }
    if (result == ERROR_SUCCESS) {
        result = WriteRegistryDword(sourceKey.get(), "TypesSupported", typesSupported);
    }
    return result;
}

LONG CEventLogSource::Register(const char* messageFile, DWORD typesSupported) {
    const LONG written = WriteSourceKey(messageFile, typesSupported);
    if (written != ERROR_SUCCESS) {
        return written;
    }
    return EditEventSources(m_strName, AddEventSource);
}

LONG CEventLogSource::Unregister() {
    // The name leaves "Sources" even when its key could not be deleted.
    const LONG deleted = NothingMissing(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, SourceKey().c_str()));
    const LONG edited = NothingMissing(EditEventSources(m_strName, RemoveEventSource));
    return deleted != ERROR_SUCCESS ? deleted : edited;
}

void CEventLogSource::Report(const char* text, WORD type, std::int32_t eventId) {
    m_dwLastError.store(::GetLastError());
    ReportStrings(type, ChooseEventId(type, eventId), {text});
}

void CEventLogSource::report(const EventReport& event) {
    std::vector<const char*> strings;
    for (const std::string& text : event.strings) {
        strings.push_back(text.c_str());
    }
    ReportStrings(event.type, event.id, std::move(strings));
}

void CEventLogSource::ReportStrings(WORD type, DWORD eventId, std::vector<const char*> strings) {
    const UniqueEventSource source(::RegisterEventSourceA(nullptr, m_strName.c_str()));
    if (!source) {
        return;
    }
    ::ReportEventA(source.get(), type, 0, eventId, m_vecUserSid.empty() ? nullptr : m_vecUserSid.data(),
                   static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(), nullptr);
}
