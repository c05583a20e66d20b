#pragma once
// printf-style formatting into a std::string; the attribute lets the compiler check every
// format string against its arguments. And one comparison of texts.

#include <string>

#if defined(__GNUC__)
#define HORALUX_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#else
#define HORALUX_PRINTF_FORMAT(formatIndex, firstArg)
#endif

std::string FormatText(const char* format, ...) HORALUX_PRINTF_FORMAT(1, 2);

// Whether two texts are equal without regard to the case of their (ASCII) letters.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);
