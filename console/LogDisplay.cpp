#include "console/LogDisplay.h"

std::string LogDisplayText(const std::string& fileText) {
    constexpr std::size_t kMaxLine = kLogLineBufferSize - 1;
    std::string display;
    display.reserve(fileText.size() + fileText.size() / 16);
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t end = fileText.find('\n', start);
        const std::size_t lineEnd = end == std::string::npos ? fileText.size() : end;
        if (lineEnd - start > kMaxLine) {
            break;
        }
        display.append(fileText, start, lineEnd - start);
        display += "\r\n";
        start = lineEnd + 1;
    }
    return display;
}
