#pragma once
// The console's report for the exception barrier (common/ExceptionBarrier.h): what a callback threw
// goes to the debugger's output and, as CCaughtFailureNotices decides, into an error box
// owned by owner (null where no window exists). Include only from Windows-only files.

#include <windows.h>

void ShowCaughtFailure(HWND owner, const char* where, const char* what);
