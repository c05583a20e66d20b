#include "engine/FileStore.h"

#include "common/WinHandle_win.h"

#include <algorithm>

namespace {

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool writeAndFlush(UniqueFileHandle file, const std::string& bytes) {
    if (!writeAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
        return false;
    }
    return ::CloseHandle(file.release()) != FALSE;
}

// Moves the new file over the old one. A reader that holds the old file without
// FILE_SHARE_DELETE (an editor, a virus scanner) makes the move fail for a moment: try again
// briefly rather than drop the write.
bool replaceWithRetry(const std::string& from, const std::string& to) {
    constexpr int kTries = 10;
    constexpr DWORD kPauseMs = 20;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        const bool bTransient = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!bTransient || attempt == kTries) {
            return false;
        }
        ::Sleep(kPauseMs);
    }
}

}  // namespace

FileWriteResult ReplaceFileContents(const std::string& path, const std::string& bytes) {
    const std::string tempPath = path + ".tmp";
    UniqueFileHandle file(::CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return FileWriteResult::NotCreated;
    }
    if (!writeAndFlush(std::move(file), bytes) || !replaceWithRetry(tempPath, path)) {
        ::DeleteFileA(tempPath.c_str());
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}

FileWriteResult WriteFileEnd(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    // Shared as a reader expects: a console may have the file open, and a trim may replace it.
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return FileWriteResult::NotCreated;
    }
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) || !writeAll(file.get(), bytes) ||
        !::SetEndOfFile(file.get()) || !::FlushFileBuffers(file.get()) || !::CloseHandle(file.release())) {
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}
