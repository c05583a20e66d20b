#pragma once
// The outcome of one platform call: success, or the error code the platform gave, kept so
// that whoever reports the failure can show the system's text for it.

#include <cstdint>

class [[nodiscard]] SystemResult {
public:
    static SystemResult success() { return SystemResult(true, 0); }
    static SystemResult failure(std::uint32_t error) { return SystemResult(false, error); }

    bool succeeded() const { return m_bSucceeded; }
    explicit operator bool() const { return m_bSucceeded; }
    // 0 after a success.
    std::uint32_t error() const { return m_nError; }

private:
    SystemResult(bool bSucceeded, std::uint32_t error) : m_bSucceeded(bSucceeded), m_nError(error) {}

    bool m_bSucceeded;
    std::uint32_t m_nError;
};
