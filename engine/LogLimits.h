#pragma once
// The settings the log obeys, read at the moment of each write.

#include "settings/OptionTable.h"

struct LogLimits {
    int nLogFileLen = OptionDefault(&CSettings::m_nLogFileLen);  // most lines kept; 0 or less keeps none
    bool bOnlySuccLog = OptionDefault(&CSettings::m_bOnlySuccLog) != 0;  // failure lines are not kept
};
