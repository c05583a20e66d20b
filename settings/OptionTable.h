#pragma once
// The keys of the "Options" section: the field each fills, its default (what a missing key
// reads as, and what "Restore Default" puts back), the values a person may choose for it and
// how Load and SetDefaults treat it. The one source of these: the settings file, the Options
// dialog, the installer's properties and the organisation's policy all take theirs from here.

#include "settings/Settings.h"
#include "settings/SyncMode.h"

#include <climits>

// The values a person may choose for an option, wherever they choose it.
struct OptionRange {
    int lower;
    int upper;
};

struct OptionKey {
    const char* key;
    int CSettings::*field;
    int defaultValue;
    OptionRange range;
    bool loadKeepsCurrent;  // Load reads it with the value in memory as the default
    bool resetByDefaults;   // SetDefaults sets it to defaultValue
    bool raisedToLower;     // Load raises a whole number below the range to its lower bound
};

inline constexpr int kMaxOffsetMinutes = 10;
inline constexpr int kSecondsPerMinute = 60;
// Minutes -10 to 10 and seconds 0 to 59 reach at most 10:59 either way.
inline constexpr int kMaxOffsetSeconds = kMaxOffsetMinutes * kSecondsPerMinute + kSecondsPerMinute - 1;
// The modes are the rows of the mode table, in order and without a gap.
inline constexpr OptionRange kModeRange{kSyncModes.front().value, kSyncModes.back().value};
static_assert(kModeRange.upper - kModeRange.lower + 1 == static_cast<int>(kSyncModes.size()));

// In the order of the fields. The run time-out is never shown: at least 5, at most an hour. The
// starting server's upper bound is the length of the list in force, checked when it is known.
inline constexpr OptionKey kOptionKeys[] = {
    {"nSynPeriod", &CSettings::m_nSynPeriod, kSyncDaily, kModeRange, false, true, false},
    {"nOffset", &CSettings::m_nOffset, 0, {-kMaxOffsetSeconds, kMaxOffsetSeconds}, false, true, false},
    {"nMaxAttempts", &CSettings::m_nMaxAttempts, 5, {1, 10}, false, true, false},
    {"nTimeOut", &CSettings::m_nTimeOut, 20, {5, 3600}, false, true, true},
    {"bOnlySuccLog", &CSettings::m_bOnlySuccLog, 1, {0, 1}, true, true, false},
    {"nLogFileLen", &CSettings::m_nLogFileLen, 100, {10, 30000}, false, true, false},
    {"nStartingServ", &CSettings::m_nStartingServ, 0, {0, INT_MAX}, false, false, false},
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

constexpr OptionRange OptionRangeOf(int CSettings::*field) {
    return OptionKeyOf(field).range;
}
