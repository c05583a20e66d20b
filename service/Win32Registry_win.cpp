#include "service/Win32Registry_win.h"

LONG CreateRegistryKey(HKEY root, const std::string& path, UniqueRegistryKey& key) {
    return ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             key.put(), nullptr);
}

LONG OpenRegistryKey(HKEY root, const std::string& path, UniqueRegistryKey& key) {
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put());
}

LONG ReadRegistryValue(HKEY key, const char* name, RegistryValue& value) {
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    value.bytes.assign(size, 0);
    result = ::RegQueryValueExA(key, name, nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(result == ERROR_SUCCESS ? size : 0);
    return result;
}

LONG WriteRegistryValue(HKEY key, const char* name, DWORD type, const RegistryBytes& bytes) {
    return ::RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

LONG WriteRegistryText(HKEY key, const char* name, DWORD type, const std::string& text) {
    return ::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
}

LONG WriteRegistryDword(HKEY key, const char* name, DWORD value) {
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
