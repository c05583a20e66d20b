#pragma once
// Nothing thrown may cross a C callback (window procedure, service main, control handler,
// thread procedure): each one runs its body through CallGuarded.

#include <exception>

// Runs body. An exception escaping it is described to report (which must not throw) and
// swallowed; the result says whether the body completed.
template <typename Body, typename Report>
bool CallGuarded(Body&& body, Report&& report) noexcept {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        report(error.what());
    } catch (...) {
        report("unknown exception");
    }
    return false;
}
