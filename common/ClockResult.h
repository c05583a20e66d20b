#pragma once
// Outcome of a platform call that sets a clock or the right to set it, with the platform's
// error code when it failed. Shared by the system clock (UTC) and the engine's local clock.

struct ClockResult {
    bool bSucceeded = false;
    int nError = 0;
};
