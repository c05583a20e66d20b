#pragma once
// The system's text for an error code, formatted by FormatMessageA, trimmed the service's
// way (TrimSystemErrorText). Windows only.

#include <windows.h>

#include <cstddef>
#include <string>

constexpr std::size_t kErrorTextBufferSize = 256;

std::string SystemErrorText(DWORD error, std::size_t bufferSize = kErrorTextBufferSize);

// The text of GetLastError(), which is left as it was.
std::string LastErrorText();
