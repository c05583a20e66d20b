#include "settings/Win32ProfileStore.h"

#include <windows.h>

#include <climits>
#include <vector>

int CWin32ProfileStore::readInt(const std::string& file, const std::string& section, const std::string& key,
                                int def) const {
    // The function returns the parsed value as UINT; a negative value comes back in two's
    // complement, so the conversion to int gives it back ("-90" reads as -90, measured
    // under Wine and documented for Windows).
    const UINT value = GetPrivateProfileIntA(section.c_str(), key.c_str(), def, file.c_str());
    return static_cast<int>(value);
}

std::string CWin32ProfileStore::readString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& def,
                                           std::size_t capacity) const {
    if (capacity == 0)
        return std::string();
    const DWORD size = capacity > static_cast<std::size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX)
                                                                    : static_cast<DWORD>(capacity);
    std::vector<char> buffer(size, '\0');
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                  size, file.c_str());
    return std::string(buffer.data(), length < size ? length : size - 1);
}

SystemResult CWin32ProfileStore::writeString(const std::string& file, const std::string& section,
                                             const std::string& key, const std::string& value) {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()))
        return SystemResult::failure(GetLastError());
    return SystemResult::success();
}
