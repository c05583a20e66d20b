#include "tests/support/EngineWiring.h"

#include "common/ProductFacts.h"

CEngineWiring::CEngineWiring(const EnginePorts& ports, const std::string& recordFile,
                             const std::string& driftFile, const BackoffPolicy& policy)
    : drift(driftFile, ports.log),
      discipline(
          DisciplinePorts{ports.systemClock, ports.privilege, ports.rate, ports.monotonic, ports.log, drift}),
      controller(engineSettings,
                 ControllerPorts{ports.attempt, discipline, ports.systemClock, ports.clock, ports.monotonic,
                                 ports.log, history},
                 recordFile, policy),
      scheduler(controller, engineSettings, ports.clock, ports.probe, ports.log),
      windowsTime(windowsTimeProbe, ports.log),
      engine(engineSettings, ports.log, controller, scheduler, windowsTime, HORALUX_VERSION_TEXT) {}

void CEngineWiring::configure(const std::string& optionLines, const std::string& servers) {
    writeSettings(optionLines, servers);
    settings.Load();
    discipline.Open();
    controller.Reload(true);
}

void CEngineWiring::writeSettings(const std::string& optionLines, const std::string& servers) {
    store.setText(settings.m_strFileName, "[Options]\n" + optionLines + "\n" + servers);
}
