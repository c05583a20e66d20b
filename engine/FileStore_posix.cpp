#include "engine/FileStore.h"

#include "common/UniqueHandle.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct FdTraits {
    using Type = int;
    static Type empty() { return -1; }
    static void close(Type fd) { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAndSync(UniqueFd fd, const std::string& bytes) {
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        return false;
    }
    return ::close(fd.release()) == 0;
}

}  // namespace

FileWriteResult ReplaceFileContents(const std::string& path, const std::string& bytes) {
    const std::string tempPath = path + ".tmp";
    UniqueFd fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (!fd) {
        return FileWriteResult::NotCreated;
    }
    if (!writeAndSync(std::move(fd), bytes) || std::rename(tempPath.c_str(), path.c_str()) != 0) {
        std::remove(tempPath.c_str());
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}

FileWriteResult WriteFileEnd(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY));
    if (!fd) {
        return FileWriteResult::NotCreated;
    }
    const auto start = static_cast<off_t>(offset);
    const auto end = static_cast<off_t>(offset + bytes.size());
    if (::lseek(fd.get(), start, SEEK_SET) != start || !writeAll(fd.get(), bytes) ||
        ::ftruncate(fd.get(), end) != 0 || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        return FileWriteResult::Failed;
    }
    return FileWriteResult::Written;
}
