#pragma once
// The settings record and its INI file. One instance per program, constructed
// with the defaults; all file access goes through the ProfileStore it is given, and the
// probe text of IsWritable comes from the given local-time provider, so the class is
// portable.
//
// Threads: the class takes no lock. The service reloads it on its control-window thread;
// a run thread must work on a copy of what it needs (the fields are plain ints and
// m_servers is a copyable value), taken under whatever lock the service holds.

#include "common/SystemResult.h"
#include "settings/PolicyOverrides.h"
#include "settings/PolicySource.h"
#include "settings/ProfileStore.h"
#include "settings/TimeServerList.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CSettings {
public:
    // Yields the current local date and time as text in the user's default locale
    // format (the Win32 shell's LocalDateTimeText, tests a fixed text).
    using LocalTimeTextProvider = std::function<std::string()>;

    static constexpr const char* kProbeKey = "sTestStr";
    static constexpr const char* kProbeDefault = "Undefined";
    static constexpr std::size_t kProbeBufferSize = 256;

    // Sets the names, binds m_servers to section "Servers", prefix "Servers" and the same
    // file, and applies SetDefaults. Reads nothing. store must outlive the instance.
    CSettings(ProfileStore& store, LocalTimeTextProvider localTimeText);

    // LoadOptions, then LoadServers. Never writes "Options".
    void Load();

    // Reads the seven "Options" keys. A missing key takes its default ("bOnlySuccLog" keeps
    // the value in memory); so does a value that is not a whole number within the key's range
    // (OptionTable.h), with a notice naming key and value; a whole number below 5 for
    // "nTimeOut" is raised to 5. Then reads the policy, when there is a source, and lets each
    // number it sets override the file's. Writes nothing.
    void LoadOptions();

    // Writes the seven "Options" keys as "%d" values in the console's order, leaving out
    // those the policy manages (the file keeps its own value); stops at the first write that
    // fails and returns its error.
    [[nodiscard]] SystemResult Save() const;

    // Writes the keys of fields alone, in the console's order, managed or not.
    [[nodiscard]] SystemResult SaveKeys(const std::vector<int CSettings::*>& fields) const;

    // From now on a load that finds the server list damaged writes the entries it kept back
    // into the file (the service does; the console leaves a damaged file as it is).
    void SetRepairsServerList(bool bRepairs) { m_bRepairsServerList = bRepairs; }

    // What the last load found wrong in the file, one log line each: every option value it
    // ignored, then the server list's damage and its repair.
    std::vector<std::string> FileNotices() const;

    // From now on every load reads the organisation's policy from source (nullptr: none).
    // source must outlive the instance and its copies.
    void SetPolicySource(const PolicySource* source) { m_policySource = source; }

    // What the policy set at the last load, and the values it left out.
    const PolicyOverrides& Policy() const { return m_policy; }

    // Whether the policy sets field. The starting server counts as set also when the policy
    // sets the server list, whose rows it indexes.
    bool IsManaged(int CSettings::*field) const;
    bool AreServersManaged() const { return m_policy.servers.has_value(); }

    // Whether the policy now differs from what the last load read (false without a source).
    bool PolicyChanged() const;

    // Every option but m_nStartingServ back to its default (m_nSynPeriod 0, m_nOffset 0,
    // m_nMaxAttempts 5, m_nTimeOut 20, m_bOnlySuccLog 1, m_nLogFileLen 100); the starting
    // server and the server list stay; writes nothing.
    void SetDefaults();

    // "Daily", "OnStart", "Hourly", "DemandOnly", "Continuously", or "Error" outside the modes.
    const char* GetModeName() const;

    // Writes the local date-time text to "sTestStr" in "Options", reads it back (256-byte
    // buffer, default "Undefined") and returns whether the write succeeded and the text came
    // back unchanged.
    bool IsWritable();

    // Loads m_servers. A file without a list gets the 18 built-in entries, written. A damaged
    // list keeps the entries that could be read, or the built-in ones when none could, with a
    // notice; when repairing, they are written back. A list the policy sets then replaces it in
    // memory. Finally brings m_nStartingServ to 0 when it does not index the list (a starting
    // server the policy sets is then left out).
    void LoadServers();

    // The list's Save; writes nothing while the policy manages the list.
    [[nodiscard]] SystemResult SaveServers() const;

    // Empties the list and appends copies of the entries of servers (the file binding of
    // m_servers stays). Replacing the list by itself leaves it as it is.
    void ReplaceServers(const CTimeServerList& servers);

    // Drops every built-in entry (flag 0), keeping the user's in order, then appends the
    // 18 rows of the default table. Writes nothing.
    void RestoreDefaultServers();

    // The title of the entry at m_nStartingServ, or "" when that does not index the list
    // (never throws).
    std::string GetStartingServerTitle() const;

    // The construction sets each to its default (OptionTable.h).
    int m_nSynPeriod;
    int m_nOffset;
    int m_nMaxAttempts;
    int m_nTimeOut;
    int m_bOnlySuccLog;
    int m_nLogFileLen;
    int m_nStartingServ;
    std::string m_strOptionsSection;
    std::string m_strServersSection;
    std::string m_strFileName;
    CTimeServerList m_servers;

private:
    struct OptionRead {
        int value;
        std::string notice;  // empty when the file's value is used
    };

    void ApplyPolicyServers();
    OptionRead ReadOption(int CSettings::*field) const;
    std::string RepairServerList();
    // Before the first write over a file whose last load found it damaged: keeps the file as
    // it was beside it, once.
    [[nodiscard]] SystemResult KeepDamagedFile() const;

    ProfileStore& m_store;
    LocalTimeTextProvider m_localTimeText;
    const PolicySource* m_policySource = nullptr;
    PolicyOverrides m_policyRead;  // as read, to notice a change
    PolicyOverrides m_policy;      // as applied
    bool m_bRepairsServerList = false;
    std::vector<std::string> m_vecOptionNotices;
    std::string m_strServersNotice;
    // Whether the file as last loaded is damaged and not yet kept; shared by the copies of the
    // settings (the dialogs save from copies), which all write the same file.
    std::shared_ptr<bool> m_pDamageUnkept = std::make_shared<bool>(false);
};
