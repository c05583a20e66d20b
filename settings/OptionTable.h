#pragma once
// The keys of the "Options" section: the field each fills, its default (what a missing key
// reads as, and what "Restore Default" puts back) and how Load and SetDefaults treat it. The
// one source of the defaults: the settings, the log's limits and the Options dialog's first
// fields all take theirs from here.

#include "settings/Settings.h"
#include "settings/SyncMode.h"

struct OptionKey {
    const char* key;
    int CSettings::*field;
    int defaultValue;
    bool loadKeepsCurrent;  // Load reads it with the value in memory as the default
    bool resetByDefaults;   // SetDefaults sets it to defaultValue
};

// In the order of the fields.
inline constexpr OptionKey kOptionKeys[] = {
    {"nSynPeriod", &CSettings::m_nSynPeriod, kSyncDaily, false, true},
    {"nOffset", &CSettings::m_nOffset, 0, false, true},
    {"nMaxAttempts", &CSettings::m_nMaxAttempts, 5, false, true},
    {"nTimeOut", &CSettings::m_nTimeOut, 20, false, true},
    {"bOnlySuccLog", &CSettings::m_bOnlySuccLog, 1, true, true},
    {"nLogFileLen", &CSettings::m_nLogFileLen, 100, false, true},
    {"nStartingServ", &CSettings::m_nStartingServ, 0, false, false},
};

// The row of field; every int field of CSettings has one.
constexpr const OptionKey& OptionKeyOf(int CSettings::*field) {
    for (const OptionKey& option : kOptionKeys)
        if (option.field == field)
            return option;
    return kOptionKeys[0];
}

constexpr int OptionDefault(int CSettings::*field) {
    return OptionKeyOf(field).defaultValue;
}
