#include "engine/FileStore.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

// C stdio rather than streams: a path that names a folder, or a read error, must come back
// as false, not as an exception.
bool ReadFileContents(const std::string& path, std::string& bytes) {
    UniqueFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::string content;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        content.append(buffer, n);
    }
    if (std::ferror(file.get())) {
        return false;
    }
    bytes = std::move(content);
    return true;
}
