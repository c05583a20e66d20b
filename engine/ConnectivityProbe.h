#pragma once
// Port to the question "is this computer connected to the internet?", asked before each
// scheduled run. The Win32 adapter asks the platform's connection test.

class ConnectivityProbe {
public:
    virtual ~ConnectivityProbe() = default;
    virtual bool isConnected() = 0;
};
