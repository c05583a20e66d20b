#pragma once
// A worker thread that can be asked to stop and that reports an exit code when it has
// ended. It is always joined (by join, or on destruction after a stop request); it is never
// detached and never killed, so it can never leave a lock held or a socket open behind it.
// Nothing thrown by the body escapes the thread: it ends the run with exit code 0, and what
// was caught goes to the report given with the body.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CRunThread {
public:
    // The body looks at stop and returns the exit code.
    using Body = std::function<int(const std::atomic<bool>& stop)>;
    // Told, on the run thread, what the body threw.
    using EscapeReport = std::function<void(const char* what)>;

    CRunThread() = default;
    // Asks a running body to stop and waits for it.
    ~CRunThread();

    CRunThread(CRunThread&& other) noexcept = default;
    CRunThread& operator=(CRunThread&& other) noexcept;
    CRunThread(const CRunThread&) = delete;
    CRunThread& operator=(const CRunThread&) = delete;

    // Starts body on a new thread; false when a thread is still held or none could be
    // created. report may be empty.
    bool Start(Body body, EscapeReport report = {});

    // A thread is held (running, or ended and not yet joined).
    bool IsHeld() const { return m_thread.joinable(); }
    // The held thread's body has returned, so Join will not wait.
    bool HasFinished() const;
    // Waits until the held thread's body has returned by itself (nothing asks it to stop);
    // returns at once when no thread is held.
    void AwaitFinished() const;

    // Sets the stop flag the body watches.
    void RequestStop();

    // Waits for the held thread to end, releases it and returns its exit code (0 when no
    // thread is held).
    int Join();

private:
    struct State {
        std::atomic<bool> bStop{false};
        std::atomic<bool> bFinished{false};
        std::atomic<int> nExitCode{0};
        std::mutex mutex;  // for AwaitFinished alone
        std::condition_variable cvFinished;
    };

    std::unique_ptr<State> m_state;
    std::thread m_thread;
};
