#pragma once
// Port through which the console offers to continue as administrator: the kind of the
// user's token, the question to the user and the elevated start of the console itself. The
// Win32 adapter is CWin32Elevation; tests use a fake.

#include <string>

// The token's elevation type (TOKEN_ELEVATION_TYPE): Limited is an administrator's filtered
// token under UAC; Default is a standard user's (or UAC off); Full an elevated one.
enum class ElevationType { Unknown, Default, Full, Limited };

// How the elevated start went: the user may decline the system's own prompt.
enum class ElevatedStart { Started, Declined, Failed };

class Elevation {
public:
    virtual ~Elevation() = default;

    virtual ElevationType tokenElevation() const = 0;
    // A Yes/No box owned by the main window; true for Yes.
    virtual bool confirm(const std::string& text, const std::string& caption) = 0;
    // Starts this program elevated ("runas") with one argument; the caller goes on at once.
    virtual ElevatedStart startElevated(const std::string& argument) = 0;
};
