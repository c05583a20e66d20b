#pragma once
// HoraluxServ -q: the query of a time server (CServerQuery) with the platform's clocks, name
// lookup and settings file, printing to wherever the program's output can be seen. Windows only.

#include "service/CommandLine.h"

// Runs the query that command describes; returns the program's exit code.
int RunQueryCommand(const ServiceCommand& command);
