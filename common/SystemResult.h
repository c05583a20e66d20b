#pragma once
// The outcome of an operation the platform carries out: whether it succeeded and, when it did
// not, the platform's error code (GetLastError on Windows, errno natively), kept for the message
// the user sees. Ignoring one is a bug, so the type is [[nodiscard]].

struct [[nodiscard]] SystemResult {
    bool bSucceeded = false;
    unsigned long nError = 0;

    static SystemResult success() { return SystemResult{true, 0}; }
    static SystemResult failure(unsigned long error) { return SystemResult{false, error}; }

    explicit operator bool() const { return bSucceeded; }
};
