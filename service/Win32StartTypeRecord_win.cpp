#include "service/Win32StartTypeRecord.h"

#include "service/Win32Registry_win.h"

#include <cstring>

namespace {

constexpr const char* kRecordKey = "Software\\Horalux";
constexpr const char* kRecordValue = "W32TimeStartType";

}  // namespace

std::optional<std::uint32_t> CWin32StartTypeRecord::recall() const {
    UniqueRegistryKey key;
    RegistryValue value;
    if (OpenRegistryKey(HKEY_LOCAL_MACHINE, kRecordKey, key) != ERROR_SUCCESS ||
        ReadRegistryValue(key.get(), kRecordValue, value) != ERROR_SUCCESS || value.type != REG_DWORD ||
        value.bytes.size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD startType = 0;
    std::memcpy(&startType, value.bytes.data(), sizeof startType);
    return startType;
}

SystemResult CWin32StartTypeRecord::keep(std::uint32_t startType) {
    UniqueRegistryKey key;
    LONG result = CreateRegistryKey(HKEY_LOCAL_MACHINE, kRecordKey, key);
    if (result == ERROR_SUCCESS) {
        result = WriteRegistryDword(key.get(), kRecordValue, startType);
    }
    return RegistryResult(result);
}

SystemResult CWin32StartTypeRecord::forget() {
    UniqueRegistryKey key;
    LONG result = OpenRegistryKey(HKEY_LOCAL_MACHINE, kRecordKey, key);
    if (result == ERROR_SUCCESS) {
        result = ::RegDeleteValueA(key.get(), kRecordValue);
    }
    return RegistryResult(result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result);
}
