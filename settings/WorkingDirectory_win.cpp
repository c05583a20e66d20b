#include "settings/WorkingDirectory.h"

#include <windows.h>

#include <iterator>

bool SetWorkingDirectory() {
    char directory[MAX_PATH] = {};  // 260 characters, as the product reads it
    const UINT length = GetWindowsDirectoryA(directory, static_cast<UINT>(std::size(directory)));
    if (length == 0 || length >= std::size(directory))
        return false;  // failed, or the buffer was too small (length is then the size needed)
    return SetCurrentDirectoryA(directory) != FALSE;
}
