#include "settings/Settings.h"

#include "settings/DefaultServers.h"
#include "settings/SyncMode.h"

#include <utility>
#include <vector>

namespace {

// One key of the "Options" section and the field it fills.
struct OptionKey {
    const char* key;
    int CSettings::*field;
    int defaultValue;
    bool loadKeepsCurrent;  // Load reads it with the value in memory as the default
    bool resetByDefaults;   // SetDefaults sets it to defaultValue
};

constexpr OptionKey kSynPeriod{"nSynPeriod", &CSettings::m_nSynPeriod, 0, false, true};
constexpr OptionKey kOffset{"nOffset", &CSettings::m_nOffset, 0, false, true};
constexpr OptionKey kMaxAttempts{"nMaxAttempts", &CSettings::m_nMaxAttempts, 5, false, true};
constexpr OptionKey kTimeOut{"nTimeOut", &CSettings::m_nTimeOut, 20, false, true};
constexpr OptionKey kOnlySuccLog{"bOnlySuccLog", &CSettings::m_bOnlySuccLog, 1, true, true};
constexpr OptionKey kLogFileLen{"nLogFileLen", &CSettings::m_nLogFileLen, 100, false, true};
constexpr OptionKey kStartingServ{"nStartingServ", &CSettings::m_nStartingServ, 0, false, false};

// The order in which Load reads the keys.
constexpr const OptionKey* kLoadOrder[] = {
    &kLogFileLen, &kStartingServ, &kSynPeriod, &kOffset, &kMaxAttempts, &kTimeOut, &kOnlySuccLog,
};

// The order in which the console writes the keys.
constexpr const OptionKey* kSaveOrder[] = {
    &kLogFileLen, &kSynPeriod, &kOffset, &kMaxAttempts, &kTimeOut, &kStartingServ, &kOnlySuccLog,
};

constexpr int kMinTimeOut = 5;

}  // namespace

CSettings::CSettings(ProfileStore& store, LocalTimeTextProvider localTimeText)
    : m_strOptionsSection("Options"),
      m_strServersSection("Servers"),
      m_strFileName("zHoraluxServ.ini"),
      m_servers(m_strServersSection, m_strServersSection, m_strFileName, store),
      m_store(store),
      m_localTimeText(std::move(localTimeText)) {
    m_nStartingServ = 0;
    SetDefaults();
}

void CSettings::Load() {
    LoadOptions();
    LoadServers();
}

void CSettings::LoadOptions() {
    for (const OptionKey* option : kLoadOrder) {
        const int def = option->loadKeepsCurrent ? this->*(option->field) : option->defaultValue;
        this->*(option->field) = m_store.readInt(m_strFileName, m_strOptionsSection, option->key, def);
    }
    if (m_nTimeOut < kMinTimeOut)
        m_nTimeOut = kMinTimeOut;  // in memory only; the file keeps its value
}

bool CSettings::Save() const {
    bool ok = true;
    for (const OptionKey* option : kSaveOrder)
        ok = m_store.writeString(m_strFileName, m_strOptionsSection, option->key,
                                 std::to_string(this->*(option->field))) &&
             ok;
    return ok;
}

void CSettings::SetDefaults() {
    for (const OptionKey* option : kLoadOrder)
        if (option->resetByDefaults)
            this->*(option->field) = option->defaultValue;
}

const char* CSettings::GetModeName() const {
    return SyncModeName(m_nSynPeriod);
}

bool CSettings::IsWritable() {
    const std::string probe = m_localTimeText ? m_localTimeText() : std::string();
    m_store.writeString(m_strFileName, m_strOptionsSection, kProbeKey, probe);
    const std::string readBack =
        m_store.readString(m_strFileName, m_strOptionsSection, kProbeKey, kProbeDefault, kProbeBufferSize);
    return readBack == probe;
}

void CSettings::LoadServers() {
    if (!m_servers.Load()) {
        RestoreDefaultServers();
        m_servers.Save();
    }
    if (m_nStartingServ < 0 || m_nStartingServ >= m_servers.GetCount())
        m_nStartingServ = 0;
}

bool CSettings::SaveServers() const {
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
