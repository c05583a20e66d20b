#pragma once
// Whole-file reads, for every program: the service's files and the console's views of them.

#include <cstddef>
#include <cstdint>
#include <string>

enum class FileReadResult {
    Read,
    Missing,  // there is no such file
    Failed,   // it exists (or may) but could not be opened or read
};

// The whole file as bytes (empty when Missing, undefined when Failed). bytes keeps its
// capacity, so reading into the same string again allocates nothing new.
FileReadResult ReadFileIfPresent(const std::string& path, std::string& bytes);

// The whole file as bytes; false when it cannot be opened or read.
inline bool ReadFileContents(const std::string& path, std::string& bytes) {
    return ReadFileIfPresent(path, bytes) == FileReadResult::Read;
}

// The file's size and its last bytes (at most maxBytes): a writer that appends looks at how
// the file ends without reading all of it.
FileReadResult ReadFileTail(const std::string& path, std::size_t maxBytes, std::uint64_t& size,
                            std::string& tail);
