#include "service/CommandLine.h"

#include <cstddef>

namespace {

struct SwitchRule {
    char letter;
    HostAction action;
    bool bActsAtOnce;
};

constexpr SwitchRule kActionSwitches[] = {
    {'d', HostAction::RunAsProcess, true},  {'f', HostAction::RunFaceless, true},
    {'i', HostAction::Install, false},      {'u', HostAction::Remove, false},
    {'s', HostAction::StartRunning, false}, {'e', HostAction::StopRunning, false},
    {'c', HostAction::Write, true},
};

const SwitchRule* FindActionSwitch(char letter) {
    for (const SwitchRule& rule : kActionSwitches) {
        if (rule.letter == letter) {
            return &rule;
        }
    }
    return nullptr;
}

// The value of -l or -p at args[index]: the rest of the argument, or the next argument
// (consumed by advancing index). An empty value means "not given".
std::optional<std::string> TakeValue(const std::vector<std::string>& args, std::size_t& index) {
    std::string value = args[index].substr(2);
    if (value.empty() && index + 1 < args.size()) {
        value = args[++index];
    }
    if (value.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ServiceCommand ParseServiceArguments(const std::vector<std::string>& args) {
    ServiceCommand command;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string& arg = args[index];
        if (arg.size() < 2 || arg[0] != '-') {
            continue;
        }
        const char letter = arg[1];
        if (letter == 'l') {
            command.account = TakeValue(args, index);
        } else if (letter == 'p') {
            command.password = TakeValue(args, index);
        } else if (const SwitchRule* rule = FindActionSwitch(letter)) {
            command.action = rule->action;
            if (rule->bActsAtOnce) {
                if (rule->action == HostAction::Write) {
                    command.settingArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                                               args.end());
                }
                break;
            }
        }
    }
    return command;
}

HostAction ResolveHostAction(HostAction parsed, bool bIsNt) {
    if (parsed != HostAction::None) {
        return parsed;
    }
    return bIsNt ? HostAction::Dispatch : HostAction::RunFaceless;
}
