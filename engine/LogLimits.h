#pragma once
// The settings the log obeys, read at the moment of each write.
struct LogLimits {
    int nLogFileLen = 100;     // most lines kept; 0 or less keeps none
    bool bOnlySuccLog = true;  // failure lines are not kept
};
