#pragma once
// The ordered list of time servers and its place in the settings file.
//
// In the file, section m_strSection holds the counter key "<prefix>_Counter" with the
// number of entries N and the entry keys "<prefix> 0" ... "<prefix> N-1" with the record
// texts (CTimeServer::Format). Keys left over beyond N from an earlier, longer list stay in
// the file; the counter makes Load ignore them. A list edited by hand may be damaged: Load
// then keeps every entry it can read and names what it skipped.
//
// The list is a value: copying it copies the entries and the file binding, so a run can
// work on a snapshot while the original is reloaded. The bound ProfileStore must outlive
// every copy.

#include "common/SystemResult.h"
#include "settings/ProfileStore.h"
#include "settings/TimeServer.h"

#include <cstddef>
#include <string>
#include <vector>

// What Load found in the file.
struct ServerListLoad {
    enum class State {
        Whole,
        Missing,  // no counter (or 0) and no entry: a list never written, or written empty
        Damaged,  // something was skipped; the entries read are kept
    };
    State state = State::Missing;
    // Each thing skipped, naming its key and value: the counter when it is no count of entries
    // or counts entries that are not there, and each entry that is no server.
    std::vector<std::string> skipped;
};

class CTimeServerList {
public:
    // Capacity of the buffer an entry key is read into: at most 1023 characters arrive.
    static constexpr std::size_t kEntryBufferSize = 1024;

    // Binds the list to a section, a key prefix and a file of store; the list is empty.
    CTimeServerList(std::string section, std::string keyPrefix, std::string fileName, ProfileStore& store);

    int GetCount() const;

    // The entry at index, 0 .. GetCount() - 1; any other index throws
    // std::invalid_argument. Callers keep their indices in range.
    const CTimeServer& GetAt(int index) const;
    CTimeServer& GetAt(int index);

    void Add(const CTimeServer& server);

    // Removes the entry at index; the later entries move up. Throws std::invalid_argument
    // for an index outside the list.
    void RemoveAt(int index);
    void RemoveAll();

    // Appends copies of all entries of other. Appending a list to itself is an error: it
    // appends nothing and returns false. Otherwise returns true.
    bool Append(const CTimeServerList& other);

    // Replaces the entries with those in the file, in the order of their indices: those the
    // counter counts or, when the counter is no count of entries, every entry key in the
    // section. An entry that is missing, empty or no server (CTimeServer::Parse) is skipped.
    ServerListLoad Load();

    // Writes the counter key and then every entry key in index order; stops at the first
    // write that fails and returns its error.
    [[nodiscard]] SystemResult Save() const;

    const std::string& GetSection() const { return m_strSection; }
    const std::string& GetKeyPrefix() const { return m_strKeyPrefix; }
    const std::string& GetCounterKey() const { return m_strCounterKey; }
    const std::string& GetFileName() const { return m_strFileName; }

    // The entry key of index: the prefix, a blank and the index ("Servers 5").
    std::string EntryKey(int index) const;

private:
    void checkIndex(int index) const;
    // The indices of the section's entry keys ("<prefix> <index>", as EntryKey forms them),
    // in order, each once.
    std::vector<int> EntryIndices() const;
    // Appends the entry at index, or says in load why it is skipped.
    void LoadEntry(int index, ServerListLoad& load);

    std::vector<CTimeServer> m_entries;
    std::string m_strSection;
    std::string m_strKeyPrefix;
    std::string m_strCounterKey;
    std::string m_strFileName;
    ProfileStore* m_store;
};
