#include "common/FileRead.h"

#include "common/UniqueFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

// C stdio rather than streams: a path that names a folder, or a read error, must come back
// as a failure, not as an exception. Only "no such file" counts as missing: a file that is
// there but cannot be read must not be taken for an empty one.
FileReadResult ReadFileIfPresent(const std::string& path, std::string& bytes) {
    bytes.clear();  // keeps its room: a caller that reads the same file often allocates once
    errno = 0;
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    }
    char buffer[16384];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, n);
    }
    return std::ferror(file.get()) ? FileReadResult::Failed : FileReadResult::Read;
}

FileReadResult ReadFileTail(const std::string& path, std::size_t maxBytes, std::uint64_t& size,
                            std::string& tail) {
    tail.clear();
    size = 0;
    errno = 0;
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return errno == ENOENT ? FileReadResult::Missing : FileReadResult::Failed;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        return FileReadResult::Failed;
    }
    const long end = std::ftell(file.get());
    const long start = std::max(0L, end - static_cast<long>(maxBytes));
    if (end < 0 || std::fseek(file.get(), start, SEEK_SET) != 0) {
        return FileReadResult::Failed;
    }
    size = static_cast<std::uint64_t>(end);
    tail.resize(static_cast<std::size_t>(end - start));
    const std::size_t read = std::fread(&tail[0], 1, tail.size(), file.get());
    return read == tail.size() ? FileReadResult::Read : FileReadResult::Failed;
}
