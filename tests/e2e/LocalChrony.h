#pragma once
// A real NTP server for end-to-end tests: chronyd -x (it never touches the clock) on one
// loopback address, started and stopped by tools/chrony-local.sh, which ends it by its pid.
// Stopped by the destructor, so also when a test fails. Windows only, under Wine only.
//
// Under Wine a program's server socket on 127.0.0.x:123 takes that port on every loopback
// address, so no fake SNTP server of a Wine test may run while this one does.

#include <string>

class CLocalChrony {
public:
    CLocalChrony() = default;
    ~CLocalChrony() { stop(); }
    CLocalChrony(const CLocalChrony&) = delete;
    CLocalChrony& operator=(const CLocalChrony&) = delete;

    // Starts chronyd on address and waits until it answers; false (with the reason in
    // error()) when it did not start.
    bool start(const std::string& address);
    void stop();

    const std::string& error() const { return m_strError; }

private:
    std::string Script(const char* action) const;

    bool m_bStarted = false;
    std::string m_strError;
};
