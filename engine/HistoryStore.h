#pragma once
// Port to the history's file, so that its writer runs natively on a file held in memory. Each
// call is one file operation; the writer holds the cross-process lock around them.

#include "engine/FileStore.h"

#include <cstddef>
#include <cstdint>
#include <string>

class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    // The file's size and its last bytes, at most maxBytes of them.
    virtual FileReadResult ReadTail(std::size_t maxBytes, std::uint64_t& size, std::string& tail) = 0;
    virtual FileReadResult ReadAll(std::string& bytes) = 0;
    // bytes at offset of an existing file, the file ending after them, flushed.
    virtual FileWriteResult WriteEnd(std::uint64_t offset, const std::string& bytes) = 0;
    // The whole file, in one step (a temporary file moved over it).
    virtual FileWriteResult Replace(const std::string& bytes) = 0;
};
