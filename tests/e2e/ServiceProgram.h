#pragma once
// Drives the real HoraluxServ.exe from a test under Wine: its settings file, its log and
// record, starting it as a process or running a command-line action, and finding its
// control window. Every process started here is ended by its handle, also when a test
// fails.

#include <windows.h>

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <string>

// Folder and file names of the program under test.
std::string ServiceExePath();
std::string WindowsFile(const char* name);

// Writes zHoraluxServ.ini (lines joined with CR LF) and removes the log and the record.
void PrepareServiceFiles(const std::string& iniText);
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

// Starts HoraluxServ.exe with the arguments.
bool LaunchService(CChildProcess& process, const std::string& arguments);

// Runs one command-line action to its end (bounded) and returns its standard output.
std::string RunAction(const std::string& exe, const std::string& arguments,
                      std::chrono::milliseconds limit = std::chrono::seconds(90));

// The control window once it exists, or null after limit.
HWND WaitForExecWindow(std::chrono::milliseconds limit = std::chrono::seconds(30));
// Waits until no control window exists.
bool WaitForNoExecWindow(std::chrono::milliseconds limit = std::chrono::seconds(30));
// Waits until the file contains text.
bool WaitForFileText(const std::string& path, const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(30));
