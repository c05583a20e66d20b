#include "engine/FileStore.h"

#include "common/UniqueFile.h"

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
