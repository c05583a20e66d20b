#pragma once
// The console's actions that change a file, and the command-line argument with which an
// elevated console is started straight into one of them.

#include <string>
#include <vector>

enum class ConsoleAction { None, Options, Servers, ClearLog };

// "/options", "/servers", "/clearlog"; "" for None.
std::string ActionArgument(ConsoleAction action);

// The first argument that names an action, in any case; other arguments are ignored (a
// console started with words of its own behaves as without them).
ConsoleAction ParseConsoleAction(const std::vector<std::string>& args);

// The question that offers to continue as administrator for this action.
std::string ElevationOfferText(ConsoleAction action);
