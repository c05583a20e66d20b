// The system's name lookup, in real time: loopback names resolve, and an invalid name fails at
// once with a reason.

#include "sntp/NameLookup.h"
#include "tests/support/TestAddress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>

using namespace std::chrono_literals;

namespace {

TEST(SystemNameLookupTest, LoopbackNamesResolveAndAnInvalidNameFailsAtOnceWithAReason) {
    CSystemNameLookup lookup;
    const auto lookUp = [&lookup](const std::string& name) {
        auto answered = std::make_shared<std::promise<NameLookupResult>>();
        std::future<NameLookupResult> result = answered->get_future();
        EXPECT_TRUE(lookup.lookUp(name, [answered](NameLookupResult found) { answered->set_value(found); }));
        return result;
    };
    const NameLookupResult localhost = lookUp("localhost").get();
    EXPECT_NE(std::find(localhost.addresses.begin(), localhost.addresses.end(), TestAddress("127.0.0.1", 0)),
              localhost.addresses.end());

    // A label may hold at most 63 characters, so the resolver refuses this before it asks
    // anyone (a name that merely does not exist would send a query to the machine's DNS server).
    std::future<NameLookupResult> invalid = lookUp(std::string(64, 'x') + ".invalid");
    ASSERT_EQ(invalid.wait_for(2s), std::future_status::ready);
    const NameLookupResult refused = invalid.get();
    EXPECT_TRUE(refused.addresses.empty());
    EXPECT_NE(refused.nError, 0);
}

}  // namespace
