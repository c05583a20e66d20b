#pragma once
// The connectivity probe for tests: answers what the test says and counts the questions.

#include "engine/ConnectivityProbe.h"

class CFakeConnectivity : public ConnectivityProbe {
public:
    bool isConnected() override {
        ++m_nQuestions;
        return m_bConnected;
    }

    bool m_bConnected = true;
    int m_nQuestions = 0;
};
