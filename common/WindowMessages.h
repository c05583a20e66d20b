#pragma once
// The window messages between the console and the service's control window. Every one of
// them is posted, never sent; only window handles and small integers travel in them.

// Console -> control window, wParam = the console's main window. Answered by
// UM_SERVICE_HELLO; from then on results go to that window.
constexpr unsigned UM_CONSOLE_HELLO = 2000;
// Control window -> console: the reply to UM_CONSOLE_HELLO.
constexpr unsigned UM_SERVICE_HELLO = 2001;
// Console -> control window: the settings file changed; answered by UM_SYNC_RESULT 3.
constexpr unsigned UM_OPTIONS_UPDATED = 2002;
// Console -> control window: synchronise now.
constexpr unsigned UM_SYNC_NOW = 2020;
// Control window -> console, wParam = the result code of a log line (LogResult, never
// LOG_NOTICE), or LOG_UNWRITTEN when the log file takes no lines.
constexpr unsigned UM_SYNC_RESULT = 2021;
// Console -> control window: break synchronisation off; answered by UM_SYNC_RESULT 2.
constexpr unsigned UM_SYNC_BREAK = 2022;

// The console finds the control window by this title.
constexpr const char* kExecWindowTitle = "Horalux Clock Service Executer";
constexpr const char* kExecWindowClass = "HoraluxExecWndClass";
