#include "service/FileStore.h"

#include "common/WinHandle.h"

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

}  // namespace

FileWriteResult ReplaceFileContents(const std::string& path, const std::string& bytes) {
    const std::string tempPath = path + ".tmp";
    UniqueFileHandle file(::CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return FileWriteResult::NotCreated;
    }
    if (!writeAndFlush(std::move(file), bytes) ||
        !::MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(tempPath.c_str());
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}
