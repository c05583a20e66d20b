#pragma once
// The history's file held in memory: missing until written, then its bytes. A test may set the
// bytes (a file from before, a cut row) and read them back.

#include "engine/HistoryStore.h"

#include <algorithm>
#include <optional>

class CFakeHistoryStore final : public HistoryStore {
public:
    FileReadResult ReadTail(std::size_t maxBytes, std::uint64_t& size, std::string& tail) override {
        size = m_bytes ? m_bytes->size() : 0;
        tail =
            m_bytes ? m_bytes->substr(m_bytes->size() - std::min(maxBytes, m_bytes->size())) : std::string();
        return m_bytes ? FileReadResult::Read : FileReadResult::Missing;
    }
    FileReadResult ReadAll(std::string& bytes) override {
        bytes = m_bytes.value_or(std::string());
        return m_bytes ? FileReadResult::Read : FileReadResult::Missing;
    }
    FileWriteResult WriteEnd(std::uint64_t offset, const std::string& bytes) override {
        if (!m_bytes) {
            return FileWriteResult::NotCreated;
        }
        m_bytes->resize(static_cast<std::size_t>(offset));
        *m_bytes += bytes;
        ++m_nAppends;
        return FileWriteResult::Written;
    }
    FileWriteResult Replace(const std::string& bytes) override {
        m_bytes = bytes;
        ++m_nReplaces;
        return FileWriteResult::Written;
    }

    std::string bytes() const { return m_bytes.value_or(std::string()); }
    void setBytes(const std::string& bytes) { m_bytes = bytes; }
    int appends() const { return m_nAppends; }
    int replaces() const { return m_nReplaces; }

private:
    std::optional<std::string> m_bytes;
    int m_nAppends = 0;
    int m_nReplaces = 0;
};
