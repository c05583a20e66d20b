#include "sntp/NameLookup.h"

#include <system_error>
#include <thread>

#include "common/ExceptionBarrier.h"
#include "sntp/SocketPlatform.h"

namespace {

NameLookupResult lookUpNow(const std::string& name) {
    NameLookupResult result;
    if (!socket_platform::lookUpAddresses(name, result.addresses)) {
        result.nError = socket_platform::lastError();
        result.addresses.clear();
    }
    return result;
}

}  // namespace

bool CSystemNameLookup::lookUp(const std::string& name, Answer answer) {
    try {
        // Detached: nobody may have to wait for a resolver that does not answer. It answers
        // whatever happens, so that nobody waits for an answer that never comes.
        std::thread([name, answer = std::move(answer)] {
            const auto ignore = [](const char*) {};
            NameLookupResult result{{}, socket_platform::kErrorInvalidArgument};
            CallGuarded([&] { result = lookUpNow(name); }, ignore);
            CallGuarded([&] { answer(std::move(result)); }, ignore);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}
