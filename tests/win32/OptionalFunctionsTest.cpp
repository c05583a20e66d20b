// The optional functions as Wine 8 offers them: the Windows 9x call, the precise clock reading
// and a window's DPI are there, the precise clock-rate pair of Windows 10 is not.

#include "common/OptionalFunctions_win.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(OptionalFunctions, FindWhatWineExportsAndLeaveTheRestNull) {
    const std::map<std::string, bool> expected = {
        {"kernel32.dll!RegisterServiceProcess", true},
        {"kernel32.dll!GetSystemTimePreciseAsFileTime", true},
        {"kernel32.dll!SetSystemTimeAdjustmentPrecise", false},
        {"kernel32.dll!GetSystemTimeAdjustmentPrecise", false},
        {"user32.dll!GetDpiForWindow", true},
        {"ntdll.dll!NtQuerySystemInformation", true},
        {"ntdll.dll!wine_get_version", true},
    };
    std::map<std::string, bool> found;
    for (const OptionalFunctionPresence& row : OptionalFunctionsPresent()) {
        found[std::string(row.szModule) + "!" + row.szName] = row.bPresent;
    }
    EXPECT_EQ(found, expected);

    // Each name fills its own slot, and a found function works.
    const OptionalFunctionSet& functions = OptionalFunctions();
    EXPECT_EQ(&functions, &OptionalFunctions());
    EXPECT_NE(functions.registerServiceProcess, nullptr);
    EXPECT_EQ(functions.setSystemTimeAdjustmentPrecise, nullptr);
    EXPECT_EQ(functions.getSystemTimeAdjustmentPrecise, nullptr);
    ASSERT_NE(functions.wineGetVersion, nullptr);
    EXPECT_NE(std::string(functions.wineGetVersion()), "");
    ASSERT_NE(functions.getSystemTimePreciseAsFileTime, nullptr);
    FILETIME now{};
    functions.getSystemTimePreciseAsFileTime(&now);
    EXPECT_NE(now.dwHighDateTime, 0u);
}

}  // namespace
