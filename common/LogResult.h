#pragma once
// Result codes that every log line carries; the console colours and counts lines by them.
// LOG_UNWRITTEN is carried by no line: the log announces with it that its file takes no lines
// (another program holds it, or it is a folder), once until the file takes lines again.

enum LogResult : int {
    LOG_NOTICE = -1,
    LOG_FAILED = 0,
    LOG_SUCCEEDED = 1,
    LOG_BROKEN = 2,
    LOG_RELOADED = 3,
    LOG_UNWRITTEN = 4,
};
