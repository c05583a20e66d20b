#pragma once
// The socket library for the lifetime of one object, and the only place that starts it (for an
// exchange and for a name lookup alike): started asking for version 1.1, cleaned up on
// destruction when the start succeeded. Natively there is nothing to start; it grants 1.1.

struct SocketLibraryStatus {
    bool bStarted = false;
    int nError = 0;  // the start-up's error code when it failed
    int nMajor = 0;  // version granted
    int nMinor = 0;
};

class CSocketLibrary {
public:
    CSocketLibrary();
    ~CSocketLibrary();
    CSocketLibrary(const CSocketLibrary&) = delete;
    CSocketLibrary& operator=(const CSocketLibrary&) = delete;

    const SocketLibraryStatus& status() const { return m_status; }

private:
    SocketLibraryStatus m_status;
};
