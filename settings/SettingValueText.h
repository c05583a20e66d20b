#pragma once
// Settings given as text (the settings file's values, the installer's properties, the
// organisation's policy): whole numbers and server entries, checked strictly so that a typing
// error is refused with its reason instead of being read as something else.

#include "settings/OptionTable.h"
#include "settings/TimeServer.h"

#include <optional>
#include <string>

// The number that text is, in full: an optional sign and decimal digits, nothing else, within
// the int range. Nothing otherwise ("", " 5", "5x", "0x10", "99999999999").
std::optional<int> ParseWholeNumber(const std::string& text);

// "a whole number from -659 to 659" and the like, for messages.
std::string RangeDescription(const OptionRange& range);

// A value as a log line shows it: cut after its first 40 characters ("...").
std::string ShownValue(const std::string& text);

struct ServerEntryCheck {
    std::optional<CTimeServer> server;
    std::string problem;  // why there is none, for messages
};

// One server as "title~address" (flag 1, as if the user had added it, so that the console's
// "Restore default" keeps it) or, with bFlagAllowed, "title~address~flag" (flag 0 or 1). The
// title and the address must not be empty, must not contain '~' and must fit the settings
// file's entry (1023 characters in all).
ServerEntryCheck ParseServerEntry(const std::string& text, bool bFlagAllowed);
