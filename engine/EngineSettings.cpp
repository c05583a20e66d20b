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

std::vector<std::string> CEngineSettings::LoadNotices() const {
    return Read([](const CSettings& s) {
        std::vector<std::string> lines = s.FileNotices();
        lines.insert(lines.end(), s.Policy().rejections.begin(), s.Policy().rejections.end());
        return lines;
    });
}
