#include "settings/WorkingDirectory.h"

#include <windows.h>

#include <iterator>

std::string WindowsDirectory() {
    char directory[MAX_PATH] = {};  // 260 characters, as the product reads it
    const UINT length = GetWindowsDirectoryA(directory, static_cast<UINT>(std::size(directory)));
    // 0 is a failure; a length beyond the buffer is the size it would have needed
    return length > 0 && length < std::size(directory) ? std::string(directory, length) : std::string();
}

bool SetWorkingDirectory() {
    const std::string directory = WindowsDirectory();
    return !directory.empty() && SetCurrentDirectoryA(directory.c_str()) != FALSE;
}
