#include "engine/EngineSettings.h"

void CEngineSettings::Reload() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings.Load();
}

void CEngineSettings::ReloadOptions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_settings.LoadOptions();
}

LogLimits CEngineSettings::LogLimitsNow() const {
    return Read([](const CSettings& s) { return LogLimits{s.m_nLogFileLen, s.m_bOnlySuccLog != 0}; });
}

bool CEngineSettings::PolicyChanged() const {
    return Read([](const CSettings& s) { return s.PolicyChanged(); });
}

std::vector<std::string> CEngineSettings::PolicyRejections() const {
    return Read([](const CSettings& s) { return s.Policy().rejections; });
}
