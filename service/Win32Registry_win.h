#pragma once
// Small registry helpers over UniqueRegistryKey. Each returns the platform's error code
// (ERROR_SUCCESS on success). Windows only.

#include "common/SystemResult.h"
#include "common/WinHandle_win.h"
#include "service/EventSources.h"

#include <string>

struct RegistryValue {
    DWORD type = REG_NONE;
    RegistryBytes bytes;
};

LONG CreateRegistryKey(HKEY root, const std::string& path, UniqueRegistryKey& key);
LONG OpenRegistryKey(HKEY root, const std::string& path, UniqueRegistryKey& key);
// A missing value gives ERROR_FILE_NOT_FOUND.
LONG ReadRegistryValue(HKEY key, const char* name, RegistryValue& value);
LONG WriteRegistryValue(HKEY key, const char* name, DWORD type, const RegistryBytes& bytes);
// A text value with its terminating zero.
LONG WriteRegistryText(HKEY key, const char* name, DWORD type, const std::string& text);
LONG WriteRegistryDword(HKEY key, const char* name, DWORD value);

// A registry call's result as a SystemResult.
inline SystemResult RegistryResult(LONG result) {
    return result == ERROR_SUCCESS ? SystemResult::success()
                                   : SystemResult::failure(static_cast<std::uint32_t>(result));
}
