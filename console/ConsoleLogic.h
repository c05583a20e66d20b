#pragma once
// What the console's main window does: finding and announcing itself to the service,
// the buttons, the progress bar, the service's notices and the log display. The Win32
// dialog (CConsoleDlg) turns window messages into these calls and nothing more.
//
// The service is looked for over the channel first, which reaches it in any session and
// answers the hello before anything is decided; without the channel, by its window on this
// desktop. A channel that another program holds in the service's stead is not used, as if
// there were none, and the result field says so once. The service's window found by the last search is kept
// once, here: the console has one main window, so a process-wide copy beside it would always hold the same
// value.

#include <cstdint>
#include <optional>
#include <string>

#include "common/ChannelProtocol.h"
#include "console/ChannelClient.h"
#include "console/CommandTable.h"
#include "console/ConsoleAction.h"
#include "console/ConsoleUi.h"
#include "console/Elevation.h"
#include "settings/Settings.h"

class CConsoleLogic {
public:
    static constexpr const char* kWindowTitle = "Horalux Clock Service Console";
    static constexpr const char* kServiceMissingText = "\nHoralux Service does not work now!";
    static constexpr const char* kChannelHeldText = "Another program holds the service's channel.";
    static constexpr const char* kLogUnwrittenText =
        "The service cannot write its log file. Its newest lines wait until the file can be written.";
    static constexpr unsigned kProgressTimerId = 1;
    static constexpr unsigned kProgressPeriodMs = 100;
    static constexpr int kProgressMax = 100;

    // All must outlive the instance.
    CConsoleLogic(ConsoleUi& ui, CSettings& settings, ChannelClient& channel, Elevation& elevation);

    // The main window's initialisation: search and announce, load the log, the server
    // title, the icon and the title, show the fields.
    void OnInit();

    // A pressed button of the main window; false when it is not one of this logic's (About,
    // and Cancel, which ends the window).
    bool OnCommand(int id);

    void OnSynchronizeNow();
    void OnBreak();
    void OnOptions();
    void OnServer();
    void OnClearLog();
    void OpenHelp();
    // The action a console was started into (an elevated one, say), once its window is up.
    void RunStartAction(ConsoleAction action);

    // Every tick of a timer on the main window, whatever its identifier.
    void ShowProgressTick();
    // The close command: the progress stops before the window ends.
    void StopProgress();

    // Messages from the service.
    void OnServiceHello();
    void OnSyncResult(std::intptr_t resultCode);

    // Reads the log file into the display and shows the fields.
    void ReloadLog();

    const std::string& serverText() const { return m_strServer; }
    const std::string& resultText() const { return m_strResult; }
    const std::string& logText() const { return m_strLog; }
    int progressPosition() const { return m_nProgressPos; }
    unsigned timerId() const { return m_nTimerId; }
    bool serviceReplied() const { return m_bServiceReplied; }
    WindowId serviceWindow() const { return m_hServiceWnd; }
    // Whether the last search reached the service over the channel.
    bool viaChannel() const { return m_bViaChannel; }

private:
    static const CommandEntry<CConsoleLogic> kCommands[];

    void FindService();
    bool OpenChannel();
    void FindServiceWindow();
    bool ServiceAnswered() const;
    bool TellService(ChannelKind request);
    bool CheckRights(ConsoleAction action);
    void OfferElevation(ConsoleAction action);
    void ShowNoRights();
    void ShowFields();
    void ShowServiceMissing();
    void PostToService(unsigned message);

    ConsoleUi& m_ui;
    CSettings& m_settings;
    ChannelClient& m_channel;
    Elevation& m_elevation;
    bool m_bViaChannel = false;
    // Another program's channel has been told of since the service last answered there.
    bool m_bHeldToldOf = false;
    std::string m_strServer;
    int m_nProgressPos = 0;
    unsigned m_nTimerId = 0;
    bool m_bServiceReplied = false;
    WindowId m_hServiceWnd = 0;
    std::string m_strResult;
    std::string m_strLog;
    // What each field's control shows, by ConsoleField; unknown until first read.
    std::optional<std::string> m_shown[3];
};
