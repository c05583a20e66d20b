#pragma once
// What the organisation's policy sets: read through the PolicySource port and checked value
// by value. A value of the wrong type or out of range is left out, and the reason is kept as
// a line for the service's log; the settings file's own value then applies.

#include "settings/PolicyOverrides.h"
#include "settings/PolicySource.h"

#include <string>

PolicyOverrides ReadPolicy(const PolicySource& source);

// The log line for a value left out: "Policy value <name> is ignored: <why>."
std::string PolicyRejection(const std::string& valueName, const std::string& why);
