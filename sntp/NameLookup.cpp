#include "sntp/NameLookup.h"

#include "sntp/SocketPlatform.h"

NameLookupResult CSystemNameLookup::lookUp(const std::string& name) {
    NameLookupResult result;
    if (!socket_platform::lookUpAddresses(name, result.addresses)) {
        result.nError = socket_platform::lastError();
        result.addresses.clear();
    }
    return result;
}
