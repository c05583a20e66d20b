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

// The values a person may choose for an option, wherever they choose it: the Options dialog,
// the installer's properties and the organisation's policy.
struct OptionRange {
    int lower;
    int upper;
};

inline constexpr int kMaxOffsetMinutes = 10;
// Minutes -10 to 10 and seconds 0 to 59 reach at most 10:59 either way.
inline constexpr OptionRange kOffsetRange{-(kMaxOffsetMinutes * 60 + 59), kMaxOffsetMinutes * 60 + 59};
inline constexpr OptionRange kAttemptsRange{1, 10};
inline constexpr OptionRange kLogLinesRange{10, 30000};
inline constexpr OptionRange kFlagRange{0, 1};
inline constexpr OptionRange kModeRange{kSyncModes.front().value, kSyncModes.back().value};
// The run time-out is never shown; at least 5 (what Load raises it to), at most an hour.
inline constexpr OptionRange kTimeOutRange{5, 3600};
