#include "settings/Win32ProfileStore.h"

#include <windows.h>

#include "common/WinHandle_win.h"
#include "settings/WorkingDirectory.h"

#include <climits>
#include <vector>

namespace {

// The list of a section's keys may be long; a longer one than this is no settings file.
constexpr DWORD kFirstKeyListSize = 4096;
constexpr DWORD kMaxKeyListSize = 16u << 20;

// Where the profile functions find file: a bare name in the Windows directory.
std::string ProfilePath(const std::string& file) {
    if (file.find_first_of("\\/:") != std::string::npos)
        return file;
    const std::string directory = WindowsDirectory();
    return directory.empty() ? file : directory + "\\" + file;
}

SystemResult LastFailure() {
    return SystemResult::failure(GetLastError());
}

}  // namespace

std::string CWin32ProfileStore::readString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& def,
                                           std::size_t capacity) const {
    if (capacity == 0)
        return std::string();
    const DWORD size = capacity > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX)
                                                                    : static_cast<DWORD>(capacity);
    std::vector<char> buffer(size, '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                  size, file.c_str());
    return std::string(buffer.data(), length < size ? length : size - 1);
}

std::vector<std::string> CWin32ProfileStore::readKeys(const std::string& file,
                                                      const std::string& section) const {
    std::vector<char> buffer;
    DWORD length = 0;
    // A list that does not fit comes back cut, at the buffer's size less two: try a larger one.
    for (DWORD size = kFirstKeyListSize; size <= kMaxKeyListSize; size *= 2) {
        buffer.assign(size, '\0');
        length = GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(), size, file.c_str());
        if (length + 2 < size)
            break;
    }
    std::vector<std::string> keys;
    for (std::size_t start = 0; start < length && buffer[start] != '\0';) {
        keys.emplace_back(buffer.data() + start);
        start += keys.back().size() + 1;
    }
    return keys;
}

SystemResult CWin32ProfileStore::writeString(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& value) {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
        return LastFailure();
    return SystemResult::success();
}

// Copied beside the copy, flushed, then moved over it: CopyFile alone leaves the bytes in the
// cache, and the copy must be whole before the file it keeps is written over.
SystemResult CWin32ProfileStore::copyFile(const std::string& file, const std::string& copy) {
    const std::string target = ProfilePath(copy);
    const std::string scratch = target + ".tmp";
    if (!CopyFileA(ProfilePath(file).c_str(), scratch.c_str(), FALSE))
        return LastFailure();
    SetFileAttributesA(scratch.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file gives a writable copy
    UniqueFileHandle written(CreateFileA(scratch.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    SystemResult result =
        written && FlushFileBuffers(written.get()) ? SystemResult::success() : LastFailure();
    written.reset();
    if (result &&
        !MoveFileExA(scratch.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = LastFailure();
    if (!result)
        DeleteFileA(scratch.c_str());
    return result;
}
