#pragma once
// The synchronisation modes, the values of CSettings::m_nSynPeriod: the mode
// name the service puts in its result lines and the label of the console's Options dialog.

#include <array>
#include <cstddef>

enum SyncModeValue : int {
    kSyncDaily = 0,
    kSyncOnStart = 1,
    kSyncHourly = 2,
    kSyncDemandOnly = 3,
    kSyncContinuous = 4,
};

struct SyncModeRow {
    int value;
    const char* name;
    const char* label;
};

inline constexpr std::array<SyncModeRow, 5> kSyncModes{{
    {kSyncDaily, "Daily", "Daily synchronizing."},
    {kSyncOnStart, "OnStart", "On Start Up synchronizing."},
    {kSyncHourly, "Hourly", "Hourly synchronizing."},
    {kSyncDemandOnly, "DemandOnly", "On demand only."},
    {kSyncContinuous, "Continuously", "Continuous synchronizing."},
}};

// Each row's value is its index, so that the values run from 0 without a gap: the Options
// dialog's buttons, the installer's words and the policy's choices are lists in this order.
constexpr bool SyncModesAreIndexed() {
    for (std::size_t i = 0; i < kSyncModes.size(); ++i)
        if (kSyncModes[i].value != static_cast<int>(i))
            return false;
    return true;
}
static_assert(SyncModesAreIndexed());

// The name of any value outside the table; such a mode never runs by itself.
inline constexpr const char* kSyncModeErrorName = "Error";

// The table row of value, or nullptr for a value outside the table.
constexpr const SyncModeRow* FindSyncMode(int value) {
    for (const SyncModeRow& row : kSyncModes)
        if (row.value == value)
            return &row;
    return nullptr;
}

// The mode name of value, "Error" for a value outside the table.
constexpr const char* SyncModeName(int value) {
    for (const SyncModeRow& row : kSyncModes)
        if (row.value == value)
            return row.name;
    return kSyncModeErrorName;
}
