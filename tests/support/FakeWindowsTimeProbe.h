#pragma once
// The Windows Time service as a test describes it; not installed until told otherwise.

#include "engine/WindowsTimeProbe.h"

class CFakeWindowsTimeProbe final : public WindowsTimeProbe {
public:
    WindowsTimeFacts look() const override {
        ++m_nLooks;
        return m_facts;
    }

    WindowsTimeFacts m_facts;
    mutable int m_nLooks = 0;
};
