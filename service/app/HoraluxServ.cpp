// HoraluxServ: the clock service, also run as a plain or hidden process, and the command
// line that installs, removes, starts and stops it, or queries a time server.

#include <windows.h>

#include "common/ExceptionBarrier.h"
#include "common/LogResult.h"
#include "common/ProductFacts.h"
#include "common/TextFormat.h"
#include "engine/ClockDiscipline.h"
#include "engine/DriftFile.h"
#include "engine/EngineSettings.h"
#include "engine/HistoryFile.h"
#include "engine/HistoryFileStore.h"
#include "engine/ResultFanOut.h"
#include "engine/RunHistoryFanOut.h"
#include "engine/Scheduler.h"
#include "engine/SntpSyncAttempt.h"
#include "engine/StatusBoardFanOut.h"
#include "engine/SyncController.h"
#include "engine/SyncEngine.h"
#include "engine/SyncLog.h"
#include "engine/Win32EnginePorts_win.h"
#include "engine/Win32NamedMutex_win.h"
#include "engine/Win32WindowsTimeProbe.h"
#include "engine/WindowsTimeWatch.h"
#include "service/ChannelServer_win.h"
#include "service/EventLogSource_win.h"
#include "service/ExecWindow_win.h"
#include "service/HostTexts.h"
#include "service/QueryCommand.h"
#include "service/ServiceEvents.h"
#include "service/StatusCommand.h"
#include "service/TimeService_win.h"
#include "settings/LocalTimeText.h"
#include "settings/Settings.h"
#include "settings/Win32PolicySource.h"
#include "settings/Win32ProfileStore.h"
#include "settings/WorkingDirectory.h"
#include "sntp/NameLookup.h"
#include "sntp/SocketTransport.h"
#include "sntp/SteadyClock.h"
#include "sntp/Win32ClockRate_win.h"
#include "sntp/Win32SystemClock_win.h"
#include "sntp/Win32TimePrivilege_win.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Serialises the log's read-modify-write between the service and a command-line instance,
// which may run in another session.
constexpr const char* kLogLockName = "Global\\Horalux.Log";
// The same for the history's appends and trims.
constexpr const char* kHistoryLockName = "Global\\Horalux.History";

// The program's long-lived objects. Members are constructed in declaration order: the
// platform adapters first (the notices go to the announced console window and to the
// channel's consoles), then the log, the settings, the clock discipline, the controller and
// the version. The events hear each run's record (beside the history), the engine's state
// (beside the channel) and the log's notices (beside the consoles).
class CServiceProgram {
public:
    CServiceProgram()
        : m_events(m_eventSource, m_steadyClock),
          m_channel([this] { return m_window.Window(); }),
          m_notices{&m_notifier, &m_channel, &m_events},
          m_log(kLogFileName, m_localClock, m_notices, m_logLock,
                [this] { return m_engineSettings.LogLimitsNow(); }),
          m_settings(m_profileStore, LocalDateTimeText),
          m_engineSettings(m_settings),
          m_attempt(m_systemClock, m_log, m_steadyClock, m_sockets, std::make_shared<CSystemNameLookup>()),
          m_drift(kDriftFileName, m_log),
          m_history(m_historyStore, m_historyLock),
          m_runRecords{&m_history, &m_events},
          m_boards{&m_channel, &m_events},
          m_discipline(
              DisciplinePorts{m_systemClock, m_privilege, m_clockRate, m_steadyClock, m_log, m_drift}),
          m_controller(m_engineSettings,
                       ControllerPorts{m_attempt, m_discipline, m_systemClock, m_localClock, m_steadyClock,
                                       m_log, m_runRecords},
                       kRecordFileName),
          m_scheduler(m_controller, m_engineSettings, m_localClock, m_probe, m_log),
          m_windowsTimeWatch(m_windowsTime, m_log),
          m_engine(m_engineSettings, m_log, m_controller, m_scheduler, m_windowsTimeWatch, m_strVersion),
          m_window(m_engine, m_notifier, m_log) {
        m_engine.SetStatusBoard(&m_boards);
    }

    // The initialisation: the service object, the Windows directory as the current
    // directory, then the command line, which returns when its action or the service ended.
    // The exit code says whether that action succeeded. Outside the Windows directory
    // nothing runs: its texts go to the standard output and the event log, not to a log file.
    int Run(int argc, char** argv) {
        CHostReporter reporter(m_log, WriteStandardOutput);
        CTimeService service(reporter, m_window, m_channel);
        if (!EnterWindowsDirectory(SetWorkingDirectory, [&](const std::string& text) {
                WriteStandardOutput(text + "\n");
                service.ReportLogEvent(text.c_str(), EVENTLOG_ERROR_TYPE, kEventIdFromType);
            })) {
            return EXIT_FAILURE;
        }
        m_settings.SetPolicySource(&m_policySource);
        m_settings.SetRepairsServerList(true);
        m_engineSettings.ReloadOptions();  // a command-line action's lines obey the log's limit too
        return service.ParseCommandLine(argc, argv) ? EXIT_SUCCESS : EXIT_FAILURE;
    }

    // What escaped the program's work goes to its log.
    void LogEscape(const char* where, const char* what) {
        m_log.write(FormatText("%s: %s", where, what), LOG_NOTICE, 0.0);
    }

private:
    CWin32LocalClock m_localClock;
    CWin32ResultNotifier m_notifier;
    CWin32ConnectivityProbe m_probe;
    CWin32ProfileStore m_profileStore;
    CWin32PolicySource m_policySource;
    CWin32SystemClock m_systemClock;
    CWin32TimePrivilege m_privilege;
    CWin32ClockRate m_clockRate;
    CWin32WindowsTimeProbe m_windowsTime;
    CSteadyClock m_steadyClock;
    CSocketTransport m_sockets{m_steadyClock};
    CEventLogSource m_eventSource{kServiceName, true};
    CServiceEvents m_events;
    CChannelServer m_channel;
    CResultFanOut m_notices;
    CWin32NamedMutex m_logLock{kLogLockName};

    SyncLog m_log;
    CSettings m_settings;
    CEngineSettings m_engineSettings;
    CSntpSyncAttempt m_attempt;
    CDriftFile m_drift;
    CHistoryFileStore m_historyStore{kHistoryFileName};
    CWin32NamedMutex m_historyLock{kHistoryLockName};
    CHistoryFile m_history;
    CRunHistoryFanOut m_runRecords;
    CStatusBoardFanOut m_boards;
    CClockDiscipline m_discipline;
    CSyncController m_controller;
    const std::string m_strVersion = HORALUX_VERSION_TEXT;

    CScheduler m_scheduler;
    // Nothing drives the clock's rate yet, so nothing is attached: every correction is a step.
    CWindowsTimeWatch m_windowsTimeWatch;
    CSyncEngine m_engine;
    CExecWindow m_window;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int exitCode = EXIT_FAILURE;
    CallGuarded(
        [&] {
            // A query touches neither the service nor its files, so none of them is made for it.
            const ServiceCommand command = ParseServiceArguments(
                std::vector<std::string>(__argv + (__argc > 0 ? 1 : 0), __argv + __argc));
            if (command.action == HostAction::Query) {
                exitCode = RunQueryCommand(command);
                return;
            }
            // Nor does the status, which only asks the service and reads the history.
            if (command.action == HostAction::Status) {
                exitCode = RunStatusCommand();
                return;
            }
            CServiceProgram program;
            CallGuarded([&] { exitCode = program.Run(__argc, __argv); },
                        [&](const char* what) { program.LogEscape("WinMain", what); });
        },
        // Before the log exists (or after it is gone) only a debugger can be told.
        [](const char* what) { ::OutputDebugStringA(what); });
    return exitCode;
}
