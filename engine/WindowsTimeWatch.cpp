#include "engine/WindowsTimeWatch.h"

#include "common/LogResult.h"
#include "common/SystemErrorText.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

bool SameWord(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

WindowsTimeVerdict JudgeWindowsTime(const WindowsTimeFacts& facts) {
    if (facts.error != 0)
        return WindowsTimeVerdict::Unknown;
    // Without a Type it takes the system's default source, which synchronises.
    if (!facts.bRunning || (facts.type && SameWord(*facts.type, kWindowsTimeNoSync)))
        return WindowsTimeVerdict::Idle;
    return WindowsTimeVerdict::Keeping;
}

CWindowsTimeWatch::CWindowsTimeWatch(const WindowsTimeProbe& probe, LogSink& log)
    : m_probe(probe), m_log(log) {}

void CWindowsTimeWatch::Look() {
    const WindowsTimeFacts facts = m_probe.look();
    const WindowsTimeVerdict verdict = JudgeWindowsTime(facts);
    if (m_lastVerdict == verdict)
        return;
    LogChange(verdict, facts);
    m_lastVerdict = verdict;
    const bool bStepsOnly = verdict != WindowsTimeVerdict::Idle;
    if (m_bStepsOnly.exchange(bStepsOnly) != bStepsOnly && m_pDiscipline != nullptr)
        m_pDiscipline->setStepsOnly(bStepsOnly);
}

void CWindowsTimeWatch::LogChange(WindowsTimeVerdict verdict, const WindowsTimeFacts& facts) {
    if (verdict == WindowsTimeVerdict::Keeping) {
        m_log.write(kKeepingLine, LOG_NOTICE, 0.0);
    } else if (verdict == WindowsTimeVerdict::Unknown) {
        const std::string reason = ErrorCodeText(static_cast<int>(facts.error));
        m_log.write(FormatText(kUnknownPattern,
                               reason.empty() ? std::to_string(facts.error).c_str() : reason.c_str()),
                    LOG_NOTICE, 0.0);
    } else if (m_lastVerdict) {
        // Idle from the start is how most PCs run Horalux: nothing to say.
        m_log.write(kIdleLine, LOG_NOTICE, 0.0);
    }
}

void CWindowsTimeWatch::Attach(StepsOnlySwitch& discipline) {
    m_pDiscipline = &discipline;
    discipline.setStepsOnly(IsStepsOnly());
}
