#include "console/ConsoleAction.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <iterator>

namespace {

struct ActionEntry {
    ConsoleAction action;
    const char* argument;
    const char* doing;  // what the action does, for the offer
};

const ActionEntry kActions[] = {
    {ConsoleAction::Options, "/options", "Changing the options"},
    {ConsoleAction::Servers, "/servers", "Changing the time servers"},
    {ConsoleAction::ClearLog, "/clearlog", "Clearing the log file"},
};

const ActionEntry* Find(ConsoleAction action) {
    const auto entry = std::find_if(std::begin(kActions), std::end(kActions),
                                    [action](const ActionEntry& e) { return e.action == action; });
    return entry == std::end(kActions) ? nullptr : entry;
}

}  // namespace

std::string ActionArgument(ConsoleAction action) {
    const ActionEntry* entry = Find(action);
    return entry != nullptr ? entry->argument : "";
}

ConsoleAction ParseConsoleAction(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        for (const ActionEntry& entry : kActions) {
            if (EqualsIgnoringCase(arg, entry.argument)) {
                return entry.action;
            }
        }
    }
    return ConsoleAction::None;
}

std::string ElevationOfferText(ConsoleAction action) {
    const ActionEntry* entry = Find(action);
    return FormatText("%s needs the rights of an administrator.\nDo you want to continue as administrator?",
                      entry != nullptr ? entry->doing : "This");
}
