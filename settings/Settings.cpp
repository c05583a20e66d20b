#include "settings/Settings.h"

#include "common/ProductFacts.h"
#include "settings/DefaultServers.h"
#include "settings/OptionTable.h"
#include "settings/PolicyTable.h"
#include "settings/SettingsPolicy.h"
#include "settings/SyncMode.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using Field = int CSettings::*;

// The order in which Load reads the keys.
constexpr Field kLoadOrder[] = {
    &CSettings::m_nLogFileLen,  &CSettings::m_nStartingServ, &CSettings::m_nSynPeriod,
    &CSettings::m_nOffset,      &CSettings::m_nMaxAttempts,  &CSettings::m_nTimeOut,
    &CSettings::m_bOnlySuccLog,
};

// The order in which the console writes the keys.
constexpr Field kSaveOrder[] = {
    &CSettings::m_nLogFileLen,  &CSettings::m_nSynPeriod, &CSettings::m_nOffset,
    &CSettings::m_nMaxAttempts, &CSettings::m_nTimeOut,   &CSettings::m_nStartingServ,
    &CSettings::m_bOnlySuccLog,
};

constexpr int kMinTimeOut = 5;

}  // namespace

CSettings::CSettings(ProfileStore& store, LocalTimeTextProvider localTimeText)
    : m_strOptionsSection("Options"),
      m_strServersSection("Servers"),
      m_strFileName(kSettingsFileName),
      m_servers(m_strServersSection, m_strServersSection, m_strFileName, store),
      m_store(store),
      m_localTimeText(std::move(localTimeText)) {
    for (const OptionKey& option : kOptionKeys)
        this->*(option.field) = option.defaultValue;
}

void CSettings::Load() {
    LoadOptions();
    LoadServers();
}

void CSettings::LoadOptions() {
    for (const Field field : kLoadOrder) {
        const OptionKey& option = OptionKeyOf(field);
        const int def = option.loadKeepsCurrent ? this->*field : option.defaultValue;
        this->*field = m_store.readInt(m_strFileName, m_strOptionsSection, option.key, def);
    }
    if (m_nTimeOut < kMinTimeOut)
        m_nTimeOut = kMinTimeOut;  // in memory only; the file keeps its value
    m_policyRead = m_policySource != nullptr ? ReadPolicy(*m_policySource) : PolicyOverrides{};
    m_policy = m_policyRead;
    for (std::size_t row = 0; row < kPolicyNumberCount; ++row)
        if (m_policy.numbers[row])
            this->*(kOptionKeys[row].field) = *m_policy.numbers[row];
}

SystemResult CSettings::Save() const {
    std::vector<Field> unmanaged;
    for (const Field field : kSaveOrder)
        if (!IsManaged(field))
            unmanaged.push_back(field);
    return SaveKeys(unmanaged);
}

SystemResult CSettings::SaveKeys(const std::vector<Field>& fields) const {
    SystemResult written = SystemResult::success();
    for (const Field field : kSaveOrder) {
        if (std::find(fields.begin(), fields.end(), field) == fields.end())
            continue;
        written = m_store.writeString(m_strFileName, m_strOptionsSection, OptionKeyOf(field).key,
                                      std::to_string(this->*field));
        if (!written)
            break;
    }
    return written;
}

bool CSettings::IsManaged(Field field) const {
    if (field == &CSettings::m_nStartingServ && AreServersManaged())
        return true;
    return PolicyNumberFor(m_policy, field).has_value();
}

bool CSettings::PolicyChanged() const {
    return m_policySource != nullptr && ReadPolicy(*m_policySource) != m_policyRead;
}

void CSettings::SetDefaults() {
    for (const OptionKey& option : kOptionKeys)
        if (option.resetByDefaults)
            this->*(option.field) = option.defaultValue;
}

const char* CSettings::GetModeName() const {
    return SyncModeName(m_nSynPeriod);
}

bool CSettings::IsWritable() {
    const std::string probe = m_localTimeText ? m_localTimeText() : std::string();
    // A refused write is not writable even when an earlier probe left the same text behind.
    if (!m_store.writeString(m_strFileName, m_strOptionsSection, kProbeKey, probe))
        return false;
    const std::string readBack =
        m_store.readString(m_strFileName, m_strOptionsSection, kProbeKey, kProbeDefault, kProbeBufferSize);
    return readBack == probe;
}

void CSettings::LoadServers() {
    if (!m_servers.Load()) {
        RestoreDefaultServers();
        // Loading never fails: a list that cannot be written back is rebuilt at the next load.
        static_cast<void>(m_servers.Save());
    }
    ApplyPolicyServers();
    if (m_nStartingServ < 0 || m_nStartingServ >= m_servers.GetCount())
        m_nStartingServ = 0;
}

void CSettings::ApplyPolicyServers() {
    if (m_policy.servers) {
        m_servers.RemoveAll();
        for (const CTimeServer& server : *m_policy.servers)
            m_servers.Add(server);
    }
    const std::optional<int> starting = PolicyNumberFor(m_policy, &CSettings::m_nStartingServ);
    if (starting && *starting >= m_servers.GetCount()) {
        m_policy.numbers[PolicyRowOf(&CSettings::m_nStartingServ)].reset();
        m_policy.rejections.push_back(PolicyRejection(
            "nStartingServ", std::to_string(*starting) + " does not index the server list of " +
                                 std::to_string(m_servers.GetCount()) + " entries"));
        // The file's own value applies (and is checked like any other below).
        const OptionKey& option = OptionKeyOf(&CSettings::m_nStartingServ);
        m_nStartingServ =
            m_store.readInt(m_strFileName, m_strOptionsSection, option.key, option.defaultValue);
    }
}

SystemResult CSettings::SaveServers() const {
    if (AreServersManaged())
        return SystemResult::success();
    return m_servers.Save();
}

void CSettings::ReplaceServers(const CTimeServerList& servers) {
    if (&servers == &m_servers)
        return;
    m_servers.RemoveAll();
    m_servers.Append(servers);
}

void CSettings::RestoreDefaultServers() {
    std::vector<CTimeServer> userEntries;
    for (int i = 0; i < m_servers.GetCount(); ++i)
        if (m_servers.GetAt(i).m_bUserAdded != 0)
            userEntries.push_back(m_servers.GetAt(i));
    m_servers.RemoveAll();
    for (const CTimeServer& server : userEntries)
        m_servers.Add(server);
    AppendDefaultServers(m_servers);
}

std::string CSettings::GetStartingServerTitle() const {
    if (m_nStartingServ < 0 || m_nStartingServ >= m_servers.GetCount())
        return std::string();
    return m_servers.GetAt(m_nStartingServ).m_strTitle;
}
