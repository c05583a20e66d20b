#pragma once
// Port to the system's name resolution: every address of a host name, as the system orders
// them. A lookup can take as long as the system's resolver takes (one that does not answer can
// take minutes), so it runs on its own and answers through a callback; CHostResolver decides
// how long anybody waits for it. The callback owns what it needs, so a lookup may outlive
// everybody who waited for it.

#include <functional>
#include <string>
#include <vector>

#include "sntp/NetAddress.h"

struct NameLookupResult {
    std::vector<NetAddress> addresses;  // port 0; empty when the lookup failed
    int nError = 0;                     // the platform's reason when it failed
};

class NameLookup {
public:
    using Answer = std::function<void(NameLookupResult)>;

    virtual ~NameLookup() = default;
    // Starts looking name up. answer gets the result once, on any thread, possibly before this
    // returns. False when no lookup could be started: answer is then never called.
    virtual bool lookUp(const std::string& name, Answer answer) = 0;
};

// getaddrinfo for both families, each lookup on a short-lived thread of its own that holds
// nothing but the name and the answer; it starts the socket library for itself (Windows).
class CSystemNameLookup final : public NameLookup {
public:
    bool lookUp(const std::string& name, Answer answer) override;
};
