// The command line of HoraluxServ: whatever the arguments, the parse names one action, keeps
// an account, password, query server or sample count only when one was given, and never reads
// past the arguments.
//
// Input: the arguments after the program name, each ended by a zero byte (as in the block the
// system hands a program); a last one without it counts too.

#include "service/CommandLine.h"
#include "service/HostPlatform.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <initializer_list>

namespace {

std::vector<std::string> Arguments(const std::string& block) {
    std::vector<std::string> args;
    for (std::size_t pos = 0; pos < block.size();) {
        const std::size_t end = std::min(block.find('\0', pos), block.size());
        args.push_back(block.substr(pos, end - pos));
        pos = end + 1;
    }
    return args;
}

// An argument given as the value of -l or -p: the rest of the switch, or the whole next argument.
bool IsGivenValue(const std::vector<std::string>& args, const std::string& value, char letter) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() >= 2 && arg[0] == '-' && arg[1] == letter &&
            (arg.substr(2) == value || (arg.size() == 2 && i + 1 < args.size() && args[i + 1] == value))) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> args = Arguments(FuzzText(data, size));
    const ServiceCommand command = ParseServiceArguments(args);
    FUZZ_CHECK(!command.account || (!command.account->empty() && IsGivenValue(args, *command.account, 'l')));
    FUZZ_CHECK(!command.password ||
               (!command.password->empty() && IsGivenValue(args, *command.password, 'p')));
    FUZZ_CHECK(!command.queryServer ||
               (!command.queryServer->empty() && IsGivenValue(args, *command.queryServer, 'q')));
    FUZZ_CHECK(!command.sampleCount || IsGivenValue(args, *command.sampleCount, 'n'));
    for (const HostFamily family : {HostFamily::Nt, HostFamily::Windows9x}) {
        const HostAction action = CHostPlatform(family).ResolveAction(command.action);
        FUZZ_CHECK(action != HostAction::None);
        FUZZ_CHECK(command.action == HostAction::None || action == command.action);
    }
    // Without any switch nothing is chosen.
    bool bAnySwitch = false;
    for (const std::string& arg : args) {
        bAnySwitch = bAnySwitch || (arg.size() >= 2 && arg[0] == '-');
    }
    FUZZ_CHECK(bAnySwitch || (command.action == HostAction::None && !command.account && !command.password &&
                              !command.queryServer && !command.sampleCount));
    return 0;
}

// The unit tests' command lines.
std::vector<std::string> FuzzSeeds() {
    const auto block = [](std::initializer_list<const char*> args) {
        std::string bytes;
        for (const char* arg : args) {
            bytes += arg;
            bytes += '\0';
        }
        return bytes;
    };
    return {
        block({"-i", "-l", ".\\clock", "-p", "secret"}),
        block({"-l.\\clock", "-psecret", "-i"}),
        block({"-i", "-u"}),
        block({"-u", "-s", "-e"}),
        block({"-u", "-d"}),
        block({"-f", "-i", "-lsomeone"}),
        block({"-x", "-", "i", "install", "-I", "/i", ""}),
        block({"-install"}),
        block({"-i", "-l", "-u"}),
        block({"-lsomeone", "-l"}),
        block({"-l", ""}),
        block({}),
        block({"-q", "127.0.0.1", "-n", "3"}),
        block({"-q", "-n5"}),
        block({"-qtime.example", "-n"}),
    };
}
