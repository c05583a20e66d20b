#include "settings/WorkingDirectory.h"

#include <windows.h>

#include <iterator>

namespace {

// Into directory, or the error that kept it from being had.
SystemResult QueryWindowsDirectory(std::string& directory) {
    char buffer[MAX_PATH] = {};  // 260 characters, as the product reads it
    const UINT length = ::GetWindowsDirectoryA(buffer, static_cast<UINT>(std::size(buffer)));
    if (length == 0) {
        return SystemResult::failure(::GetLastError());
    }
    if (length >= std::size(buffer)) {  // the size it would have needed
        return SystemResult::failure(ERROR_INSUFFICIENT_BUFFER);
    }
    directory.assign(buffer, length);
    return SystemResult::success();
}

}  // namespace

std::string WindowsDirectory() {
    std::string directory;
    return QueryWindowsDirectory(directory) ? directory : std::string();
}

SystemResult SetWorkingDirectory() {
    std::string directory;
    if (const SystemResult queried = QueryWindowsDirectory(directory); !queried) {
        return queried;
    }
    return ::SetCurrentDirectoryA(directory.c_str()) ? SystemResult::success()
                                                     : SystemResult::failure(::GetLastError());
}
