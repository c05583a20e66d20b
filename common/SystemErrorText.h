#pragma once
// The text of a system error as the service shows it: the platform's message without its
// trailing line break, or an empty text when there is none or it would not fit the caller's
// buffer with room to spare.

#include <cstddef>
#include <string>

// Room the caller keeps free beyond the message.
constexpr std::size_t kErrorTextSpare = 14;

std::string TrimSystemErrorText(const std::string& message, std::size_t bufferSize);

// The platform's text for one of its error codes, as the log shows it; "" when there is none.
// Native seam: FormatMessageA on Windows (Win32SystemError_win.cpp), the C library's text
// elsewhere (SystemErrorText_posix.cpp).
std::string ErrorCodeText(int error);
