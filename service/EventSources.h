#pragma once
// The "Sources" value of the Application event log: a multi-string (each string ends with a
// zero byte, the list with one more) naming every event source of that log. These functions
// compute the value to store, or nothing when the value is to be left as it is.

#include <optional>
#include <string>
#include <vector>

using RegistryBytes = std::vector<unsigned char>;

// The names of a multi-string, up to its first empty string; a missing final zero is
// tolerated.
std::vector<std::string> SplitMultiString(const RegistryBytes& value);
RegistryBytes JoinMultiString(const std::vector<std::string>& names);

// value with name appended, or nothing when name is already listed.
std::optional<RegistryBytes> AddEventSource(const RegistryBytes& value, const std::string& name);
// value without name, or nothing when name is not listed.
std::optional<RegistryBytes> RemoveEventSource(const RegistryBytes& value, const std::string& name);
