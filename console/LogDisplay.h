#pragma once
// The text the console shows for the log file, built from the file's content as text mode
// reads it. Lines are read as into a 512-character buffer: a line of up to 511 characters
// is shown whole; a longer one ends the display there, the lines after it included. Each
// shown line ends with CR LF; a last line without LF counts like any other.

#include <cstddef>
#include <string>

constexpr std::size_t kLogLineBufferSize = 512;

std::string LogDisplayText(const std::string& fileText);
