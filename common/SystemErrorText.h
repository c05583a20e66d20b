#pragma once
// The text of a system error as the service shows it: the platform's message without its
// trailing line break, or an empty text when there is none or it would not fit the caller's
// buffer with room to spare.

#include <cstddef>
#include <string>

// Room the caller keeps free beyond the message.
constexpr std::size_t kErrorTextSpare = 14;

std::string TrimSystemErrorText(const std::string& message, std::size_t bufferSize);
