#pragma once
// Result codes that every log line carries; the console colours and counts lines by them.

enum LogResult : int { LOG_NOTICE = -1, LOG_FAILED = 0, LOG_SUCCEEDED = 1, LOG_BROKEN = 2, LOG_RELOADED = 3 };
