#pragma once
// Port through which the log tells the registered console that a line with a result code
// was handled. The Win32 adapter posts the result message to the console's window, if one
// has announced itself; posting never blocks. Called from the run thread and the control
// window's thread.

class ResultNotifier {
public:
    virtual ~ResultNotifier() = default;
    virtual void notifyResult(int resultCode) = 0;
};
