#include "common/SystemErrorText.h"

std::string TrimSystemErrorText(const std::string& message, std::size_t bufferSize) {
    if (message.empty() || message.size() + kErrorTextSpare > bufferSize) {
        return std::string();
    }
    // Only the line break goes: a message without one keeps its last characters.
    const std::size_t end = message.find_last_not_of("\r\n");
    return end == std::string::npos ? std::string() : message.substr(0, end + 1);
}
