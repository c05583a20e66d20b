#include "service/CommandLine.h"

#include <cstddef>

namespace {

using OptionalField = std::optional<std::string> ServiceCommand::*;

struct SwitchRule {
    char letter;
    HostAction action;
    bool bActsAtOnce;
    OptionalField operand;  // an optional value that follows the switch, or none
};

constexpr SwitchRule kActionSwitches[] = {
    {'d', HostAction::RunAsProcess, true, nullptr},
    {'f', HostAction::RunFaceless, true, nullptr},
    {'i', HostAction::Install, false, nullptr},
    {'u', HostAction::Remove, false, nullptr},
    {'s', HostAction::StartRunning, false, nullptr},
    {'e', HostAction::StopRunning, false, nullptr},
    {'q', HostAction::Query, false, &ServiceCommand::queryServer},
    {'c', HostAction::Write, true, nullptr},
    {'w', HostAction::WindowsTime, false, &ServiceCommand::windowsTimeChoice},
};

const SwitchRule* FindActionSwitch(char letter) {
    for (const SwitchRule& rule : kActionSwitches) {
        if (rule.letter == letter) {
            return &rule;
        }
    }
    return nullptr;
}

// The one switch that is a word, not a letter.
constexpr const char* kStatusSwitch = "-status";

bool IsSwitch(const std::string& arg) {
    return arg.size() >= 2 && arg[0] == '-';
}

// The value of -l, -p or -n at args[index]: the rest of the argument, or the next argument
// (consumed by advancing index), which for an optional operand must not be a switch. An empty
// value means "not given".
std::optional<std::string> TakeValue(const std::vector<std::string>& args, std::size_t& index,
                                     bool bOptional = false) {
    std::string value = args[index].substr(2);
    if (value.empty() && index + 1 < args.size() && !(bOptional && IsSwitch(args[index + 1]))) {
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
        if (!IsSwitch(arg)) {
            continue;
        }
        if (arg == kStatusSwitch) {
            command.action = HostAction::Status;
            continue;
        }
        const char letter = arg[1];
        if (letter == 'l') {
            command.account = TakeValue(args, index);
        } else if (letter == 'p') {
            command.password = TakeValue(args, index);
        } else if (letter == 'n') {
            command.sampleCount = TakeValue(args, index);
        } else if (const SwitchRule* rule = FindActionSwitch(letter)) {
            command.action = rule->action;
            if (rule->operand != nullptr) {
                command.*(rule->operand) = TakeValue(args, index, true);
            }
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
