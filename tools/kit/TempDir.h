#pragma once
// A fresh folder under the system's temporary folder for one test, removed with everything
// in it when the test ends. Works natively and under Wine.

#include <filesystem>
#include <string>

class CTempDir {
public:
    CTempDir();
    // The folder under parent instead (e.g. a memory-backed one, where a flushed write is cheap).
    explicit CTempDir(const std::filesystem::path& parent);
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // The path of name inside the folder, as the service's file code takes it.
    std::string file(const std::string& name) const;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
