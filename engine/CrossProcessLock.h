#pragma once
// Port to a lock shared by every process that writes the log (or the history): the service and an
// administrator's command-line instance (install, remove, start, stop). Each write reads the
// file, adds its line and replaces the file; the lock keeps two such writes from overlapping,
// so neither overwrites the other's line. The Win32 adapter is a named mutex; native tests
// use an in-process stand-in.

#include <chrono>

class CrossProcessLock {
public:
    virtual ~CrossProcessLock() = default;
    // Waits at most timeout. True when the calling thread now holds the lock, also when its
    // last holder ended without releasing it; false when it could not be had in time.
    virtual bool acquire(std::chrono::milliseconds timeout) = 0;
    // Gives up a lock that acquire gave to this thread.
    virtual void release() = 0;
};
