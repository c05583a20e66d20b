#pragma once
// The message for a file operation that failed with a platform error code, with the file's
// name in place of %1, as the console reports a log file it could not delete.

#include <string>

// The platform's codes (winerror.h) that have a text of their own; Win32ConsoleUi_win.cpp checks
// them against the platform's header.
namespace file_error {
constexpr unsigned long kFileNotFound = 2;
constexpr unsigned long kPathNotFound = 3;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned long kSharingViolation = 32;
constexpr unsigned long kLockViolation = 33;
}  // namespace file_error

std::string FileErrorText(unsigned long errorCode, const std::string& fileName);
