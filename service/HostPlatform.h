#pragma once
// The family of Windows the service host runs on, and every decision that follows from it.
// Windows 9x has no service control manager: the program runs there as a hidden process that
// the RunServices key starts, which installing and removing set and clear; it serves no named
// pipe and its event reports carry no user. Nothing but this class asks which family it is.

#include "service/CommandLine.h"

enum class HostFamily { Nt, Windows9x };

class CHostPlatform {
public:
    explicit CHostPlatform(HostFamily family) : m_family(family) {}

    // The action to run: the one the command line names, else a service where a service control
    // manager starts services, else a hidden process.
    HostAction ResolveAction(HostAction parsed) const;
    // Installing and removing go to the service control manager, else to the start entry.
    bool HasServiceManager() const { return m_family == HostFamily::Nt; }
    // The console channel is a named pipe, which only NT serves.
    bool ServesChannel() const { return m_family == HostFamily::Nt; }
    // Event reports name the user running the program, which only NT knows.
    bool ReportsUser() const { return m_family == HostFamily::Nt; }

private:
    HostFamily m_family;
};
