#pragma once
// The access list of a kernel object (a pipe, a mutex) as SDDL text, as the system reports it
// back: how a test checks the descriptor an object was made with. Windows only.

#include <windows.h>

#include <optional>
#include <string>

std::optional<std::string> DaclText(HANDLE object);
