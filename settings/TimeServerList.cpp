#include "settings/TimeServerList.h"

#include "common/TextFormat.h"
#include "settings/SettingValueText.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// A counter is a few digits; a longer value is no count in any case.
constexpr std::size_t kCounterBufferSize = 32;

}  // namespace

CTimeServerList::CTimeServerList(std::string section, std::string keyPrefix, std::string fileName,
                                 ProfileStore& store)
    : m_strSection(std::move(section)),
      m_strKeyPrefix(std::move(keyPrefix)),
      m_strCounterKey(m_strKeyPrefix + "_Counter"),
      m_strFileName(std::move(fileName)),
      m_store(&store) {}

int CTimeServerList::GetCount() const {
    return static_cast<int>(m_entries.size());
}

void CTimeServerList::checkIndex(int index) const {
    if (index < 0 || index >= GetCount())
        throw std::invalid_argument("CTimeServerList: index " + std::to_string(index) + " outside 0.." +
                                    std::to_string(GetCount() - 1));
}

const CTimeServer& CTimeServerList::GetAt(int index) const {
    checkIndex(index);
    return m_entries[static_cast<std::size_t>(index)];
}

CTimeServer& CTimeServerList::GetAt(int index) {
    checkIndex(index);
    return m_entries[static_cast<std::size_t>(index)];
}

void CTimeServerList::Add(const CTimeServer& server) {
    m_entries.push_back(server);
}

void CTimeServerList::RemoveAt(int index) {
    checkIndex(index);
    m_entries.erase(m_entries.begin() + index);
}

void CTimeServerList::RemoveAll() {
    m_entries.clear();
}

bool CTimeServerList::Append(const CTimeServerList& other) {
    if (&other == this)
        return false;
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
    return true;
}

std::string CTimeServerList::EntryKey(int index) const {
    return m_strKeyPrefix + ' ' + std::to_string(index);
}

ServerListLoad CTimeServerList::Load() {
    RemoveAll();
    ServerListLoad load;
    const std::string counterText =
        m_store->readString(m_strFileName, m_strSection, m_strCounterKey, "", kCounterBufferSize);
    const std::optional<int> counter = ParseWholeNumber(counterText);
    std::vector<int> indices = EntryIndices();
    if ((counterText.empty() || counter == 0) && indices.empty())
        return load;
    if (counter && *counter > 0) {
        const auto counted = std::lower_bound(indices.begin(), indices.end(), *counter);
        const long long missing = *counter - (counted - indices.begin());
        indices.erase(counted, indices.end());  // left over from a longer list
        if (missing > 0)
            load.skipped.push_back(FormatText("%s=%d counts %lld missing entr%s", m_strCounterKey.c_str(),
                                              *counter, missing, missing == 1 ? "y" : "ies"));
    } else {
        load.skipped.push_back(m_strCounterKey + "=" + ShownValue(counterText));
    }
    for (const int index : indices)
        LoadEntry(index, load);
    load.state = load.skipped.empty() ? ServerListLoad::State::Whole : ServerListLoad::State::Damaged;
    return load;
}

void CTimeServerList::LoadEntry(int index, ServerListLoad& load) {
    const std::string record =
        m_store->readString(m_strFileName, m_strSection, EntryKey(index), "", kEntryBufferSize);
    CTimeServer server;
    if (server.Parse(record))
        m_entries.push_back(std::move(server));
    else
        load.skipped.push_back(EntryKey(index) + "=" + ShownValue(record));
}

std::vector<int> CTimeServerList::EntryIndices() const {
    std::vector<int> indices;
    const std::string lead = m_strKeyPrefix + ' ';
    for (const std::string& key : m_store->readKeys(m_strFileName, m_strSection)) {
        const std::optional<int> index =
            key.size() > lead.size() ? ParseWholeNumber(key.substr(lead.size())) : std::nullopt;
        if (index && *index >= 0 && EqualsIgnoringCase(EntryKey(*index), key))
            indices.push_back(*index);
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

SystemResult CTimeServerList::Save() const {
    SystemResult written =
        m_store->writeString(m_strFileName, m_strSection, m_strCounterKey, std::to_string(GetCount()));
    for (int i = 0; written && i < GetCount(); ++i)
        written = m_store->writeString(m_strFileName, m_strSection, EntryKey(i),
                                       m_entries[static_cast<std::size_t>(i)].Format());
    return written;
}
