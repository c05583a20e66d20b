#pragma once
// The history's file on the disk.

#include "engine/HistoryStore.h"

class CHistoryFileStore final : public HistoryStore {
public:
    explicit CHistoryFileStore(std::string path) : m_strPath(std::move(path)) {}

    FileReadResult ReadTail(std::size_t maxBytes, std::uint64_t& size, std::string& tail) override {
        return ReadFileTail(m_strPath, maxBytes, size, tail);
    }
    FileReadResult ReadAll(std::string& bytes) override { return ReadFileIfPresent(m_strPath, bytes); }
    FileWriteResult WriteEnd(std::uint64_t offset, const std::string& bytes) override {
        return WriteFileEnd(m_strPath, offset, bytes);
    }
    FileWriteResult Replace(const std::string& bytes) override {
        return ReplaceFileContents(m_strPath, bytes);
    }

private:
    const std::string m_strPath;
};
