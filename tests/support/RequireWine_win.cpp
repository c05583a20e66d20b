// Linked into the win32 and end-to-end test programs only. They ask the platform to set the
// clock by amounts that Wine refuses (half a second and more) and they install and remove a
// service: on a real Windows machine they would really move its clock. So they run only under
// Wine, and anywhere else stop before the first test.

#include "common/OptionalFunctions_win.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[maybe_unused]] const bool g_bUnderWine = [] {
    if (OptionalFunctions().wineGetVersion == nullptr) {
        std::fputs("These tests set the system clock and install a service: they run only under Wine.\n",
                   stderr);
        std::exit(2);
    }
    return true;
}();

}  // namespace
