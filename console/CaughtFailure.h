#pragma once
// What the console does with an exception caught at the edge of a window callback (a dialog
// procedure, the window enumeration, WinMain). The user is told in a box: what they asked for
// did not happen, and a console window gives them nowhere else to see it. The debugger's
// output gets every one. A box runs a message loop of its own, in which the failing handler
// may run again (the progress timer ticks ten times a second), so no second box opens while
// one is open, and a failure already shown is not shown again: boxes never pile up or return
// at every tick.

#include <optional>
#include <set>
#include <string>

class CCaughtFailureNotices {
public:
    // The line for the debugger's output: the program, the callback and what was caught.
    static std::string Trace(const char* where, const char* what);

    // The text of the box to show for this failure, or nothing (see above). A box shown must
    // be followed by BoxClosed once the user has closed it.
    std::optional<std::string> BoxFor(const char* where, const char* what);
    void BoxClosed() { m_bBoxOpen = false; }

private:
    bool m_bBoxOpen = false;
    std::set<std::string> m_shown;  // callback and text of every failure shown so far
};
