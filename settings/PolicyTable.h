#pragma once
// The values the product reads under its policy key, one per setting, each named after the
// setting's key in the settings file: the one list that the policy reader, the dialogs and
// the administrative template's check all take their names from.

#include "settings/OptionTable.h"
#include "settings/PolicyOverrides.h"
#include "settings/Settings.h"

#include <cstddef>
#include <iterator>
#include <optional>

// Where the Win32 adapter reads them (under HKEY_LOCAL_MACHINE).
inline constexpr const char* kPolicyKey = "Software\\Policies\\Horalux";

// A number is REG_DWORD (read as a signed 32-bit value) or REG_SZ with decimal digits, one per
// row of kOptionKeys, named after its key and checked against its range.
static_assert(std::size(kOptionKeys) == kPolicyNumberCount);

// The row of field in kOptionKeys; every int field of CSettings has one.
constexpr std::size_t PolicyRowOf(int CSettings::*field) {
    for (std::size_t row = 0; row < kPolicyNumberCount; ++row)
        if (kOptionKeys[row].field == field)
            return row;
    return 0;
}

// The policy's number for field, if it sets one.
inline std::optional<int> PolicyNumberFor(const PolicyOverrides& policy, int CSettings::*field) {
    return policy.numbers[PolicyRowOf(field)];
}

// The server list: REG_MULTI_SZ, one server a line as "title~address" or "title~address~flag".
inline constexpr const char* kPolicyServersValue = "Servers";
