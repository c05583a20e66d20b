#pragma once
// Nothing thrown may cross a C callback (window and dialog procedures, service main, control
// handler, thread entry, WinMain): each one runs its body through CallGuarded, whose report
// logs or shows what was caught.

#include <exception>

namespace barrier_detail {

// A report that fails in turn has nobody left to tell.
template <typename Report>
void ReportQuietly(Report& report, const char* what) noexcept {
    try {
        report(what);
    } catch (...) {
    }
}

}  // namespace barrier_detail

// Runs body. An exception escaping it is described to report and swallowed; so is one that
// escapes report. The result says whether the body completed.
template <typename Body, typename Report>
bool CallGuarded(Body&& body, Report&& report) noexcept {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        barrier_detail::ReportQuietly(report, error.what());
    } catch (...) {
        barrier_detail::ReportQuietly(report, "unknown exception");
    }
    return false;
}
