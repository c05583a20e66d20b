#pragma once
// The message for a file operation that failed with a platform error code, with the file's
// name in place of %1, as the console reports a log file it could not delete.

#include <string>

std::string FileErrorText(unsigned long errorCode, const std::string& fileName);
