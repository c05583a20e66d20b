#pragma once
// The service's settings with the one lock that guards them. The control window's thread
// reloads them under the lock; the run thread and the log read what they need under it,
// so nobody ever sees a half-replaced server list.

#include "engine/LogLimits.h"
#include "settings/Settings.h"

#include <mutex>
#include <string>
#include <vector>

class CEngineSettings {
public:
    // settings must outlive this object; from now on it is touched only through it.
    explicit CEngineSettings(CSettings& settings) : m_settings(settings) {}

    CEngineSettings(const CEngineSettings&) = delete;
    CEngineSettings& operator=(const CEngineSettings&) = delete;

    // Re-reads the settings file (options and server list).
    void Reload();
    // Re-reads the options alone; never writes the file (a damaged server list is rebuilt
    // only by Reload).
    void ReloadOptions();

    // Calls reader with the settings under the lock and returns what it returns. reader must
    // copy what it needs and must not call back into the engine.
    template <typename Reader>
    auto Read(Reader&& reader) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return reader(static_cast<const CSettings&>(m_settings));
    }

    LogLimits LogLimitsNow() const;

    // Whether the organisation's policy differs from what the last reload applied.
    bool PolicyChanged() const;
    // What the last reload found wrong in the settings file and the policy values it left
    // out, one log line each.
    std::vector<std::string> LoadNotices() const;

private:
    CSettings& m_settings;
    mutable std::mutex m_mutex;
};
