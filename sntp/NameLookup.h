#pragma once
// Port to the system's name resolution: every address of a host name, as the system orders
// them. A lookup blocks for as long as the system's resolver takes (a resolver that does not
// answer can take minutes), so CHostResolver calls it on a thread of its own and may stop
// waiting for it; an implementation therefore keeps nothing but itself, which that thread
// holds alive.

#include <string>
#include <vector>

#include "sntp/NetAddress.h"

struct NameLookupResult {
    std::vector<NetAddress> addresses;  // port 0; empty when the lookup failed
    int nError = 0;                     // the platform's reason when it failed
};

class NameLookup {
public:
    virtual ~NameLookup() = default;
    virtual NameLookupResult lookUp(const std::string& name) = 0;
};

// getaddrinfo, for both families; it starts the socket library for itself (Windows).
class CSystemNameLookup final : public NameLookup {
public:
    NameLookupResult lookUp(const std::string& name) override;
};
