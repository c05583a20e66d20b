#include "tools/kit/TempDir.h"

#include <atomic>
#include <chrono>
#include <random>
#include <system_error>

CTempDir::CTempDir() : CTempDir(std::filesystem::temp_directory_path()) {}

CTempDir::CTempDir(const std::filesystem::path& parent) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string name = "horalux-test-" + std::to_string(entropy()) + "-" + std::to_string(tick) + "-" +
                             std::to_string(counter.fetch_add(1));
    m_path = parent / name;
    std::filesystem::create_directories(m_path);
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string CTempDir::file(const std::string& name) const {
    return (m_path / name).string();
}
