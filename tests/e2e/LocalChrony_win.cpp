#include "tests/e2e/LocalChrony.h"

#include "tests/e2e/HostCommand.h"

namespace {

// One folder for every test process: a chronyd left by a test program that was killed is
// stopped by the next start.
constexpr const char* kFolder = HORALUX_E2E_WORK_DIR "/chrony";

}  // namespace

std::string CLocalChrony::Script(const char* action) const {
    return "'" + SourceDirOnHost() + "/tools/chrony-local.sh' " + action + " '" + kFolder + "'";
}

bool CLocalChrony::start(const std::string& address) {
    stop();
    const HostCommandResult leftover = RunHostCommand(Script("stop"));
    const HostCommandResult started = RunHostCommand(Script("start") + " " + address);
    if (!leftover.bEnded || !started.bEnded || started.exitCode != 0) {
        m_strError = started.bEnded ? started.output : "the host shell did not answer";
        RunHostCommand(Script("stop"));
        return false;
    }
    m_bStarted = true;
    return true;
}

void CLocalChrony::stop() {
    if (m_bStarted) {
        RunHostCommand(Script("stop"));
        m_bStarted = false;
    }
}
