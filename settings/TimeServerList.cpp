#include "settings/TimeServerList.h"

#include <stdexcept>
#include <utility>

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

bool CTimeServerList::Load() {
    RemoveAll();
    const int count = m_store->readInt(m_strFileName, m_strSection, m_strCounterKey, 0);
    if (count <= 0)
        return false;
    for (int i = 0; i < count; ++i) {
        const std::string record =
            m_store->readString(m_strFileName, m_strSection, EntryKey(i), "", kEntryBufferSize);
        if (record.empty()) {
            RemoveAll();
            return false;
        }
        CTimeServer server;
        if (!server.Parse(record))
            return false;  // the entries read so far stay
        m_entries.push_back(std::move(server));
    }
    return true;
}

SystemResult CTimeServerList::Save() const {
    SystemResult written =
        m_store->writeString(m_strFileName, m_strSection, m_strCounterKey, std::to_string(GetCount()));
    for (int i = 0; written && i < GetCount(); ++i)
        written = m_store->writeString(m_strFileName, m_strSection, EntryKey(i),
                                       m_entries[static_cast<std::size_t>(i)].Format());
    return written;
}
