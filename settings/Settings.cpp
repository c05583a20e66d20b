#include "settings/Settings.h"

#include "common/ProductFacts.h"
#include "common/TextFormat.h"
#include "settings/DefaultServers.h"
#include "settings/OptionTable.h"
#include "settings/PolicyTable.h"
#include "settings/SettingValueText.h"
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

// An option is a few digits; what does not fit is no whole number in any case.
constexpr std::size_t kOptionBufferSize = 64;

std::string Entries(int count) {
    return FormatText(count == 1 ? "%d entry is" : "%d entries are", count);
}

std::string ServersNotice(const ServerListLoad& load, int nKept) {
    std::string skipped;
    for (const std::string& item : load.skipped)
        skipped += (skipped.empty() ? "" : ", ") + item;
    return "The server list is damaged; skipped: " + skipped + "; " +
           (nKept > 0 ? Entries(nKept) + " kept." : "no entry is usable: the built-in list is used.");
}

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
    m_vecOptionNotices.clear();
    for (const Field field : kLoadOrder) {
        const OptionRead read = ReadOption(field);
        this->*field = read.value;
        if (!read.notice.empty())
            m_vecOptionNotices.push_back(read.notice);
    }
    m_pDamageUnkept = std::make_shared<bool>(!m_vecOptionNotices.empty());
    m_policyRead = m_policySource != nullptr ? ReadPolicy(*m_policySource) : PolicyOverrides{};
    m_policy = m_policyRead;
    for (std::size_t row = 0; row < kPolicyNumberCount; ++row)
        if (m_policy.numbers[row])
            this->*(kOptionKeys[row].field) = *m_policy.numbers[row];
}

// A corrected value stays in memory; the file keeps its own until the console saves.
CSettings::OptionRead CSettings::ReadOption(Field field) const {
    const OptionKey& option = OptionKeyOf(field);
    const int def = option.loadKeepsCurrent ? this->*field : option.defaultValue;
    const std::string text =
        m_store.readString(m_strFileName, m_strOptionsSection, option.key, "", kOptionBufferSize);
    if (text.empty())
        return {def, std::string()};
    const std::optional<int> number = ParseWholeNumber(text);
    const OptionRange& range = option.range;
    if (number && option.raisedToLower && *number < range.lower)
        return {range.lower, std::string()};
    if (number && *number >= range.lower && *number <= range.upper)
        return {*number, std::string()};
    return {def, FormatText("Setting %s=%s is ignored: it is not %s; %d is used.", option.key,
                            ShownValue(text).c_str(), RangeDescription(range).c_str(), def)};
}

std::vector<std::string> CSettings::FileNotices() const {
    std::vector<std::string> notices = m_vecOptionNotices;
    if (!m_strServersNotice.empty())
        notices.push_back(m_strServersNotice);
    return notices;
}

SystemResult CSettings::KeepDamagedFile() const {
    if (!*m_pDamageUnkept)
        return SystemResult::success();
    const SystemResult kept = m_store.copyFile(m_strFileName, kDamagedSettingsFileName);
    if (kept)
        *m_pDamageUnkept = false;
    return kept;
}

SystemResult CSettings::Save() const {
    std::vector<Field> unmanaged;
    for (const Field field : kSaveOrder)
        if (!IsManaged(field))
            unmanaged.push_back(field);
    return SaveKeys(unmanaged);
}

SystemResult CSettings::SaveKeys(const std::vector<Field>& fields) const {
    SystemResult written = KeepDamagedFile();
    for (const Field field : kSaveOrder) {
        if (!written)
            break;
        if (std::find(fields.begin(), fields.end(), field) == fields.end())
            continue;
        written = m_store.writeString(m_strFileName, m_strOptionsSection, OptionKeyOf(field).key,
                                      std::to_string(this->*field));
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
    const ServerListLoad load = m_servers.Load();
    m_strServersNotice.clear();
    if (load.state == ServerListLoad::State::Missing) {
        AppendDefaultServers(m_servers);
        // Loading never fails: a list that cannot be written is written at the next load.
        static_cast<void>(m_servers.Save());
    } else if (load.state == ServerListLoad::State::Damaged) {
        *m_pDamageUnkept = true;
        m_strServersNotice = ServersNotice(load, m_servers.GetCount());
        if (m_servers.GetCount() == 0)
            AppendDefaultServers(m_servers);
        if (m_bRepairsServerList)
            m_strServersNotice += " " + RepairServerList();
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
        m_nStartingServ = ReadOption(&CSettings::m_nStartingServ).value;
    }
}

// The file's list as loaded, not the policy's, which is applied after.
std::string CSettings::RepairServerList() {
    const SystemResult kept = KeepDamagedFile();
    if (!kept)
        return FormatText("The file is left as it is: it cannot be copied to %s (error %lu).",
                          kDamagedSettingsFileName, kept.nError);
    const SystemResult written = m_servers.Save();
    if (!written)
        return FormatText("The list cannot be written back (error %lu); the file as it was is kept as %s.",
                          written.nError, kDamagedSettingsFileName);
    return FormatText("The list is written back; the file as it was is kept as %s.",
                      kDamagedSettingsFileName);
}

SystemResult CSettings::SaveServers() const {
    if (AreServersManaged())
        return SystemResult::success();
    const SystemResult kept = KeepDamagedFile();
    return kept ? m_servers.Save() : kept;
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
